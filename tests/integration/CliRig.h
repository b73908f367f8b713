#pragma once
// posbench-cli against posbench-printer: a scratch directory, a program directory in it whose
// Startup.ini names the printer as port 1, and runs of posbench-cli on that directory.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "support/CliRun.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace posbench::test {

class CliRig {
public:
    // Starts the printer on the medium with the options (a printer started before goes) and
    // names it in Startup.ini.
    SimPrinter& Start(Medium medium, std::vector<std::string> options = {}) {
        started.printer.reset();
        started = StartOnMedium(medium, std::move(options),
                                dir / (medium == Medium::Fifo ? "usb" : "com1"));
        Ini(started.startupIni);
        return *started.printer;
    }
    SimPrinter& Printer() const { return *started.printer; }
    void Ini(const std::string& text) const {
        std::filesystem::create_directories(home);
        std::ofstream(home + "/Startup.ini") << text;
    }
    // posbench-cli --dir HOME ARGS.
    CliResult Run(std::vector<std::string> args, const CliRunOptions& how = {}) const {
        args.insert(args.begin(), {"--dir", home});
        return RunCli(args, how);
    }

    ScratchDir dir;
    std::string home = dir / "home";
    MediumPrinter started;
};

}  // namespace posbench::test
