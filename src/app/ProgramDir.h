#pragma once
// The program directory: where Startup.ini, SUPrinters.ini, the command tables and the sample
// scripts live. It is the --dir option when given, else $POSBENCH_HOME, else
// $XDG_CONFIG_HOME/posbench, else ~/.config/posbench. On every start it is created when missing
// and any sample file it lacks is copied in, so a fresh installation has something to run and a
// file the user changed is never overwritten.
#include <string>
#include <vector>

namespace posbench {

// The directory chosen by the rules above (not created). Empty when none can be formed (no
// option, no variables and no HOME).
std::string ChooseProgramDir(const std::string& dirOption);

// The first of the candidates that is a directory; empty when none is.
std::string FindSamplesDir(const std::vector<std::string>& candidates);

// Where the samples are looked for: next to the program (DIR/samples), in an installed tree
// (DIR/../share/posbench/samples), then the fallback (the source tree the program was built
// from). exePath is the running program's path.
std::vector<std::string> SampleCandidates(const std::string& exePath, const std::string& fallback);

// The running program's path (/proc/self/exe), else argv0 as given, else empty.
std::string ExecutablePath(const char* argv0);

// Creates dir (and its parents) and copies into it every file of samplesDir, subfolders
// included, that it does not hold yet. samplesDir may be empty (nothing is copied). False with
// the reason in error when the directory cannot be created or a file cannot be copied.
bool PrepareProgramDir(const std::string& dir, const std::string& samplesDir, std::string& error);

// ChooseProgramDir + PrepareProgramDir, then gsProgramDir is set. False with the reason in error.
bool SetUpProgramDir(const std::string& dirOption, const std::string& samplesDir,
                     std::string& error);

}  // namespace posbench
