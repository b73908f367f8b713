#pragma once
// The engine's message boxes as Qt message boxes.
#include "base/Views.h"

namespace posbench::gui {

class QtMessageBox : public IMessageBox {
public:
    MsgAnswer Show(const std::string& text, MsgButtons buttons, const std::string& title) override;
};

}  // namespace posbench::gui
