#include "gui/StatusListWidget.h"

#include <QFontDatabase>

namespace posbench::gui {

QString FromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text) {
    const QByteArray latin = text.toLatin1();
    return std::string(latin.constData(), static_cast<std::size_t>(latin.size()));
}

StatusListWidget::StatusListWidget(QWidget* parent) : QListWidget(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setUniformItemSizes(true);  // keeps adding and trimming lines cheap
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void StatusListWidget::AddItem(const std::string& line) { addItem(FromBytes(line)); }

long StatusListWidget::ListCount() const { return count(); }

void StatusListWidget::RemoveItem(long index) {
    if (index < 0 || index >= count()) return;
    delete takeItem(static_cast<int>(index));
}

void StatusListWidget::SetListIndex(long index) {
    if (index < 0 || index >= count()) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(static_cast<int>(index));
    scrollToItem(item(static_cast<int>(index)));
}

void StatusListWidget::Refresh() { viewport()->update(); }

std::string StatusListWidget::Item(long index) const {
    if (index < 0 || index >= count()) return "";
    return ToBytes(item(static_cast<int>(index))->text());
}

void StatusListWidget::Clear() { clear(); }

}  // namespace posbench::gui
