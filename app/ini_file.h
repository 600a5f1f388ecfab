// Reading and writing INI profile files: "[section]" headers and
// "key=value" lines, looked up the way the classic Windows profile
// functions do it.
//
// Lookup rules:
//  - section and key names compare case-insensitively (ASCII letters only);
//    surrounding blanks of names and values are ignored;
//  - the first matching section and, inside it, the first matching key win;
//  - a value enclosed in a matching pair of double or single quotes is
//    returned without them;
//  - lines before the first section header, lines whose first non-blank
//    character is ';' and lines without '=' are never entries.
//
// Writing a key rewrites its line in place, or adds the line at the end of
// its section, or adds the section at the end of the file; every other byte
// of the file, including comments and line endings, stays as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace bindwick {

// The longest value a read returns, in bytes; longer values are cut. This is
// the room a 2048-byte buffer with its terminating zero leaves.
constexpr std::size_t kIniMaxValueLength = 2047;

// The text of one INI file held in memory.
class IniFile {
public:
    IniFile() = default;

    // Parses `text`, the whole content of a file.
    static IniFile Parse(const std::string &text);

    // Reads the file at `path`. A missing file gives an empty document;
    // nullopt means the file is there but cannot be read (a folder, no
    // permission, a read error).
    static std::optional<IniFile> Read(const std::string &path);

    // Like Read, but a file that cannot be read also gives an empty
    // document, the way the profile functions treat it when looking up.
    static IniFile Load(const std::string &path);

    // The value of `key` in `section`, trimmed, unquoted and cut to
    // kIniMaxValueLength bytes; nullopt when the section or the key is
    // absent.
    std::optional<std::string> Get(const std::string &section,
                                   const std::string &key) const;

    // Sets `key` in `section` to `value`, creating the section or the key
    // when missing. Returns false, changing nothing, when a name or the
    // value could not be stored faithfully: an empty or blank-edged name, a
    // line break in any of them, ']' in the section name, '=' in the key or
    // a leading ';' in the key.
    bool Set(const std::string &section, const std::string &key,
             const std::string &value);

    // The document as file content.
    std::string Text() const;

    // Writes the document to `path`, replacing the file. Returns false when
    // the file cannot be created or written completely.
    bool Save(const std::string &path) const;

private:
    struct Line {
        std::string text;  // without the line ending
        std::string eol;   // "\n", "\r\n", "\r" or "" for a last open line
    };

    // Index of the header line of the first section named `section`, or
    // lines_.size() when there is none.
    std::size_t FindSection(const std::string &section) const;
    // Index of the line of `key` in the section whose header is at
    // `header`, or nullopt.
    std::optional<std::size_t> FindKey(std::size_t header,
                                       const std::string &key) const;
    // The line ending used for lines this document adds.
    std::string NewLineEnding() const;

    std::vector<Line> lines_;
};

// Reads one value like GetPrivateProfileStringA: the stored text of
// `section`/`key` in the file at `path`, or `default_value` when the file,
// the section or the key is missing.
std::string ReadProfileString(const std::string &path,
                              const std::string &section,
                              const std::string &key,
                              const std::string &default_value);

// Writes one value like WritePrivateProfileStringA: loads the file (an
// absent file counts as empty), sets the key and writes the file back.
// Returns false when the file exists but cannot be read, cannot be written,
// or when the names or value are not storable (see IniFile::Set).
bool WriteProfileString(const std::string &path, const std::string &section,
                        const std::string &key, const std::string &value);

}  // namespace bindwick
