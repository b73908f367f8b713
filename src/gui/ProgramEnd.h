#pragma once
// How a window that ends the program closes (the main window; the VK utility when it has taken
// over): only once the user agreed to stop a download under way, and then by its end action,
// which by default ends the event loop so that main shuts the engine down.
#include <QCloseEvent>
#include <QCoreApplication>
#include <functional>

#include "app/DownloadGuard.h"

namespace posbench::gui {

inline void EndEventLoop() { QCoreApplication::quit(); }

inline void CloseProgramWindow(QCloseEvent* event, const std::function<void()>& end) {
    if (!ConfirmStopDownload("quit")) {
        event->ignore();
        return;
    }
    event->accept();
    if (end) end();
}

}  // namespace posbench::gui
