#pragma once
// What the main window's logic needs of its widgets. The desktop window binds these to its
// controls; the headless runner and the tests bind them to plain values.
#include <string>

namespace posbench {

class IMainWindowView {
public:
    virtual ~IMainWindowView() = default;

    // Port list (lstPorts): one item per port table entry; -1 when nothing is selected.
    virtual long PortListIndex() const = 0;
    virtual void SetPortListIndex(long index) = 0;
    virtual long PortListCount() const = 0;
    virtual std::string PortListItem(long index) const = 0;  // 0-based
    virtual void ClearPortList() = 0;
    virtual void AddPortListItem(const std::string& text) = 0;

    // Panels: a panel is hidden by moving it off the window, shown when it is anywhere else.
    virtual bool ScriptPanelShown() const = 0;
    virtual bool CommandPanelShown() const = 0;

    // Script panel: the file-name box (txtFile), a full path.
    virtual std::string FileName() const = 0;

    // Command panel: the command box (cboCommand, editable with a drop-down history) and the
    // input-count box (txtInCount).
    virtual std::string CommandText() const = 0;
    virtual long CommandItemCount() const = 0;
    virtual std::string CommandItem(long index) const = 0;  // 0-based
    virtual void AddCommandItem(const std::string& text) = 0;
    virtual std::string InCountText() const = 0;
    virtual void SetInCountText(const std::string& text) = 0;

    // Direct input box (txtInput).
    virtual std::string InputText() const = 0;
    virtual void SetInputText(const std::string& text) = 0;

    // The response box (txtResponse) and the image thumbnail (Image1).
    virtual void SetResponseText(const std::string& text) = 0;
    virtual void HideThumbnail() = 0;
};

}  // namespace posbench
