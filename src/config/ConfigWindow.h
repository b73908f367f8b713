#pragma once
// The configuration window's logic (frmConfigIn), free of widgets: it identifies the printer on
// one port, checks its firmware, runs the model's configuration script (which makes the printer
// send its NVRAM into the raw data file) and, once the transfer state machine reports the script
// ended, turns the data into a readable report through the model's definition (an NVR file).
//
// A definition is section [NVRAM] of an INI file: NumLines=n and NV1..NVn, each line five
// comma-separated fields: command, label, operand A, operand B, message. An operand is a
// variable ("[TOTAL]"), a literal ("=5") or else the offset of a byte of the configuration
// image. Commands: TEXT, MUL, ADD, SUB, DIV, COND=, COND<>, COND<, COND>, MASK, NUMB, HEX,
// VALUE, FORMAT, MSG, CLEAR, NOP.
//
// Report lines go to the window's list whole (the window cuts them for its width), to the save
// file and to the printer as the window's check boxes say. A saved report replaces its file
// only when the run reached the definition's last line.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace posbench {

class IStatusList;

// What the logic needs of the configuration window.
class IConfigView {
public:
    virtual ~IConfigView() = default;
    // The status list: one whole line (report line or message).
    virtual void AddLine(const std::string& line) = 0;
    virtual void ClearLines() = 0;
    virtual bool SaveChecked() const = 0;
    virtual bool PrintChecked() const = 0;
    // The file-name window, shown modally. False when the user left it without choosing a
    // file (no report is saved then); true with the full name in saveFile.
    virtual bool ChooseSaveFile(std::string& saveFile) = 0;
};

// The window's status list: a line longer than 54 characters becomes pieces of 54, an empty one
// two blanks; the newest stays in view without a selection; at most 999 lines are kept.
void AddConfigListLine(IStatusList& list, const std::string& line);
inline constexpr long kConfigListWidth = 54;
inline constexpr long kConfigListBound = 1000;

// What the main window hands over before the window is shown.
struct ConfigHandOver {
    int16_t port = 0;            // the port selected in the main window (1..6, 0 for none)
    std::string definitionFile;  // an NVR file; empty: the model table chooses it
    std::string dataFile;        // raw configuration data; empty: nvTemp.dat in the program dir
    std::string model;           // the printer type chosen in the main window
    std::string portSettings;    // the port's entry of the port table
};

// One row of the model table: the firmware a model needs and its NVR file (program directory).
struct ConfigModel {
    const char* model;
    const char* version;
    const char* nvrFile;
};
const ConfigModel* FindConfigModel(const std::string& model);

// Identification and the version query wait this long for their reply.
inline constexpr int32_t kConfigExchangeMs = 3000;

// A version text ("4.40", "10.0") as major * 100 + hundredths; nothing when it holds no number.
std::optional<int32_t> VersionValue(const std::string& text);

class ConfigIn {
public:
    explicit ConfigIn(IConfigView& view);
    ~ConfigIn();
    ConfigIn(const ConfigIn&) = delete;
    ConfigIn& operator=(const ConfigIn&) = delete;

    void HandOver(const ConfigHandOver& values);
    const ConfigHandOver& HandedOver() const { return in_; }
    // The save file of a report run without "Get Configuration" (the headless runner's
    // --config-report --save).
    void SetSaveFile(const std::string& name) { saveFile_ = name; }

    // "Get Configuration": the whole flow up to the start of the configuration script (or the
    // report at once when a definition and a data file were handed over).
    void btnConfiguration_Click();
    // The state machine's continuation: the configuration script on port has ended.
    void ScriptEnded(int16_t port);

    // One whole report. True when it reached the definition's last line.
    bool ProcessConfigFile(int16_t port, bool stop);
    void ProcessConfigEntry(int16_t port, const std::string& image, const std::string& line);

    // True while the configuration script runs for this window.
    bool Fetching() const { return fetching_; }
    // The outcome of the last run: empty before any, true when the report ran to its end.
    std::optional<bool> LastOutcome() const { return outcome_; }

    // Operand value, little-endian number and hex text of image bytes. A failure (an offset
    // outside the image, an overflow) shows the procedure's error line and abandons the line
    // being interpreted.
    int32_t ConvToNum(const std::string& image, const std::string& text);
    int32_t GetNumber(const std::string& image, int32_t offset, int32_t count);
    std::string GetHexString(const std::string& image, int32_t offset, int32_t count);

private:
    void OutputOrSave(int16_t port, const std::string& image, const std::string& label,
                      const std::string& text, int32_t value);
    void OutputOrSave(int16_t port, const std::string& line);
    void Show(const std::string& line) { view_.AddLine(line); }
    void Store(const std::string& name, int32_t value);
    bool SwitchFlowBack(int16_t port);
    void Finish(int16_t port, bool completed);
    bool StartScript(int16_t port, const std::string& nvrFile);
    bool Exchange(int16_t port, const char* command, int32_t replyLength);
    bool Identify(int16_t port);
    bool MakeImage(const std::string& dataFile, const std::string& imageFile);
    bool ReadWhole(const std::string& name, std::string& bytes);
    // ProcessConfigFile after the flow-control switch: true when the report ran to its end.
    bool RunReport();

    IConfigView& view_;
    ConfigHandOver in_;
    std::string definition_;  // the definition of the run: handed over, or the model's NVR file
    std::string saveFile_;
    bool flowSwitched_ = false;
    bool fetching_ = false;
    std::optional<bool> outcome_;
    std::optional<std::string> saved_;  // the report for the save file, while saving
    std::vector<std::pair<std::string, int32_t>> variables_;
};

}  // namespace posbench
