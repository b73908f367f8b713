#pragma once
// What posbench-cli checks of its command line before any port is opened, so that a mistyped
// command or file name costs no link opening and touches no printer.
#include <string>

#include "CliOptions.h"

namespace posbench::cli {

// Every --command converts to bytes, and FILE exists and is a regular file. False with a
// one-line reason.
bool CheckBeforeOpening(const CliOptions& options, std::string& error);

// True for the file types Send passes to a port: TXT and AXI (scripts), BIN, PBT, LGO, BMP,
// IB1, IB2 (downloads). Any other (INI included: catalogues and configuration definitions
// belong to the desktop program) is not sent.
bool FileTypeSent(const std::string& fileName);
// The message for a file of another type.
std::string NotSentText(const std::string& fileName);

}  // namespace posbench::cli
