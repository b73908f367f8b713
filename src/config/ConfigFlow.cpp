// The get-configuration flow of the configuration window: identification, firmware check, the
// model's NVR file, the flow-control switch and the configuration script, whose end the state
// machine reports through the configuration continuation.
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/File.h"
#include "base/Ini.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "config/ConfigWindow.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"

namespace posbench {
namespace {

constexpr ConfigModel kModels[] = {
    {"Q310", "4.40", "Q10NVR.ini"}, {"Q320", "1.00", "Q20NVR.ini"},
    {"Q330", "1.22", "Q30NVR.ini"}, {"W340", "1.00", "W40NVR.ini"},
    {"Q350", "3.38", "Q50NVR.ini"}, {"Q360", "1.00", "Q60NVR.ini"},
};

constexpr const char* kIdentify = "1D 49 40 27";
constexpr int32_t kIdentifyReply = 17;
constexpr const char* kVersionQuery = "1D 49 40 A3";
constexpr int32_t kVersionReply = 6;
constexpr const char* kAbort = "Error. Abort printing configuration";

}  // namespace

const ConfigModel* FindConfigModel(const std::string& model) {
    for (const ConfigModel& entry : kModels)
        if (EqualsNoCase(model, entry.model)) return &entry;
    return nullptr;
}

std::optional<int32_t> VersionValue(const std::string& text) {
    const std::string t = Trim(text);
    std::size_t i = 0;
    int32_t major = 0;
    bool digits = false;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) && major < 100000; ++i) {
        major = major * 10 + (t[i] - '0');
        digits = true;
    }
    int32_t hundredths = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        for (int place = 10; place >= 1 && i < t.size() &&
                             std::isdigit(static_cast<unsigned char>(t[i]));
             place /= 10, ++i) {
            hundredths += (t[i] - '0') * place;
            digits = true;
        }
    }
    if (!digits) return std::nullopt;
    return major * 100 + hundredths;
}

ConfigIn::ConfigIn(IConfigView& view) : view_(view) {
    RegisterConfigContinuation([this](int16_t port, bool) { ScriptEnded(port); });
}

ConfigIn::~ConfigIn() { RegisterConfigContinuation(nullptr); }

void ConfigIn::HandOver(const ConfigHandOver& values) {
    in_ = values;
    definition_ = in_.definitionFile;
}

bool ConfigIn::SwitchFlowBack(int16_t port) {
    if (!flowSwitched_) return true;
    flowSwitched_ = false;
    if (ToggleFlowControl(in_.portSettings, port)) return true;
    Show("Unable to set flow control to XON");
    return false;
}

void ConfigIn::Finish(int16_t port, bool completed) {
    SwitchFlowBack(port);
    fetching_ = false;
    outcome_ = completed;
}

// One bounded exchange of the flow; false when it stopped with its message.
bool ConfigIn::Exchange(int16_t port, const char* command, int32_t replyLength) {
    if (!ProcessData(command)) {
        Show(gsTextErr);
        return false;
    }
    if (WriteReadOk(gsResult, replyLength, false, port, kConfigExchangeMs)) return true;
    Show(kAbort);
    return false;
}

// Steps of identification and firmware check; the model's NVR file becomes the definition.
bool ConfigIn::Identify(int16_t port) {
    if (!Exchange(port, kIdentify, kIdentifyReply)) return false;
    if (InStr(UCase(gPortState(port).Response), UCase(in_.model)) == 0) {
        Show("Printer selection / connection mismatch.");
        Show("Selected printer type must match attached printer");
        return false;
    }
    if (!Exchange(port, kVersionQuery, kVersionReply)) return false;
    const ConfigModel* model = FindConfigModel(in_.model);
    if (model == nullptr) {
        Show("Unknown Printer Model");
        return false;
    }
    definition_ = gsProgramDir + "/" + model->nvrFile;
    const std::string& reply = gPortState(port).Response;
    const std::optional<int32_t> version =
        reply.size() >= 10 ? VersionValue(Mid(reply, 7, 4)) : std::nullopt;
    if (!version) {
        Show("Unable to read the firmware version");
        return false;
    }
    if (*version < *VersionValue(model->version)) {
        Show("Function not supported on this version of the firmware.");
        Show(std::string("Requires version") + model->version + " or greater");
        return false;
    }
    return true;
}

// Steps from the flow-control switch to the start of the configuration script.
bool ConfigIn::StartScript(int16_t port, const std::string& nvrFile) {
    if (InStrNoCase(in_.portSettings, "XON") > 0) {
        flowSwitched_ = true;
        if (!ToggleFlowControl(in_.portSettings, port)) {
            Show("Unable to set flow control to DTR");
            flowSwitched_ = false;
            // The stored setting was swapped before the port refused it: swap it back.
            ToggleFlowControl(in_.portSettings, port);
            return false;
        }
    }
    std::string script = GetPrivateProfileString("RQTYPE", "RQFILE", "NONE", nvrFile);
    if (script == "NONE") {
        Show("Error in NVR configuration file");
        return false;
    }
    Show("Delay of 5-10 seconds to input printer configuration");
    if (!GetCompletePath(script, nvrFile)) {
        Show("Invalid File Name");
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(NativePath(script), ec)) {
        Show("Invalid file specification in the ini file");
        return false;
    }
    // Data an earlier run left must never pass for this printer's configuration.
    const std::string raw = NativePath(gsProgramDir + "/nvTemp.dat");
    std::filesystem::remove(raw, ec);
    if (std::filesystem::exists(raw, ec)) {
        Show("Unable to delete the old configuration data " + raw);
        return false;
    }
    fetching_ = true;
    bool started = ProcessTextFile(port, script);
    // A script that ended well within its first call has its report still to come.
    if (!started && gbConfigPending(port) && !gbScriptRunning(port) &&
        !gPortState(port).EndedByStop)
        started = true;
    if (!started) {
        gbConfigPending(port) = false;
        Show("Error getting printer configuration");
        return false;
    }
    return true;
}

void ConfigIn::btnConfiguration_Click() {
    const int16_t port = in_.port;
    try {
        outcome_.reset();
        view_.ClearLines();
        if (!PortReady(port)) {
            Show(gsCommErr);
            Finish(port, false);
            return;
        }
        if (view_.SaveChecked()) {
            std::string name = saveFile_;
            if (view_.ChooseSaveFile(name)) {
                saveFile_ = name;
            } else {
                saveFile_.clear();
                Show("No file name chosen: the report is not saved");
            }
        }
        gbStop(port) = false;
        definition_ = in_.definitionFile;
        if (!in_.definitionFile.empty()) {
            if (!in_.dataFile.empty()) {
                ProcessConfigFile(port, true);
                return;
            }
        } else if (!Identify(port)) {
            Finish(port, false);
            return;
        }
        if (!StartScript(port, definition_)) Finish(port, false);
    } catch (...) {
        Show(ErrorLine("frmConfigIn, btnConfiguration Error: ", CurrentRuntimeError(), " "));
        Finish(port, false);
    }
}

void ConfigIn::ScriptEnded(int16_t port) {
    if (!fetching_) return;
    fetching_ = false;
    if (gPortState(port).EndedByStop) {
        Show("Error getting printer configuration");
        Finish(port, false);
        return;
    }
    ProcessConfigFile(port, gbStop(port));
}

}  // namespace posbench
