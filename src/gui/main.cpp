// posbench: the desktop bench. One copy per program directory; the start-up window builds the
// ports and the main window, and the Qt event loop then drives the engine until the main window
// is closed, which ends the event loop; the engine then closes every port.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

}  // namespace

int main(int argc, char** argv) {
    std::string dirOption;
    std::string screenshot;
    std::string imageScreenshot;
    std::string screenshotOf = "main";
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            dirOption = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot-image") == 0 && i + 1 < argc) {
            imageScreenshot = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshot-of") == 0 && i + 1 < argc) {
            screenshotOf = argv[++i];
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
        } else if (file.empty()) {
            file = argv[i];
        } else {
            std::fprintf(stderr, "posbench: one FILE only (%s and %s given)\n", file.c_str(), argv[i]);
            return 2;
        }
    }

    std::string error;
    if (!posbench::SetUpProgramDirFor(dirOption, argc > 0 ? argv[0] : nullptr, error)) {
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
    if (!file.empty()) {
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(file, ec);
        posbench::gsCommandLineFile = ec ? file : absolute.string();
    }

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
    if (!imageScreenshot.empty())
        posbench::gui::ScheduleImageScreenshot(startup, QString::fromLocal8Bit(imageScreenshot.c_str()));
    if (!screenshot.empty() &&
        !posbench::gui::ScheduleScreenshot(startup, QString::fromLocal8Bit(screenshot.c_str()),
                                           QString::fromLocal8Bit(screenshotOf.c_str()))) {
        std::fprintf(stderr, "posbench: --screenshot-of takes main, setup, vk, demo or config\n");
        return 2;
    }
    const int status = startup.Shutdown(QApplication::exec());
    posbench::SetMessageBox(nullptr);
    return status;
}
