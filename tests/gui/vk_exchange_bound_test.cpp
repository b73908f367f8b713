// The VK utility against a serial printer that falls silent (the test plays it on a
// pseudo-terminal: the simulated printer has no fault that is silent once and then answers on
// time): an unanswered version query ends by itself with a status line saying so, a late answer
// does not pass for the next one, and Cancel ends a query at once.
#include <unistd.h>

#include "gui/FrmVK.h"
#include "GuiTest.h"
#include "script/StateMachine.h"
#include "support/Pty.h"

namespace {

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
                if (answer) pty.Write(model ? std::string("Q310") + std::string(12, ' ') + '\0' : "\x02" "4.40\x03");
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
    void initTestCase() {
        bench_.MakeHome("[Communication]\r\nCOM1=115200,DTR,ON\r\n[Devices]\r\nCOM1=" + printer_.pty.SlavePath() + "\r\n");
    }
    void init() {  // a fresh window and utility for each slot
        printer_.answer = false;
        printer_.onQuery = nullptr;
        bench_.OpenMain();
        posbench::test::Click(bench_.main, "btnTest");
        vk_ = bench_.main->VKForm();
        QVERIFY(vk_ && vk_->isVisible());
    }
    void cleanup() { bench_.CloseMain(); }
    void unansweredQueryEndsByItselfAndALateAnswerIsNotTaken();
    void cancelEndsAQueryAtOnce();

private:
    // Clicks the version button (which returns when the query has ended) with both windows'
    // status lists cleared (in a utility opened by Test the engine's own lines go to the main
    // one); false when the query had to be cancelled by the test after 20 s.
    bool QueryEndsByItself() {
        for (QObject* window : {static_cast<QObject*>(vk_), static_cast<QObject*>(bench_.main)})
            posbench::test::Find<QListWidget>(window, "lstStatus")->clear();
        bool rescued = false;
        QTimer rescue;
        rescue.callOnTimeout([&rescued] { rescued = true; posbench::Cancel(); });
        rescue.start(20000);
        posbench::test::Click(vk_, "cmdVKFirmwareVersion");
        return !rescued;
    }
    QString Status() const { return posbench::test::Lines(vk_, "lstStatus") + "\n" + posbench::test::Lines(bench_.main, "lstStatus"); }

    QuietPrinter printer_;
    posbench::test::GuiBench bench_;
    posbench::gui::FrmVK* vk_ = nullptr;
};

void VKExchangeBoundTest::unansweredQueryEndsByItselfAndALateAnswerIsNotTaken() {
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(Status().contains("No answer from the printer within 5 s"), qPrintable(Status()));

    // The printer wakes up and answers the abandoned query; the next one reads its own answers.
    printer_.pty.Write(std::string("OLD") + std::string(13, ' ') + '\0');
    QTRY_VERIFY(posbench::test::Find<QPlainTextEdit>(bench_.main, "txtResponse")->toPlainText().contains("OLD"));
    printer_.answer = true;
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(Status().contains("Model  Q310") && Status().contains("Firmware  4.40"), qPrintable(Status()));
}

void VKExchangeBoundTest::cancelEndsAQueryAtOnce() {
    printer_.onQuery = [this] {
        QTimer::singleShot(0, this, [this] { posbench::test::Click(vk_, "cmdCancel"); });
    };
    QVERIFY2(QueryEndsByItself(), qPrintable(Status()));
    QVERIFY2(!Status().contains("No answer from the printer"), qPrintable(Status()));  // not by the bound
    printer_.onQuery = nullptr;
    printer_.answer = true;  // and the port still serves the next query
    QVERIFY2(QueryEndsByItself() && Status().contains("Firmware  4.40"), qPrintable(Status()));
}

QTEST_MAIN(VKExchangeBoundTest)
#include "vk_exchange_bound_test.moc"
