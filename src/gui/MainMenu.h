#pragma once
// The main window's menu bar: File (Send, Exit), Port (Setup, Reset Printer, Cancel) and Help
// (About). Each item calls the same action as the window's button of that name.
#include <functional>

class QMenuBar;
class QWidget;

namespace posbench::gui {

struct MainMenuActions {
    std::function<void()> send;
    std::function<void()> exit;
    std::function<void()> setup;
    std::function<void()> reset;
    std::function<void()> cancel;
};

QMenuBar* BuildMainMenu(QWidget* window, const MainMenuActions& actions);

// Version, licence, program directory and where the device paths come from.
void ShowAbout(QWidget* parent);

}  // namespace posbench::gui
