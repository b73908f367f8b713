#include "gui/PortMenu.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include <string>

#include "base/Display.h"
#include "comm/PortTrace.h"

namespace posbench::gui {

void AddTraceItem(QMenu* port, QWidget* parent) {
    if (!port) return;
    port->addSeparator();
    QAction* trace = port->addAction("&Trace to file...");
    trace->setStatusTip("Write every byte sent and received on every port to a file");
    trace->setToolTip(trace->statusTip());
    trace->setObjectName("mnuTrace");
    trace->setCheckable(true);
    QObject::connect(trace, &QAction::triggered, parent, [parent, trace](bool on) {
        if (!on) {
            const std::string file = PortTraceFile();
            StopPortTrace();
            Display("Trace ended: " + file);
            return;
        }
        const QString chosen = QFileDialog::getSaveFileName(
            parent, "Trace to file", "posbench-trace.txt", "Trace files (*.txt);;All files (*)");
        std::string error;
        if (chosen.isEmpty() || !StartPortTrace(chosen.toLocal8Bit().toStdString(), error)) {
            trace->setChecked(false);
            if (!error.empty()) Display(error);
            return;
        }
        Display("Tracing every port to " + PortTraceFile());
    });
}

}  // namespace posbench::gui
