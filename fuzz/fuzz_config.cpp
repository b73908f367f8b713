// The configuration report interpreter: a definition (its lines, or raw INI bytes) run against
// raw configuration data of any length. Every line ends in a report line, a stored variable or
// one message; a report that ran to its end is saved exactly as shown, one that did not leaves
// the old save file alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "config/ConfigWindow.h"

using namespace posbench;

namespace {

class View : public IConfigView {
public:
    void AddLine(const std::string& line) override { lines.push_back(line); }
    void ClearLines() override { lines.clear(); }
    bool SaveChecked() const override { return true; }
    bool PrintChecked() const override { return false; }
    bool ChooseSaveFile(std::string&) override { return true; }
    std::vector<std::string> lines;
};

void Fail(int line) {
    std::fprintf(stderr, "configuration report invariant broken at fuzz_config.cpp:%d\n", line);
    std::abort();
}
#define Check(ok) ((ok) ? (void)0 : Fail(__LINE__))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    const bool rawIni = in.ConsumeBool();
    const std::string raw = in.ConsumeRandomLengthString(1200);
    std::string definition;
    int lines = 0;
    if (rawIni) {
        definition = in.ConsumeRemainingBytesAsString();
    } else {
        std::string body;
        for (; lines < 60 && in.remaining_bytes() > 0; ++lines) {
            std::string line = in.ConsumeRandomLengthString(150);
            for (char& c : line)
                if (c == '\n' || c == '\r') c = ' ';
            body += "NV" + std::to_string(lines + 1) + "=" + line + "\n";
        }
        definition = "[NVRAM]\nNumLines=" + std::to_string(lines) + "\n" + body;
    }
    View view;
    ConfigIn window(view);
    ConfigHandOver values;
    values.definitionFile = fuzz::WriteScratch("def.ini", definition);
    values.dataFile = fuzz::WriteScratch("raw.dat", raw);
    window.HandOver(values);
    const std::string save = fuzz::WriteScratch("report.txt", "old\n");
    window.SetSaveFile(save);
    const bool completed = window.ProcessConfigFile(0, false);

    if (!rawIni) Check(view.lines.size() <= static_cast<std::size_t>(lines) + 1);
    std::string shown;
    for (const std::string& line : view.lines) shown += line + "\n";
    const std::string saved = fuzz::ReadScratch("report.txt");
    // Messages go to the list only; every saved line is one that was shown, in order.
    if (completed) {
        Check(saved.size() <= shown.size());
    } else {
        Check(saved == "old\n");
    }
    return 0;
}
