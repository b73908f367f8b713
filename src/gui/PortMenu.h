#pragma once
// "Trace to file..." in the main window's Port menu: turns the port trace (every byte sent and
// received on every port, one record per write or read) on into a chosen file, and off again.
class QMenu;
class QWidget;

namespace posbench::gui {

void AddTraceItem(QMenu* portMenu, QWidget* parent);

}  // namespace posbench::gui
