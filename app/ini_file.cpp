#include "ini_file.h"

#include <cerrno>
#include <cstdio>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace bindwick {

namespace {

const char kBlanks[] = " \t";
const char kUtf8Bom[] = "\xEF\xBB\xBF";

std::string Trim(const std::string &text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return std::string();
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

bool HasLineBreak(const std::string &text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// A name is stored faithfully only when reading it back, after trimming,
// gives the same text.
bool IsStorableName(const std::string &name) {
    return !name.empty() && Trim(name) == name && !HasLineBreak(name);
}

// The section name when `text` (one line, the byte order mark of a file's
// first line already removed) is a section header.
std::optional<std::string> SectionHeaderName(const std::string &text) {
    const std::string line = Trim(text);
    if (line.empty() || line[0] != '[') return std::nullopt;
    const std::size_t close = line.find(']', 1);
    const std::size_t end = (close == std::string::npos) ? line.size() : close;
    return Trim(line.substr(1, end - 1));
}

// The key and raw value when `text` is a "key=value" entry line.
bool SplitEntry(const std::string &text, std::string *key, std::string *value) {
    const std::string line = Trim(text);
    if (line.empty() || line[0] == ';' || line[0] == '[') return false;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    *key = Trim(line.substr(0, equals));
    *value = Trim(line.substr(equals + 1));
    return true;
}

std::string Unquote(const std::string &value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniFile IniFile::Parse(const std::string &text) {
    IniFile file;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        Line line;
        if (end == std::string::npos) {
            line.text = text.substr(start);
            start = text.size();
        } else {
            line.text = text.substr(start, end - start);
            const bool crlf = text[end] == '\r' && end + 1 < text.size() &&
                              text[end + 1] == '\n';
            line.eol = text.substr(end, crlf ? 2 : 1);
            start = end + line.eol.size();
        }
        file.lines_.push_back(std::move(line));
    }
    return file;
}

std::optional<IniFile> IniFile::Read(const std::string &path) {
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (!in) {
        if (errno == ENOENT) return IniFile();
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed) return std::nullopt;
    return Parse(text);
}

IniFile IniFile::Load(const std::string &path) {
    auto file = Read(path);
    return file ? std::move(*file) : IniFile();
}

std::size_t IniFile::FindSection(const std::string &section) const {
    const std::string wanted = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string text = lines_[i].text;
        if (i == 0 && text.compare(0, 3, kUtf8Bom) == 0) text.erase(0, 3);
        const auto name = SectionHeaderName(text);
        if (name && EqualNoCase(*name, wanted)) return i;
    }
    return lines_.size();
}

std::optional<std::size_t> IniFile::FindKey(std::size_t header,
                                            const std::string &key) const {
    const std::string wanted = Trim(key);
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (SectionHeaderName(lines_[i].text)) break;
        std::string name, value;
        if (SplitEntry(lines_[i].text, &name, &value) &&
            EqualNoCase(name, wanted)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::Get(const std::string &section,
                                        const std::string &key) const {
    const std::size_t header = FindSection(section);
    if (header == lines_.size()) return std::nullopt;
    const auto index = FindKey(header, key);
    if (!index) return std::nullopt;
    std::string name, value;
    SplitEntry(lines_[*index].text, &name, &value);
    value = Unquote(value);
    if (value.size() > kIniMaxValueLength) value.resize(kIniMaxValueLength);
    return value;
}

std::string IniFile::NewLineEnding() const {
    for (const Line &line : lines_) {
        if (!line.eol.empty()) return line.eol;
    }
    return "\n";
}

bool IniFile::Set(const std::string &section, const std::string &key,
                  const std::string &value) {
    if (!IsStorableName(section) || section.find(']') != std::string::npos ||
        !IsStorableName(key) || key.find('=') != std::string::npos ||
        key[0] == ';' || key[0] == '[' || HasLineBreak(value)) {
        return false;
    }
    const std::string entry = key + "=" + value;
    const std::string eol = NewLineEnding();

    const std::size_t header = FindSection(section);
    if (header == lines_.size()) {
        if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = eol;
        lines_.push_back({"[" + section + "]", eol});
        lines_.push_back({entry, eol});
        return true;
    }
    if (const auto index = FindKey(header, key)) {
        lines_[*index].text = entry;
        return true;
    }
    // A new key goes after the section's last non-blank line, so blank lines
    // that separate it from the next section stay where they are.
    std::size_t last = header;
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (SectionHeaderName(lines_[i].text)) break;
        if (!Trim(lines_[i].text).empty()) last = i;
    }
    if (lines_[last].eol.empty()) lines_[last].eol = eol;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                  Line{entry, eol});
    return true;
}

std::string IniFile::Text() const {
    std::string text;
    for (const Line &line : lines_) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

bool IniFile::Save(const std::string &path) const {
    const std::string text = Text();
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = std::fflush(out) == 0 && ok;
#ifndef _WIN32
    // The settings file may be written once and read at the next start;
    // make sure it reaches the disk.
    ok = ::fsync(::fileno(out)) == 0 && ok;
#endif
    ok = std::fclose(out) == 0 && ok;
    return ok;
}

std::string ReadProfileString(const std::string &path,
                              const std::string &section,
                              const std::string &key,
                              const std::string &default_value) {
    const auto value = IniFile::Load(path).Get(section, key);
    return value ? *value : default_value;
}

bool WriteProfileString(const std::string &path, const std::string &section,
                        const std::string &key, const std::string &value) {
    // A file that exists but cannot be read is left alone: rewriting it from
    // an empty document would destroy its other entries.
    auto file = IniFile::Read(path);
    return file && file->Set(section, key, value) && file->Save(path);
}

}  // namespace bindwick
