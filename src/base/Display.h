#pragma once
// The one status-line writer: 55-character lines, at most 149 kept, the newest in view.
#include <cstdint>
#include <string>

namespace posbench {

inline constexpr long kStatusLineWidth = 55;
inline constexpr long kStatusListBound = 150;  // lines are dropped while the count reaches this

// True while the VK utility window is the active display; Display then forwards to it.
extern bool gbVKDisplay;

void Display(const std::string& text);

// The port whose work is being served while status lines are written (0: none, the program
// itself). The state machine, Send and the link recovery set it for the length of their step,
// so that a runner driving several ports can tell whose line it is.
int16_t DisplayPort();

class DisplayPortScope {
public:
    explicit DisplayPortScope(int16_t port);
    ~DisplayPortScope();
    DisplayPortScope(const DisplayPortScope&) = delete;
    DisplayPortScope& operator=(const DisplayPortScope&) = delete;

private:
    int16_t previous_;
};

}  // namespace posbench
