#pragma once
// The status list (lstStatus): the engine's status lines, newest last.
#include <QListWidget>

#include "base/Views.h"

namespace posbench::gui {

class StatusListWidget : public QListWidget, public IStatusList {
public:
    explicit StatusListWidget(QWidget* parent = nullptr);

    void AddItem(const std::string& line) override;
    long ListCount() const override;
    void RemoveItem(long index) override;
    void SetListIndex(long index) override;
    void Refresh() override;
    std::string Item(long index) const override;
    void Clear() override;
};

// Byte strings (one char per byte) to and from widget text: each byte is one Latin-1 character.
QString FromBytes(const std::string& bytes);
std::string ToBytes(const QString& text);

}  // namespace posbench::gui
