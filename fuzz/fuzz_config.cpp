// The configuration report interpreter: a definition (its lines, or raw INI bytes) run against
// raw configuration data of any length. Every line ends in a report line, a stored variable or
// one message; a report that ran to its end is saved exactly as shown, one that did not leaves
// the old save file alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/ConfigWindow.h"
#include "support/RecordingConfigView.h"

using namespace posbench;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    const bool rawIni = in.ConsumeBool();
    // Saving replaces the file through a flushed temporary: costly, so one input in eight.
    const bool save = in.ConsumeIntegralInRange(0, 7) == 0;
    const std::string raw = in.ConsumeRandomLengthString(1200);
    std::string definition;
    int lines = 0;
    if (rawIni) {
        definition = in.ConsumeRemainingBytesAsString();
    } else {
        std::string body;
        for (; lines < 30 && in.remaining_bytes() > 0; ++lines) {
            std::string line = in.ConsumeRandomLengthString(150);
            for (char& c : line)
                if (c == '\n' || c == '\r') c = ' ';
            body += "NV" + std::to_string(lines + 1) + "=" + line + "\n";
        }
        definition = "[NVRAM]\nNumLines=" + std::to_string(lines) + "\n" + body;
    }
    posbench::test::RecordingConfigView view;
    view.save = save;
    ConfigIn window(view);
    ConfigHandOver values;
    values.definitionFile = fuzz::WriteScratch("def.ini", definition);
    values.dataFile = fuzz::WriteScratch("raw.dat", raw);
    window.HandOver(values);
    window.SetSaveFile(fuzz::WriteScratch("report.txt", "old\n"));
    const bool completed = window.ProcessConfigFile(0, false);

    if (!rawIni) FUZZ_CHECK(view.lines.size() <= static_cast<std::size_t>(lines) + 1);
    std::string shown;
    for (const std::string& line : view.lines) shown += line + "\n";
    const std::string saved = fuzz::ReadScratch("report.txt");
    // Messages go to the list only; every saved line is one that was shown, in order.
    if (completed && save) {
        FUZZ_CHECK(saved.size() <= shown.size());
    } else {
        FUZZ_CHECK(saved == "old\n");
    }
    return 0;
}
