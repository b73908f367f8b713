#pragma once
// A second copy of the program asks the running one to come to the front. The running copy
// listens on a local socket named after its program directory; the second copy connects, says
// "raise" and ends. When no copy answers, the caller tells the user on standard error.
#include <QLocalServer>
#include <QString>
#include <functional>

namespace posbench::gui {

class InstanceRaiser {
public:
    // The running copy: calls raise whenever a second copy asks.
    InstanceRaiser(const std::string& programDir, std::function<void()> raise);
    ~InstanceRaiser();

    // The second copy: true when the running copy took the request.
    static bool AskRunningCopy(const std::string& programDir);

private:
    QLocalServer server_;
    std::function<void()> raise_;
};

}  // namespace posbench::gui
