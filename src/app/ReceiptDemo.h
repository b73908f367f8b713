#pragma once
// The receipt demo: a demo file (type marker DEMO) lays out headings and function buttons on the
// receipt panel of the main window, and each button sends one script to the selected port as if
// the user had chosen the file and pressed Send.
//
//   [RQTYPE]  RQ=DEMO
//   [Section] SName=S
//   [S]       NumHeadings=h,heading1,...      heading=caption,left,top,keyID
//             keyID=b,button1,...             button=caption,left,top,script file
//
// Left and top are pixels of the receipt panel (kDemoPanelWidth x kDemoPanelHeight); script
// files are resolved against the program directory when pressed. Widget-free: the panel binds
// IReceiptDemoView.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace posbench {

inline constexpr int kDemoPanelWidth = 640;
inline constexpr int kDemoPanelHeight = 400;
// As many as the panel can show legibly.
inline constexpr int16_t kMaxDemoHeadings = 12;
inline constexpr int16_t kMaxDemoButtons = 60;

class IReceiptDemoView {
public:
    virtual ~IReceiptDemoView() = default;
    // Removes every heading and button of the previous demo.
    virtual void ClearDemo() = 0;
    virtual void AddHeading(int16_t index, const std::string& caption, int left, int top) = 0;
    virtual void AddButton(int16_t index, const std::string& caption, int left, int top) = 0;
};

class ReceiptDemo {
public:
    // send: put the resolved script into the file-name box and press Send.
    ReceiptDemo(IReceiptDemoView& view, std::function<void(const std::string& file)> send)
        : view_(view), send_(std::move(send)) {}

    // Loads a demo file; loading stops at the first fault with its message, keeping what was
    // placed before it.
    void Load(const std::string& fileName);
    // btnFcns_Click: runs the script of button `index`.
    void btnFcns_Click(int16_t index);

    // ProcessSubSection and ProcessFcnKeys: the headings of section S and the buttons of one
    // heading. False when loading stopped.
    bool ProcessSubSection(const std::string& label, const std::string& headingList,
                           const std::string& fileName);
    bool ProcessFcnKeys(const std::string& section, const std::string& buttonList,
                        const std::string& fileName);

    int16_t HeadingCount() const { return headings_; }
    int16_t ButtonCount() const { return static_cast<int16_t>(scripts_.size()); }
    const std::vector<std::string>& Scripts() const { return scripts_; }

private:
    IReceiptDemoView& view_;
    std::function<void(const std::string&)> send_;
    std::string section_;
    int16_t headings_ = 0;
    std::vector<std::string> scripts_;
    bool capNoticed_ = false;
};

}  // namespace posbench
