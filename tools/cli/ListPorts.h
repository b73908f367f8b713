#pragma once
// posbench-cli --list-ports: the printer connections this machine has (serial lines, USB
// printers, USB devices reachable through libusb), each with its owner group and whether this
// user may open it, and the ports the program directory's Startup.ini defines. Nothing is
// opened for writing and no port of the table is opened.
#include "CliOptions.h"

namespace posbench::cli {

// Prints the list (text, or one JSON object per line with --json); the exit status. The
// program directory must have been set up. POSBENCH_DEVICE_ROOT, for tests, stands in for /dev.
int ListPorts(const CliOptions& options);

}  // namespace posbench::cli
