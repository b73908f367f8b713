#pragma once
// Data lines: the text of a script line or a typed command turned into the bytes sent to a
// printer, and lines split into blank-separated parameters. Every procedure answers ok/not ok
// and leaves its output in gsResult; a failure leaves its reason in gsTextErr for the caller to
// show. Byte strings carry one byte (0..255) per char.
#include <cstdint>
#include <string>

namespace posbench {

// Output of the last GetParameter, ProcessData, ProcessMixedLine, ConvertHexPairs (and of
// StripComment for a line that starts with a quoted part). Emptied when a conversion fails.
extern std::string gsResult;
// Reason of the last failure. ConvertHexPairs clears it when it starts; the others only set it.
extern std::string gsTextErr;

void ResetTextGlobals();

// The index-th (from 1) delimiter-separated parameter of line, or everything from it to the end
// of the line when toEnd is set; "" when there is none. A parameter that starts with a double
// quote runs to the closing quote, keeping its blanks and its quotes. Runs of delimiters count
// as one separator.
bool GetParameter(int16_t index, const std::string& delimiter, bool toEnd,
                  const std::string& line);

// Leading blanks removed; a line of blanks only is left as it is.
bool TrimLeadingSpaces(std::string& line);

// Cuts the comment ("'" to the end of the line) and trailing characters with codes 0..32.
// When isText is false and the line starts with a quoted part ("..."), the line stays whole
// and gsResult receives that quoted part.
bool StripComment(bool isText, std::string& line);

// Text with bracketed hex groups ("Total[1B 21 08]ABC") to bytes, with a line feed appended
// unless the line ends with "[NP]".
bool ProcessMixedLine(const std::string& line);

// A data line: quoted text (converted as a mixed line) or blank-separated hex tokens.
bool ProcessData(const std::string& line);

// Blank-separated hex tokens of one or two characters each ("1b 4" gives 1B 04).
bool ConvertHexPairs(const std::string& text);

// The byte of a hex token (its first and last characters, upper-case digits only); 0 with
// "Invalid hex character" in gsTextErr when either is not a hex digit.
uint8_t HexCharToByte(const std::string& text);

}  // namespace posbench
