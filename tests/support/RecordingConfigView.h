#pragma once
// A configuration window that keeps its lines; Save as the test sets it, Print off, and the
// file-name window answered with the name the test gives (empty: left without choosing).
#include <string>
#include <vector>

#include "config/ConfigWindow.h"

namespace posbench::test {

class RecordingConfigView : public IConfigView {
public:
    void AddLine(const std::string& line) override { lines.push_back(line); }
    void ClearLines() override { lines.clear(); }
    bool SaveChecked() const override { return save; }
    bool PrintChecked() const override { return false; }
    bool ChooseSaveFile(std::string& saveFile) override {
        saveFile = chosen;
        return !chosen.empty();
    }
    std::vector<std::string> lines;
    bool save = false;
    std::string chosen;
};

}  // namespace posbench::test
