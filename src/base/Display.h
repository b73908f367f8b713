#pragma once
// The one status-line writer: 55-character lines, at most 149 kept, the newest in view.
#include <string>

namespace posbench {

inline constexpr long kStatusLineWidth = 55;
inline constexpr long kStatusListBound = 150;  // lines are dropped while the count reaches this

// True while the VK utility window is the active display; Display then forwards to it.
extern bool gbVKDisplay;

void Display(const std::string& text);

}  // namespace posbench
