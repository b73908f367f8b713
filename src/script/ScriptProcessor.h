#pragma once
// The script file processor: reads a sectioned script on one port, turns each line into the
// action of its section and hands every step that needs the device to the transfer state
// machine through the port's request fields. It never waits for the device: after a line that
// queues a write, a read, a delay or a download step it returns, and the state machine calls it
// again for the same port when that step is finished.
#include <cstdint>
#include <string>

namespace posbench {

// Section codes selected by the four-character header prefixes.
namespace section {
inline constexpr int16_t None = 0;
inline constexpr int16_t Hex = 1;
inline constexpr int16_t Text = 2;
inline constexpr int16_t Logo = 4;
inline constexpr int16_t Bitmap = 5;
inline constexpr int16_t Binary = 6;
inline constexpr int16_t Expect = 7;
inline constexpr int16_t Status = 8;
inline constexpr int16_t Delay = 9;
inline constexpr int16_t Wait = 10;
inline constexpr int16_t Chain = 11;
inline constexpr int16_t Boot = 12;
inline constexpr int16_t Flash = 13;
inline constexpr int16_t Utility = 20;
inline constexpr int16_t Message = 21;
inline constexpr int16_t Port = 23;
inline constexpr int16_t Beep = 31;
inline constexpr int16_t Reset = 32;
inline constexpr int16_t ImageBank = 33;
inline constexpr int16_t Prog = 34;
inline constexpr int16_t Tiff = 35;
}  // namespace section

// The code of a header line ("[HEX]", "[hexadecimal]"): its first four characters upper-cased;
// 0 when they name no section.
int16_t SectionCode(const std::string& headerLine);

// Opens fileName when the port has no script open (otherwise goes on in the open one) and
// processes lines until one needs the device or the file ends. stopRequested goes straight to
// the end-of-file handling: the files are closed and the port ends as cancelled.
void RunTextFile(int16_t port, bool stopRequested, const std::string& fileName);

// The guarded start used by the configuration flow: refuses a port that is not defined, busy
// or OFF; true when the script started and has not stopped yet.
bool ProcessTextFile(int16_t port, const std::string& fileName);

// The handles of scripts that chained to another one ([CON]), at most five deep.
void PutFileNumber(int16_t port, int16_t fileNum);
int16_t GetFileNumber(int16_t port);

// The system beep sounded by every line of a [BEE] section (the terminal bell by default);
// nullptr restores the default.
void SetBeepHook(void (*beep)());

// Restores the default beep.
void ResetScriptProcessorGlobals();

}  // namespace posbench
