#include "support/TestSupport.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <stdlib.h>

#include "base/RuntimeError.h"
#include "base/Tick.h"

namespace posbench::test {

int32_t ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

ManualClock::ManualClock(uint32_t start, uint32_t autoAdvance) : now_(start), step_(autoAdvance) {
    SetClockHook([this] {
        uint32_t t = now_;
        now_ += step_;
        return t;
    });
}

ManualClock::~ManualClock() { SetClockHook(nullptr); }

ScratchDir::ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "posbench-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
    return p.string();
}

std::string ScratchDir::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace posbench::test
