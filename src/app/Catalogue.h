#pragma once
// The printer catalogue and the command lists: the two-level menu on the left of the main
// window (one button per printer model, and under the chosen model its sub-function buttons
// with picture and label) and what choosing a sub-function shows on the right: a folder of
// files of one type, a command table, a receipt demo, or another catalogue.
//
// SUPrinters.ini, section [Printers]:
//   NumButtons=n,name1,...,namen
//   name=m,key1,...,keym
//   key=label,panel caption,file or folder,type,picture   (paths relative to the catalogue)
// A command table (type marker RQ=CMD), section [Configure]:
//   NumConfig=c
//   CA1..CAc=description,command,input count
//
// Widget-free: the window binds ICatalogueView. Every failure is one status line.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Arrays.h"

namespace posbench {

// The right-hand panels a sub-function can show.
enum class Panel { Script, Command, Receipt };

// What the catalogue needs of the main window.
class ICatalogueView {
public:
    virtual ~ICatalogueView() = default;
    // Destroys printer buttons 1.., sub-function buttons and labels 1..; button, label and
    // printer button 0 always exist.
    virtual void ClearMenu() = 0;
    // Printer button `index` (created when index > 0 and it does not exist yet) with a caption.
    virtual void SetPrinterButton(int16_t index, const std::string& caption) = 0;
    // Sub-function button and label `index` (created when needed), left hidden; picture is the
    // native path of an existing image file.
    virtual void SetSubFunction(int16_t index, const std::string& label,
                                const std::string& picture) = 0;
    // Printer buttons 0..open stacked at the top of the printer panel, the rest at its bottom;
    // only the sub-functions first..first+count-1 are shown, in a column under button `open`.
    virtual void ShowMenu(int16_t printers, int16_t open, int16_t firstSub, int16_t subCount) = 0;
    // Hides the script, command and receipt panels and empties txtFile.
    virtual void HidePanels() = 0;
    virtual void ShowPanel(Panel panel, const std::string& caption) = 0;
    // The drive, folder and file lists of the script panel moved to a folder (native path).
    virtual void ShowFolder(const std::string& folder) = 0;
    virtual void SetFilePattern(const std::string& pattern) = 0;
    // lstCmds.
    virtual void ClearCommands() = 0;
    virtual void AddCommand(const std::string& description) = 0;
    // cboCommand and txtInCount.
    virtual void SetCommand(const std::string& command, const std::string& inputCount) = 0;
    virtual void FocusSend() = 0;
};

// The configuration file of the chosen sub-function; "Table Maintenance" reloads it.
extern std::string gsCurrentConfigFile;

// One entry of a command table, parallel to the items of lstCmds.
struct CommandRecord {
    std::string command;
    std::string inputCount;
};

// One sub-function as the catalogue describes it.
struct SubFunction {
    std::string file;     // resolved file or folder
    std::string type;     // file type as written ("TXT", "INI", ...)
    std::string caption;  // panel caption
    std::string folder;   // where the script panel's lists stand for it
};

// The receipt demo loader and the configuration window arrive from above; until one is
// registered, choosing it says so.
using DemoLoader = std::function<void(const std::string& demoFile)>;
using ConfigOpener = std::function<void(const std::string& definitionFile,
                                        const std::string& dataFile)>;
void SetDemoLoader(DemoLoader loader);
void SetConfigOpener(ConfigOpener opener);

class Catalogue {
public:
    explicit Catalogue(ICatalogueView& view) : view_(view) {}

    // The whole menu rebuilt from a catalogue (resolved against the program directory).
    void LoadPrinters(const std::string& fileName);
    // One printer and its sub-functions, read from the catalogue file.
    void ProcessPrinter(const std::string& printerName, const std::string& fileName);
    // Printer `index` opened: its sub-functions shown, its first one chosen.
    void ProcessMain(int16_t index);
    // Sub-function `index` chosen: the matching panel shown.
    void ProcessSubFcn(int16_t index);
    // A command table into lstCmds and the records.
    void DisplayConfigurationList(const std::string& fileName);

    // A command chosen in lstCmds (0-based list index): command and count into the boxes.
    void lstCmds_Click(long listIndex);
    // The same, then the send action (the dispatcher's Send), then the focus on Send.
    void lstCmds_DblClick(long listIndex);
    void SetSendAction(std::function<void()> send) { send_ = std::move(send); }

    // The script panel's lists moved: the chosen sub-function remembers where.
    void SetCurrentFolder(const std::string& folder);

    // An INI file sent from the script panel, dispatched on its type marker.
    void CommonINI(const std::string& fileName);

    int16_t PrinterCount() const { return printerCount_; }
    int16_t SubFunctionCount() const { return subCount_; }
    int16_t ChosenSubFunction() const { return chosenSub_; }
    const std::string& SelectedPrinter() const { return selectedPrinter_; }
    const std::vector<SubFunction>& SubFunctions() const { return subs_; }
    const OneBasedArray<CommandRecord>& Commands() const { return commands_; }

private:
    struct PrinterRow {
        int16_t first = 0;
        int16_t count = 0;
    };

    ICatalogueView& view_;
    std::function<void()> send_;
    int16_t printerCount_ = 0;
    int16_t subCount_ = 0;
    int16_t chosenSub_ = -1;
    BoundedArray<PrinterRow, 0, 9> rows_;
    std::vector<SubFunction> subs_{1};
    std::vector<std::string> names_;  // captions of the printer buttons that exist
    std::string selectedPrinter_;
    OneBasedArray<CommandRecord> commands_;
};

// The file list's pattern for a sub-function type; empty for a type the list cannot show.
std::string PatternForType(const std::string& type);

// The type marker of an INI file (section RQTYPE, key RQ), "NONE" when missing.
std::string IniTypeMarker(const std::string& fileName);

void ResetCatalogueGlobals();

}  // namespace posbench
