#pragma once
// The main window's way into the configuration window (btnPrntConfig): the "Input Configuraton"
// button with no files, and an NVRAM or NVRDIR INI file sent from the script panel with its
// definition and data file.
#include <cstdint>
#include <optional>
#include <string>

#include "config/ConfigWindow.h"

namespace posbench {

// What the configuration window is handed: the files, the selected port with its port-table
// entry and the selected printer. Nothing (and the error line shown) when no port is selected.
std::optional<ConfigHandOver> PrntConfigHandOver(int16_t selectedPort, const std::string& printer,
                                                 const std::string& definitionFile,
                                                 const std::string& dataFile);

}  // namespace posbench
