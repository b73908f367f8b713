// File names: splitting, completing and mapping arbitrary Windows-style names. Nothing is opened.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "FuzzSupport.h"
#include "base/File.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    const std::string script = in.ConsumeRandomLengthString(64);
    const bool toCreate = in.ConsumeBool();
    std::string name = in.ConsumeRemainingBytesAsString();

    (void)CheckPath(name);
    (void)CheckFileName(name);
    (void)IsAbsoluteName(name);
    (void)NativePath(name, toCreate);
    std::string completed = name;
    if (GetCompletePath(completed, script)) (void)NativePath(completed, toCreate);
    std::string scripted = script;
    (void)GetCompletePath(scripted, name);
    return 0;
}
