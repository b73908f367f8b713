#include "base/Ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/PathCase.h"
#include "base/StringOps.h"

namespace posbench {
namespace {

// ---- Reading the file into lines -------------------------------------------------------------

struct Line {
    std::string text;  // without its line end
    std::string eol;   // "\r\n", "\n" or "" (a last line without one)
};

enum class Kind { Blank, Comment, Section, BrokenSection, Key, Other };

struct Parsed {
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
};

bool IsIniBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string TrimIni(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsIniBlank(s[b])) ++b;
    while (e > b && IsIniBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// A line that starts with "[" but has no "]" ends the section before it without opening one:
// keys after a broken header are never taken for keys of the section above it.
Parsed Classify(const std::string& text) {
    Parsed p;
    std::string t = TrimIni(text);
    if (t.empty()) {
        p.kind = Kind::Blank;
    } else if (t.front() == ';') {
        p.kind = Kind::Comment;
    } else if (t.front() == '[') {
        std::size_t close = t.find(']');
        if (close == std::string::npos) {
            p.kind = Kind::BrokenSection;
        } else {
            p.kind = Kind::Section;
            p.name = TrimIni(std::string_view(t).substr(1, close - 1));
        }
    } else if (std::size_t eq = t.find('='); eq != std::string::npos) {
        p.name = TrimIni(std::string_view(t).substr(0, eq));
        p.value = TrimIni(std::string_view(t).substr(eq + 1));
        p.kind = p.name.empty() ? Kind::Other : Kind::Key;
    }
    return p;
}

bool EndsSection(Kind k) { return k == Kind::Section || k == Kind::BrokenSection; }

std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t nl = bytes.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        const bool crlf = nl > start && bytes[nl - 1] == '\r';
        const std::size_t end = crlf ? nl - 1 : nl;
        lines.push_back({bytes.substr(start, end - start), crlf ? "\r\n" : "\n"});
        start = nl + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& l : lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

// The line end new lines get: the file's own (that of its first ended line), LF for a new file.
std::string FileEol(const std::vector<Line>& lines) {
    for (const Line& l : lines)
        if (!l.eol.empty()) return l.eol;
    return "\n";
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWhole(const std::string& path, std::string& bytes) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    if (!S_ISREG(st.st_mode)) return ReadResult::Failed;
    std::ifstream in(path, std::ios::binary);
    if (!in) return ReadResult::Failed;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return ReadResult::Failed;
    bytes = s.str();
    return ReadResult::Ok;
}

// ---- Locating a section ------------------------------------------------------------------------

struct SectionSpan {
    std::size_t header;  // index of the header line
    std::size_t end;     // one past the last line of its body
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, const std::string& section,
                                       std::vector<Parsed>& parsed) {
    parsed.clear();
    parsed.reserve(lines.size());
    for (const Line& l : lines) parsed.push_back(Classify(l.text));
    std::string wanted = TrimIni(section);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (parsed[i].kind != Kind::Section || !EqualsNoCase(parsed[i].name, wanted)) continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !EndsSection(parsed[end].kind)) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

// Where a new key of the section goes: after its last line that is not blank, so that blank
// lines separating it from the next section stay where they are.
std::size_t InsertionPoint(const SectionSpan& span, const std::vector<Parsed>& parsed) {
    std::size_t at = span.header + 1;
    for (std::size_t i = span.header + 1; i < span.end; ++i)
        if (parsed[i].kind != Kind::Blank) at = i + 1;
    return at;
}

// Inserts new lines before index at, giving the line before them a line end if it lacks one.
void InsertLines(std::vector<Line>& lines, std::size_t at, const std::vector<std::string>& texts,
                 const std::string& eol) {
    if (at > 0 && lines[at - 1].eol.empty()) lines[at - 1].eol = eol;
    std::vector<Line> added;
    for (const std::string& t : texts) added.push_back({t, eol});
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
}

// ---- Validating what is written ----------------------------------------------------------------

// Line breaks or NULs in a name or value would split the line and corrupt the file.
bool HasLineBreak(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

bool ValidSectionName(const std::string& section) {
    std::string t = TrimIni(section);
    return !t.empty() && !HasLineBreak(section) && t.find(']') == std::string::npos;
}

bool ValidKeyName(const std::string& key) {
    std::string t = TrimIni(key);
    return !t.empty() && !HasLineBreak(key) && t.find('=') == std::string::npos &&
           t.front() != '[' && t.front() != ';';
}

bool ValidKeyLine(const std::string& line) {
    std::size_t eq = line.find('=');
    return eq != std::string::npos && ValidKeyName(line.substr(0, eq)) && !HasLineBreak(line);
}

// ---- Replacing the file ------------------------------------------------------------------------

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A symbolic link is followed, so that the file it points to is the one replaced.
std::string WriteTarget(const std::string& path) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

// The whole new content is written to a temporary file beside the target, flushed to the disk
// and renamed over it, so that a reader or a crash sees either the old file or the new one.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    const std::string target = WriteTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    struct stat original{};
    const bool existed = ::stat(target.c_str(), &original) == 0;

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = (dir == "/" ? std::string("/") : dir + "/") + "." + base + "." +
               std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        // Created with the usual mode so that a new file gets the user's umask.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAll(fd, bytes);
    if (ok && existed) ok = ::fchmod(fd, original.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);  // the rename itself reaches the disk; a failure here loses nothing
        ::close(dfd);
    }
    return true;
}

// Reads the file for a change: a missing file is an empty one, an unreadable one stops the
// write so that it is never replaced by a file made from nothing.
bool LoadForWrite(const std::string& file, std::string& path, std::vector<Line>& lines) {
    path = ResolveParentNoCase(file);
    std::string bytes;
    switch (ReadWhole(path, bytes)) {
    case ReadResult::Ok: lines = SplitLines(bytes); return true;
    case ReadResult::Missing: lines.clear(); return true;
    case ReadResult::Failed: return false;
    }
    return false;
}

std::string StripQuotes(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file) {
    std::string result = defaultValue;
    std::string bytes;
    if (ReadWhole(ResolvePathNoCase(file), bytes) == ReadResult::Ok) {
        std::vector<Line> lines = SplitLines(bytes);
        std::vector<Parsed> parsed;
        if (auto span = FindSection(lines, section, parsed)) {
            std::string wanted = TrimIni(key);
            for (std::size_t i = span->header + 1; i < span->end; ++i) {
                if (parsed[i].kind != Kind::Key || !EqualsNoCase(parsed[i].name, wanted)) continue;
                result = StripQuotes(parsed[i].value);
                break;
            }
        }
    }
    // The value is held in a C string buffer: it ends at a NUL and at its 149th character.
    if (std::size_t nul = result.find('\0'); nul != std::string::npos) result.resize(nul);
    if (result.size() > kIniValueMax) result.resize(kIniValueMax);
    return result;
}

std::vector<std::string> GetPrivateProfileKeys(const std::string& section, const std::string& file) {
    std::vector<std::string> keys;
    std::string bytes;
    if (ReadWhole(ResolvePathNoCase(file), bytes) != ReadResult::Ok) return keys;
    std::vector<Line> lines = SplitLines(bytes);
    std::vector<Parsed> parsed;
    if (auto span = FindSection(lines, section, parsed)) {
        for (std::size_t i = span->header + 1; i < span->end; ++i)
            if (parsed[i].kind == Kind::Key) keys.push_back(parsed[i].name);
    }
    return keys;
}

bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::optional<std::string>& value, const std::string& file) {
    if (!ValidSectionName(section) || !ValidKeyName(key) || (value && HasLineBreak(*value)))
        return false;
    std::string path;
    std::vector<Line> lines;
    if (!LoadForWrite(file, path, lines)) return false;
    const std::string eol = FileEol(lines);
    const std::string keyLine = value ? TrimIni(key) + "=" + *value : std::string();

    std::vector<Parsed> parsed;
    std::optional<SectionSpan> span = FindSection(lines, section, parsed);
    if (!span) {
        if (!value) return true;  // nothing to remove
        InsertLines(lines, lines.size(), {"[" + TrimIni(section) + "]", keyLine}, eol);
        return ReplaceFile(path, JoinLines(lines));
    }
    std::string wanted = TrimIni(key);
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        if (parsed[i].kind != Kind::Key || !EqualsNoCase(parsed[i].name, wanted)) continue;
        if (value) lines[i].text = keyLine;
        else lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        return ReplaceFile(path, JoinLines(lines));
    }
    if (!value) return true;
    InsertLines(lines, InsertionPoint(*span, parsed), {keyLine}, eol);
    return ReplaceFile(path, JoinLines(lines));
}

bool WritePrivateProfileSection(const std::string& section, const std::vector<std::string>& keyLines,
                                const std::string& file) {
    if (!ValidSectionName(section)) return false;
    for (const std::string& l : keyLines)
        if (!ValidKeyLine(l)) return false;
    std::string path;
    std::vector<Line> lines;
    if (!LoadForWrite(file, path, lines)) return false;
    const std::string eol = FileEol(lines);

    std::vector<Parsed> parsed;
    std::optional<SectionSpan> span = FindSection(lines, section, parsed);
    if (!span) {
        std::vector<std::string> added{"[" + TrimIni(section) + "]"};
        added.insert(added.end(), keyLines.begin(), keyLines.end());
        InsertLines(lines, lines.size(), added, eol);
        return ReplaceFile(path, JoinLines(lines));
    }
    // The old keys go; comments and other lines of the section stay. The new keys take the
    // place of the first old one, or follow the section's last line when it had none.
    std::size_t at = InsertionPoint(*span, parsed);
    for (std::size_t i = span->header + 1; i < span->end; ++i) {
        if (parsed[i].kind == Kind::Key) {
            at = i;
            break;
        }
    }
    std::vector<Line> kept;
    kept.reserve(lines.size() + keyLines.size());
    auto place = [&] {
        if (keyLines.empty()) return;
        if (!kept.empty() && kept.back().eol.empty()) kept.back().eol = eol;
        for (const std::string& t : keyLines) kept.push_back({t, eol});
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i == at) place();
        if (i > span->header && i < span->end && parsed[i].kind == Kind::Key) continue;
        kept.push_back(lines[i]);
    }
    if (at >= lines.size()) place();
    return ReplaceFile(path, JoinLines(kept));
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    return ReplaceFile(path, bytes);
}

}  // namespace posbench
