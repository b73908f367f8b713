// INI files: arbitrary file bytes read, written and rewritten. A key written reads back as
// written, a removed key is gone, a replaced section holds exactly its new keys, and another
// section keeps its keys and values through every write.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "base/Ini.h"
#include "base/StringOps.h"

using namespace posbench;

namespace {

bool Printable(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c >= 0x7F) return false;
    return true;
}
bool Trimmed(const std::string& s) {
    return !s.empty() && s.front() != ' ' && s.back() != ' ';
}
// Names and values that the file format can hold unchanged.
bool PlainName(const std::string& s) {
    return Trimmed(s) && Printable(s) && s.find_first_of("[]=;\"") == std::string::npos;
}
// A value read loses one pair of enclosing quotes ('...' as well as "...").
bool PlainValue(const std::string& s) {
    const bool quoted = s.size() >= 2 && (s.front() == '\'' || s.front() == '"') && s.back() == s.front();
    return s.size() <= kIniValueMax && Printable(s) && !quoted && (s.empty() || Trimmed(s));
}

using Pairs = std::vector<std::pair<std::string, std::string>>;
Pairs SectionOf(const std::string& section, const std::string& file) {
    Pairs pairs;
    for (const auto& key : GetPrivateProfileKeys(section, file))
        pairs.emplace_back(key, GetPrivateProfileString(section, key, "\x01", file));
    return pairs;
}

void Fail(int line) {
    std::fprintf(stderr, "INI invariant broken at fuzz_ini.cpp:%d\n", line);
    std::abort();
}
#define Check(ok) ((ok) ? (void)0 : Fail(__LINE__))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    fuzz::FreshRun();
    const std::string section = in.ConsumeRandomLengthString(16);
    const std::string other = in.ConsumeRandomLengthString(16);
    const std::string key = in.ConsumeRandomLengthString(16);
    const std::string value = in.ConsumeRandomLengthString(200);
    std::vector<std::string> lines;
    for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n)
        lines.push_back(in.ConsumeRandomLengthString(40));
    const std::string file = fuzz::WriteScratch("fuzz.ini", in.ConsumeRemainingBytesAsString());

    (void)GetPrivateProfileString(section, key, "default", file);
    (void)GetPrivateProfileKeys(section, file);
    const bool distinct = !EqualsNoCase(Trim(section), Trim(other));
    const Pairs otherBefore = SectionOf(other, file);

    // Names the format cannot hold may be refused; plain ones never are.
    const bool plain = PlainName(section) && PlainName(key);
    const bool wrote = WritePrivateProfileString(section, key, value, file);
    if (plain && PlainValue(value)) {
        Check(wrote);
        Check(GetPrivateProfileString(section, key, "\x01", file) == value);
    }
    if (distinct && PlainName(section) && PlainName(other)) Check(SectionOf(other, file) == otherBefore);

    const bool removed = WritePrivateProfileString(section, key, std::nullopt, file);
    if (plain) Check(removed);
    if (plain)
        Check(GetPrivateProfileString(section, key, "\x01", file) == "\x01");

    const bool replaced = WritePrivateProfileSection(section, lines, file);
    bool plainLines = PlainName(section);
    std::vector<std::string> keys;
    for (const auto& l : lines) {
        const auto eq = l.find('=');
        plainLines = plainLines && eq != std::string::npos && PlainName(l.substr(0, eq)) &&
                     PlainValue(l.substr(eq + 1));
        if (eq != std::string::npos) keys.push_back(l.substr(0, eq));
    }
    if (plainLines) {
        Check(replaced);
        const std::vector<std::string> after = GetPrivateProfileKeys(section, file);
        Check(after == keys);
    }
    if (distinct && PlainName(section) && PlainName(other)) Check(SectionOf(other, file) == otherBefore);
    return 0;
}
