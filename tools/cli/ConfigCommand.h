#pragma once
// posbench-cli's configuration report: --get-config runs the configuration window's "Get
// Configuration" on a port, --config-report interprets a definition against a data file without
// opening any port. Report lines and the flow's messages are printed whole, one per line.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace posbench {
class ConfigIn;
}

namespace posbench::cli {

struct ConfigOptions {
    std::string model;       // --get-config MODEL
    bool reportOnly = false; // --config-report DEFINITION [DATA]
    std::string definition, data;
    std::string saveFile;    // --save FILE
    bool print = false;      // --print
    bool Active() const { return !model.empty() || reportOnly; }
};

// Takes the option at args[i] (and its values, moving i past them) when it is one of the
// configuration options: 1 when taken, 0 when it is not one of them, -1 with error set.
int ParseConfigOption(const std::vector<std::string>& args, std::size_t& i, ConfigOptions& options,
                      std::string& error);
// The combinations that cannot work; false with error set.
bool CheckConfigOptions(const ConfigOptions& options, std::string& error);
std::string ConfigUsageText();

// --config-report: the exit status (0 when the report ran to its end).
int RunConfigReport(const ConfigOptions& options);

// --get-config on a port: the window's logic with a printing view, alive for the whole run.
class GetConfigRun {
public:
    explicit GetConfigRun(const ConfigOptions& options);
    ~GetConfigRun();
    // "Get Configuration" on the port; false when the flow ended at once without a report.
    bool Start(int16_t port, const std::string& model);
    // True once the report has run to its end.
    bool Completed() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace posbench::cli
