#include "gui/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace posbench::gui {

MsgAnswer QtMessageBox::Show(const std::string& text, MsgButtons buttons, const std::string& title) {
    QMessageBox::StandardButtons choice = QMessageBox::Ok;
    switch (buttons) {
    case MsgButtons::Ok: choice = QMessageBox::Ok; break;
    case MsgButtons::OkCancel: choice = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MsgButtons::YesNo: choice = QMessageBox::Yes | QMessageBox::No; break;
    case MsgButtons::YesNoCancel: choice = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())), choice,
                    QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default: return MsgAnswer::Ok;
    }
}

}  // namespace posbench::gui
