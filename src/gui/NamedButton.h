#pragma once
// A push button with the object name the tests and the documentation address it by, and a
// tooltip that says what it does.
#include <QPushButton>

namespace posbench::gui {

inline QPushButton* NamedButton(const char* name, const char* text, const char* tip, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    return button;
}

}  // namespace posbench::gui
