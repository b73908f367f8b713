// Startup.ini: the port table, the other settings and the device paths from arbitrary file
// contents, and the port table written back and read again.
#include <string>

#include "FuzzSupport.h"
#include "comm/StartupConfig.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FreshRun();
    fuzz::WriteScratch("Startup.ini", std::string(reinterpret_cast<const char*>(data), size));
    (void)Startup();
    SaveCommConfiguration();
    (void)Startup();
    return 0;
}
