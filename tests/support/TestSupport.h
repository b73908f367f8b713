#pragma once
// Shared test helpers: every test starts from freshly reset engine globals (TestMain.cpp);
// fakes for the views; a clock the test drives; scratch directories.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/Views.h"

namespace posbench::test {

// The number of the run-time error that f raises, or 0 when it raises none.
int32_t ErrorOf(const std::function<void()>& f);

// Resets the globals of every engine module. Each module adds its reset call here, in
// ResetLowerLayerGlobals for the base and comm layers, in ResetAllGlobals for those above.
void ResetAllGlobals();
void ResetLowerLayerGlobals();

// A status list that keeps its lines and counts refreshes.
class RecordingStatusList : public IStatusList {
public:
    void AddItem(const std::string& line) override { lines.push_back(line); }
    long ListCount() const override { return static_cast<long>(lines.size()); }
    void RemoveItem(long index) override { lines.erase(lines.begin() + index); }
    void SetListIndex(long index) override { selected = index; }
    void Refresh() override { ++refreshes; }
    std::string Item(long index) const override { return lines.at(static_cast<std::size_t>(index)); }

    std::vector<std::string> lines;
    long selected = -1;
    int refreshes = 0;
};

// A response box that keeps its text.
class RecordingResponseBox : public IResponseBox {
public:
    void SetText(const std::string& value) override { text = value; }
    std::string Text() const override { return text; }
    std::string text;
};

// An engine host that records the reconnection timers it is asked to arm.
class RecordingEngineHost : public IEngineHost {
public:
    int16_t GetSetIndex(bool) override { return tcpPort; }
    void InitializeTimeout(int16_t port, long ms) override { timeouts.emplace_back(port, ms); }
    int16_t tcpPort = 0;
    std::vector<std::pair<int16_t, long>> timeouts;
};

// A message box that records what it was shown and answers as told.
class RecordingMessageBox : public IMessageBox {
public:
    MsgAnswer Show(const std::string& text, MsgButtons, const std::string&) override {
        shown.push_back(text);
        return answer;
    }
    std::vector<std::string> shown;
    MsgAnswer answer = MsgAnswer::Ok;
};

// A clock under the test's control. Installing it replaces TickCount; with autoAdvance set,
// every reading moves the clock on by that many milliseconds, so waits that poll the clock end
// without real sleeping.
class ManualClock {
public:
    explicit ManualClock(uint32_t start = 1000, uint32_t autoAdvance = 0);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;
    void Advance(uint32_t ms) { now_ += ms; }
    uint32_t Now() const { return now_; }
    void SetAutoAdvance(uint32_t ms) { step_ = ms; }

private:
    uint32_t now_;
    uint32_t step_;
};

// The number of entries in a folder: files of a scratch directory, or /proc/self/fd and
// /proc/self/task for the descriptors and threads a test must not leave behind.
inline long EntriesIn(const std::filesystem::path& dir) {
    return std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator());
}

// A fresh directory under the system's temporary directory, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes bytes to a file in the directory and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;

private:
    std::filesystem::path path_;
};

}  // namespace posbench::test
