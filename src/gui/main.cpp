// posbench: the desktop bench. One copy per program directory; the start-up window builds the
// ports and the main window, and the Qt event loop then drives the engine until the main window
// is closed, which ends the event loop; the engine then closes every port.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "app/Engine.h"
#include "app/SingleInstance.h"
#include "app/VKUtility.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "gui/FrmMain.h"
#include "gui/FrmStartup.h"
#include "gui/ImageScreenshot.h"
#include "gui/InstanceRaiser.h"
#include "gui/QtMessageBox.h"
#include "gui/Screenshot.h"
#include "posbench/Version.h"

namespace {

void Usage() {
    std::puts("Usage: posbench [--dir DIR] [--screenshot PNG [--screenshot-of W]] [FILE]\n"
              "The desktop bench for the printers of the family: scripts, commands, downloads\n"
              "and configuration on up to six ports.\n\n"
              "  --dir DIR         program directory (Startup.ini, SUPrinters.ini, command\n"
              "                    tables); default $POSBENCH_HOME, else $XDG_CONFIG_HOME/posbench\n"
              "  --screenshot PNG  for the documentation: write a picture of a window and end\n"
              "  --screenshot-of W main (after one command), setup, vk, demo or config; default main\n"
              "  --screenshot-image PNG  the same for the image window: run Scripts/CheckImage.txt\n"
              "                    on port 1 and write a picture of the check it shows\n"
              "  FILE              a file the VK printer utility sends as soon as its port is ON\n"
              "  --version         the program's version\n"
              "  --help            this text");
}

// What the command line asks for.
struct Arguments {
    std::string dirOption;
    std::string screenshot;
    std::string imageScreenshot;
    std::string screenshotOf = "main";
    std::string file;
};

// The command line read into args; a status when the program ends here (--help, --version,
// wrong usage), nothing when it goes on.
std::optional<int> ParseArguments(int argc, char** argv, Arguments& args) {
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--dir") == 0 && hasValue) {
            args.dirOption = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && hasValue) {
            args.screenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot-image") == 0 && hasValue) {
            args.imageScreenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot-of") == 0 && hasValue) {
            args.screenshotOf = argv[++i];
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("posbench " POSBENCH_VERSION);
            return 0;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage();
            return 0;
        } else if (std::strncmp(argv[i], "--", 2) == 0) {
            std::fprintf(stderr, "posbench: unknown option %s\n", argv[i]);
            Usage();
            return 2;
        } else if (args.file.empty()) {
            args.file = argv[i];
        } else {
            std::fprintf(stderr, "posbench: one FILE only (%s and %s given)\n", args.file.c_str(),
                         argv[i]);
            return 2;
        }
    }
    return std::nullopt;
}

// The windows and the Qt event loop, until the main window is closed; then the engine's end.
int RunBench(int argc, char** argv, const Arguments& args) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("posbench");
    QApplication::setQuitOnLastWindowClosed(false);  // the main window's unload ends the loop
    posbench::gui::QtMessageBox messages;
    posbench::SetMessageBox(&messages);

    posbench::gui::FrmStartup startup;
    startup.show();
    posbench::gui::InstanceRaiser raiser(posbench::gsProgramDir, [&startup] {
        if (posbench::gui::FrmMain* main = startup.MainForm()) main->Raise();
    });
    if (!args.imageScreenshot.empty()) {
        const QString file = QString::fromLocal8Bit(args.imageScreenshot.c_str());
        posbench::gui::ScheduleImageScreenshot(startup, file);
    }
    int status = 2;
    if (args.screenshot.empty() ||
        posbench::gui::ScheduleScreenshot(startup, QString::fromLocal8Bit(args.screenshot.c_str()),
                                          QString::fromLocal8Bit(args.screenshotOf.c_str())))
        status = QApplication::exec();
    else
        std::fprintf(stderr, "posbench: --screenshot-of takes main, setup, vk, demo or config\n");
    status = startup.Shutdown(status);
    posbench::SetMessageBox(nullptr);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    if (const std::optional<int> end = ParseArguments(argc, argv, args)) return *end;

    std::string error;
    if (!posbench::SetUpProgramDirFor(args.dirOption, argc > 0 ? argv[0] : nullptr, error)) {
        std::fprintf(stderr, "posbench: %s\n", error.c_str());
        return 1;
    }

    // A second copy creates no window: it brings the running copy to the front and ends.
    posbench::SingleInstance instance(posbench::InstanceLockFile(posbench::gsProgramDir));
    if (!instance.Acquired() && instance.Error().empty()) {
        QCoreApplication core(argc, argv);
        if (!posbench::gui::InstanceRaiser::AskRunningCopy(posbench::gsProgramDir))
            std::fprintf(stderr, "posbench: already running for the program directory %s\n",
                         posbench::gsProgramDir.c_str());
        return 0;
    }
    // A directory where no lock file can be made (read-only media) still gets a working bench.
    if (!instance.Acquired())
        std::fprintf(stderr, "posbench: no single-instance lock: %s\n", instance.Error().c_str());
    if (!args.file.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(args.file, ec);
        posbench::gsCommandLineFile = ec ? args.file : absolute.string();
    }
    return RunBench(argc, argv, args);
}
