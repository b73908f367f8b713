// The VK utility against a serial printer that falls silent (the test plays it on a
// pseudo-terminal): an unanswered version query ends by itself with a status line saying so, a
// late answer does not pass for the next one, and Cancel ends a query at once.
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QtTest>
#include <functional>

#include <unistd.h>

#include "gui/FrmVK.h"
#include "GuiTest.h"
#include "script/StateMachine.h"
#include "support/Pty.h"

namespace {

const std::string kModel = std::string("Q310") + std::string(12, ' ') + '\0';

// Plays the printer on the pty's master side: answers the model and version queries (1D 49 40 27,
// 1D 49 40 A3) only while `answer` is set; onQuery runs as each query arrives.
class QuietPrinter : public QObject {
public:
    QuietPrinter() {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] {
            char bytes[256];
            for (ssize_t n; (n = ::read(pty.MasterFd(), bytes, sizeof bytes)) > 0;) received_.append(bytes, std::size_t(n));
            for (std::size_t at; (at = received_.find("\x1D\x49\x40")) != std::string::npos && at + 3 < received_.size();) {
                const bool model = received_[at + 3] == '\x27';
                received_.erase(0, at + 4);
                if (onQuery) onQuery();
                if (answer) pty.Write(model ? kModel : std::string("\x02" "4.40\x03"));
            }
        });
    }
    posbench::test::Pty pty;
    bool answer = false;
    std::function<void()> onQuery;

private:
    QSocketNotifier notifier_{pty.MasterFd(), QSocketNotifier::Read};
    std::string received_;
};

}  // namespace

class VKExchangeBoundTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { bench_.CloseMain(); }
    void cleanupTestCase() { printer_.reset(); }
    void unansweredQueryEndsByItselfAndALateAnswerIsNotTaken();
    void cancelEndsAQueryAtOnce();

private:
    // Both windows' status lines: in a utility opened by Test the engine's own go to the main one.
    QString Status(bool clear = false) const {
        QStringList lines;
        for (QWidget* window : {static_cast<QWidget*>(vk_), static_cast<QWidget*>(main_)}) {
            auto* list = window->findChild<QListWidget*>("lstStatus");
            for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
            if (clear) list->clear();
        }
        return lines.join("\n");
    }
    // Clicks the version button (which returns when the query has ended); false when the query
    // had to be cancelled by the test after 20 s.
    bool QueryEndsByItself() {
        Status(true);
        bool rescued = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        connect(&rescue, &QTimer::timeout, this, [&rescued] { rescued = true; posbench::Cancel(); });
        rescue.start(20000);
        QTest::mouseClick(vk_->findChild<QAbstractButton*>("cmdVKFirmwareVersion"), Qt::LeftButton);
        return !rescued;
    }

    posbench::test::GuiBench bench_;
    std::unique_ptr<QuietPrinter> printer_;
    posbench::gui::FrmMain* main_ = nullptr;
    posbench::gui::FrmVK* vk_ = nullptr;
};

void VKExchangeBoundTest::initTestCase() {
    printer_ = std::make_unique<QuietPrinter>();
    bench_.MakeHome("[Communication]\r\nCOM1=115200,DTR,ON\r\n[Devices]\r\nCOM1=" + printer_->pty.SlavePath() + "\r\n");
}

void VKExchangeBoundTest::init() {  // a fresh window and utility for each slot
    printer_->answer = false;
    printer_->onQuery = nullptr;
    bench_.OpenMain();
    main_ = bench_.main;
    posbench::test::ClickButton(main_, "btnTest");
    vk_ = main_->VKForm();
    QVERIFY(vk_ && vk_->isVisible());
}

void VKExchangeBoundTest::unansweredQueryEndsByItselfAndALateAnswerIsNotTaken() {
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(Status().contains("No answer from the printer within 5 s"), qPrintable(Status()));

    // The printer wakes up and answers the abandoned query; the next one reads its own answers.
    printer_->pty.Write(std::string("OLD") + std::string(13, ' ') + '\0');
    QTRY_VERIFY(main_->findChild<QPlainTextEdit*>("txtResponse")->toPlainText().contains("OLD"));
    printer_->answer = true;
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(Status().contains("Model  Q310") && Status().contains("Firmware  4.40"), qPrintable(Status()));
}

void VKExchangeBoundTest::cancelEndsAQueryAtOnce() {
    printer_->onQuery = [this] {
        QTimer::singleShot(0, this, [this] { QTest::mouseClick(vk_->findChild<QAbstractButton*>("cmdCancel"), Qt::LeftButton); });
    };
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(!Status().contains("No answer from the printer"), qPrintable(Status()));  // not by the bound
    printer_->onQuery = nullptr;
    printer_->answer = true;  // and the port still serves the next query
    QVERIFY2(QueryEndsByItself() && Status().contains("Firmware  4.40"), qPrintable(Status()));
}

QTEST_MAIN(VKExchangeBoundTest)
#include "vk_exchange_bound_test.moc"
