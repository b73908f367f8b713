#pragma once
// Small helpers shared by the offscreen window tests.
#include <QAbstractButton>
#include <QTest>
#include <QWidget>

namespace posbench::test {

// Clicks the button of that object name in window; fails the test slot when there is none.
inline void ClickButton(QWidget* window, const char* name) {
    auto* button = window->findChild<QAbstractButton*>(name);
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace posbench::test
