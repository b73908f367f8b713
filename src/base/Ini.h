#pragma once
// Private-profile (INI) files with the semantics the system's files were written for: section
// and key names match without regard to case, values are trimmed and lose one pair of
// enclosing quotes, at most 149 characters of a value come back, and a missing file, section
// or key gives the default. Writes keep everything else in the file (other sections, comments,
// order, line ends) and replace the file atomically.
#include <optional>
#include <string>
#include <vector>

namespace posbench {

inline constexpr std::size_t kIniValueMax = 149;  // a 150-character buffer with its terminator

// The value of key in section of file, or defaultValue.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file);

// Set key = value, creating the file and the section as needed. A value of std::nullopt
// removes the key. False when the file cannot be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::optional<std::string>& value, const std::string& file);

// Replace every key of section by the "key=value" lines given (an empty list leaves the section
// header with no keys). False when the file cannot be written.
bool WritePrivateProfileSection(const std::string& section, const std::vector<std::string>& lines,
                                const std::string& file);

// The key names of a section in file order (empty when the file or section is missing).
std::vector<std::string> GetPrivateProfileKeys(const std::string& section, const std::string& file);

// Replaces the file at path (a native path; a symbolic link is followed) with bytes through a
// temporary file beside it, so that the old content stays whole until the new one is complete.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace posbench
