#pragma once
// What posbench-cli checks of its command line before any port is opened, so that a mistyped
// command or file name costs no link opening and touches no printer.
#include <string>

#include "CliOptions.h"

namespace posbench::cli {

// Every --command converts to bytes, and FILE exists and is a regular file. False with a
// one-line reason.
bool CheckBeforeOpening(const CliOptions& options, std::string& error);

// The message for a file of a type Send does not pass to a port (SentToPort).
std::string NotSentText(const std::string& fileName);

}  // namespace posbench::cli
