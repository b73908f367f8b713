#include "app/PrntConfig.h"

#include "base/Display.h"
#include "base/RuntimeError.h"
#include "comm/CommGlobals.h"

namespace posbench {

std::optional<ConfigHandOver> PrntConfigHandOver(int16_t selectedPort, const std::string& printer,
                                                 const std::string& definitionFile,
                                                 const std::string& dataFile) {
    try {
        ConfigHandOver values;
        values.definitionFile = definitionFile;
        values.dataFile = dataFile;
        values.port = selectedPort;
        values.model = printer;
        values.portSettings = gsPortTable(selectedPort);  // no port selected: subscript error
        return values;
    } catch (...) {
        Display(ErrorLine("frmMain, btnPrntConfig Error: ", CurrentRuntimeError(), " "));
        return std::nullopt;
    }
}

}  // namespace posbench
