// The simulated printer's interpreter on arbitrary byte streams cut into arbitrary chunks with
// arbitrary gaps between them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "PrinterProtocol.h"

using namespace posbench::sim;

namespace {

class NullHost : public PrinterHost {
public:
    void Send(const Bytes& answer) override { sent += answer.size(); }
    void Print(const std::string& text) override { printed += text.size(); }
    void Restart() override {}
    void EraseFlash() override {}
    void WriteFlash(uint8_t, uint32_t offset, const Bytes& data) override {
        if (offset + data.size() > 0x10000) std::abort();  // a write stays inside its 64 KiB sector
    }
    void Store(const std::string&, const Bytes& data) override {
        if (data.size() > reply::kMaxStored) std::abort();
    }
    Bytes ImageData() override { return image; }
    Bytes NvramData() override { return "NVRAM"; }
    void Note(const std::string&) override {}

    Bytes image;
    std::size_t sent = 0;
    std::size_t printed = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    ProtocolSettings settings;
    settings.nakBlock = in.ConsumeIntegralInRange<long>(0, 4);
    settings.nakBank = in.ConsumeBool();
    NullHost host;
    host.image = in.ConsumeRandomLengthString(2000);
    PrinterProtocol printer(settings, host);
    int64_t now = 0;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: now += in.ConsumeIntegralInRange<int64_t>(0, 2000); printer.Tick(now); break;
        case 1: printer.NewSession(); break;
        case 2: printer.PowerCycle(); break;
        default: printer.Feed(in.ConsumeRandomLengthString(300), now); break;
        }
    }
    // Once its time has come and gone, nothing stays due: a runner sleeping until Deadline()
    // would otherwise spin.
    now += 100000;
    printer.Tick(now);
    if (auto deadline = printer.Deadline(); deadline && *deadline <= now) std::abort();
    return 0;
}
