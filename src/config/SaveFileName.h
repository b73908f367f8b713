#pragma once
// The logic of the file-name window (frmFileName, "File Selection") that the configuration
// window opens to choose where a report is saved: a typed or chosen name gets ".txt" when it has
// no extension, is completed against the program directory, and an existing file must be
// confirmed ("Replace existing file?"). The old file is not touched here: the report replaces it
// only once the report is complete. Leaving the window any other way than "Exit" saves nothing.
#include <string>

namespace posbench {

class SaveFileName {
public:
    // A folder chosen in the folder list puts its path into the name box; a file chosen in the file list: folder and file name.
    static std::string FileChosen(const std::string& folder, const std::string& file);

    // "Exit" with the text of the name box: true when the window may close with the name in
    // SaveFile(); false keeps it open (an invalid name, or a replacement not confirmed).
    bool btnExit_Click(const std::string& nameBox);
    const std::string& SaveFile() const { return saveFile_; }

private:
    std::string saveFile_;
};

}  // namespace posbench
