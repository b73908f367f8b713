#include "ConfigCommand.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "comm/CommGlobals.h"
#include "config/ConfigWindow.h"

namespace posbench::cli {
namespace {

std::string Absolute(const std::string& name) {
    if (name.empty()) return name;
    std::error_code ec;
    const auto path = std::filesystem::absolute(name, ec);
    return ec ? name : path.string();
}

// The configuration window without a window: every line whole on standard output, the check
// boxes from the options, and --save standing in for the file-name window.
class PrintingConfigView : public IConfigView {
public:
    explicit PrintingConfigView(const ConfigOptions& options)
        : save_(Absolute(options.saveFile)), print_(options.print) {}
    void AddLine(const std::string& line) override {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    void ClearLines() override {}
    bool SaveChecked() const override { return !save_.empty(); }
    bool PrintChecked() const override { return print_; }
    bool ChooseSaveFile(std::string& saveFile) override {
        saveFile = save_;
        return true;
    }

private:
    std::string save_;
    bool print_;
};

}  // namespace

int ParseConfigOption(const std::vector<std::string>& args, std::size_t& i, ConfigOptions& options,
                      std::string& error) {
    const std::string& arg = args[i];
    const bool hasNext = i + 1 < args.size();
    if (arg == "--get-config" || arg == "--save") {
        if (!hasNext || args[i + 1].empty()) {
            error = arg == "--save" ? "--save needs a FILE for the report"
                                    : "--get-config needs a MODEL (Q310, Q320, Q330, W340, Q350, Q360)";
            return -1;
        }
        (arg == "--save" ? options.saveFile : options.model) = args[++i];
        return 1;
    }
    if (arg == "--print") {
        options.print = true;
        return 1;
    }
    if (arg == "--config-report") {
        if (!hasNext || args[i + 1].empty()) {
            error = "--config-report needs a DEFINITION (an NVR file)";
            return -1;
        }
        options.reportOnly = true;
        options.definition = args[++i];
        if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-')
            options.data = args[++i];
        return 1;
    }
    return 0;
}

bool CheckConfigOptions(const ConfigOptions& options, std::string& error) {
    if (!options.model.empty() && options.reportOnly) {
        error = "give either --get-config or --config-report, not both";
        return false;
    }
    if (!options.Active() && (!options.saveFile.empty() || options.print)) {
        error = "--save and --print go with --get-config (--save also with --config-report)";
        return false;
    }
    if (options.reportOnly && options.print) {
        error = "--print needs a printer: it goes with --get-config";
        return false;
    }
    return true;
}

std::string ConfigUsageText() {
    return R"(
Configuration report:
  posbench-cli [--dir DIR] [--port N] [--timeout S] --get-config MODEL [--save FILE] [--print]
  posbench-cli [--dir DIR] --config-report DEFINITION [DATA] [--save FILE]

  --get-config MODEL  identify the printer on the port (it must be MODEL), check its firmware,
                      run the configuration script of the model's NVR file (Q10NVR.ini ...
                      Q60NVR.ini in the program directory) and print the report
  --config-report DEFINITION [DATA]
                      interpret the definition (an NVR file) against a raw data file
                      (default nvTemp.dat in the program directory); no port is opened
  --save FILE         also write the report to FILE; an existing FILE is replaced only when the
                      report ran to its end
  --print             also print the report on the printer
  Report lines are printed whole, one per line. Exit status 0 when the report ran to its
  end, 1 otherwise.
)";
}

int RunConfigReport(const ConfigOptions& options) {
    PrintingConfigView view(options);
    ConfigIn window(view);
    ConfigHandOver values;
    values.definitionFile = Absolute(options.definition);
    values.dataFile = Absolute(options.data);
    window.HandOver(values);
    window.SetSaveFile(Absolute(options.saveFile));
    return window.ProcessConfigFile(0, false) ? 0 : 1;
}

struct GetConfigRun::Parts {
    explicit Parts(const ConfigOptions& options) : view(options), window(view) {}
    PrintingConfigView view;
    ConfigIn window;
};

GetConfigRun::GetConfigRun(const ConfigOptions& options) : parts_(std::make_unique<Parts>(options)) {}

GetConfigRun::~GetConfigRun() = default;

bool GetConfigRun::Start(int16_t port, const std::string& model) {
    ConfigHandOver values;
    values.port = port;
    values.model = model;
    if (port >= 1 && port <= giNumPorts) values.portSettings = gsPortTable(port);
    parts_->window.HandOver(values);
    parts_->window.btnConfiguration_Click();
    return parts_->window.Fetching() || parts_->window.LastOutcome() == true;
}

bool GetConfigRun::Completed() const { return parts_->window.LastOutcome() == true; }

}  // namespace posbench::cli
