// posbench-printer: a simulated printer for the bench, its tests and its demos.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "PrinterOptions.h"
#include "PrinterRunner.h"
#include "posbench/Version.h"

int main(int argc, char** argv) {
    using namespace posbench::sim;
    std::string error;
    const auto options = ParsePrinterOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "posbench-printer: " << error << " (see --help)\n";
        return 2;
    }
    if (options->version) {
        std::cout << "posbench-printer " POSBENCH_VERSION "\n";
        return 0;
    }
    if (options->help) {
        std::cout << PrinterHelpText();
        return 0;
    }
    // The termination signals arrive through a descriptor the poll loop watches, so they end
    // the printer between two steps and it can tidy up.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
    const int signalFd = signalfd(-1, &stop, SFD_CLOEXEC);
    if (signalFd < 0) {
        std::cerr << "posbench-printer: cannot watch signals\n";
        return 1;
    }
    try {
        PrinterRunner printer(*options);
        const int status = printer.Run(signalFd);
        close(signalFd);
        return status;
    } catch (const std::exception& e) {
        std::cerr << "posbench-printer: " << e.what() << "\n";
        close(signalFd);
        return 1;
    }
}
