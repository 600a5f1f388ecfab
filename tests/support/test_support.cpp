// Temporary folders, shell commands, files, the structure checkers and the
// normalisation of documents for byte comparison. The raster helpers are in
// raster.cpp.
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {

TempDir::TempDir()
{
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/bindwick-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder from " << pattern;
        return;
    }
    path_ = name.data();
}

TempDir::~TempDir()
{
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

CommandResult RunCommand(const std::string &command)
{
    CommandResult result;
    // The subshell lets `command` be a list or a pipeline and still have
    // both of its output streams collected.
    std::string line = "(" + command + ") 2>&1";
    FILE *pipe = popen(line.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, count);
    int status = pclose(pipe);
    if (status == -1)
        result.status = -1;
    else if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);  // as the shell reports it
    return result;
}

std::string ShellQuote(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += "'";
    return quoted;
}

// A file that cannot be read fails the current test and reads as empty.
std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return std::string();
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A file that cannot be written fails the current test.
void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        ADD_FAILURE() << "cannot write " << path;
}

std::string Deflate(const std::string &data)
{
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef *>(&out[0]), &size,
                 reinterpret_cast<const Bytef *>(data.data()), data.size()) != Z_OK)
        ADD_FAILURE() << "cannot deflate " << data.size() << " bytes";
    out.resize(size);
    return out;
}

std::map<std::string, std::string> FolderSnapshot(const std::string &folder)
{
    std::map<std::string, std::string> files;
    for (const auto &item : std::filesystem::directory_iterator(folder))
        files[item.path().filename().string()] = ReadFile(item.path().string());
    return files;
}

long long OpenFileSizeUnder(int pid, const std::string &folder)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    long long largest = -1;
    std::error_code error;
    for (const auto &item : std::filesystem::directory_iterator(fds, error)) {
        const std::string link = item.path().string();
        char target[4096];
        const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        if (std::string(target, static_cast<size_t>(length)).rfind(folder + "/", 0) != 0)
            continue;
        struct stat info;
        if (stat(link.c_str(), &info) == 0 && info.st_size > largest)
            largest = info.st_size;
    }
    return largest;
}

bool WaitForOpenFileGrowth(int pid, const std::string &folder, long long bytes)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < deadline) {
        if (OpenFileSizeUnder(pid, folder) > bytes)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

int StartProcess(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

bool QpdfCheck(const std::string &pdf_path, std::string *report)
{
    CommandResult result = RunCommand("qpdf --check " + ShellQuote(pdf_path));
    if (report)
        *report = result.output;
    // qpdf exits with 3 for warnings and 2 for errors; a file it could not
    // read at all exits with 2 as well. The sentence makes sure it actually
    // checked the streams rather than stopping early.
    return result.status == 0 &&
           result.output.find("No syntax or stream encoding errors found") !=
               std::string::npos &&
           result.output.find("WARNING") == std::string::npos;
}

namespace {

std::string Trim(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        begin++;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        end--;
    return text.substr(begin, end - begin);
}

// "Page    3 size" -> "size" when the page number is `page`; other lines
// come back unchanged.
std::string StripPagePrefix(const std::string &key, int page)
{
    if (key.compare(0, 4, "Page") != 0)
        return key;
    size_t at = 4;
    size_t digits_begin;
    while (at < key.size() && key[at] == ' ')
        at++;
    digits_begin = at;
    while (at < key.size() && std::isdigit(static_cast<unsigned char>(key[at])))
        at++;
    if (at == digits_begin || at >= key.size() || key[at] != ' ')
        return key;
    if (std::atoi(key.c_str() + digits_begin) != page)
        return key;
    std::string field = key.substr(at + 1);
    // "Page size" keeps its word "Page"; the boxes lose it.
    return field == "size" || field == "rot" ? "Page " + field : field;
}

}  // namespace

std::string PdfInfoField(const std::string &pdf_path, const std::string &field,
                         int page)
{
    std::string command = "pdfinfo";
    if (page > 0)
        command += " -box -f " + std::to_string(page) + " -l " + std::to_string(page);
    command += " " + ShellQuote(pdf_path);
    CommandResult result = RunCommand(command);
    if (result.status != 0) {
        ADD_FAILURE() << "pdfinfo failed on " << pdf_path << ":\n" << result.output;
        return std::string();
    }
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = line.substr(0, colon);
        if (page > 0)
            key = StripPagePrefix(key, page);
        if (key == field)
            return Trim(line.substr(colon + 1));
    }
    return std::string();
}

namespace {

// Overwrites the run of at most `count` characters at `at` that satisfy
// `keep` with `fill`; returns the position after the run.
template <typename Predicate>
size_t Blank(std::string &bytes, size_t at, size_t count, Predicate keep, char fill)
{
    size_t end = at;
    while (end < bytes.size() && end - at < count &&
           keep(static_cast<unsigned char>(bytes[end])))
        bytes[end++] = fill;
    return end;
}

bool IsPdfSpace(unsigned char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0';
}

size_t SkipSpace(const std::string &bytes, size_t at)
{
    while (at < bytes.size() && IsPdfSpace(static_cast<unsigned char>(bytes[at])))
        at++;
    return at;
}

}  // namespace

std::string NormalizePdf(std::string bytes)
{
    auto is_digit = [](unsigned char c) { return std::isdigit(c) != 0; };
    auto is_hex = [](unsigned char c) { return std::isxdigit(c) != 0; };

    static const std::string date_key = "/CreationDate (D:";
    for (size_t at = bytes.find(date_key); at != std::string::npos;
         at = bytes.find(date_key, at)) {
        at = Blank(bytes, at + date_key.size(), 14, is_digit, '0');
    }

    // /ID[<hex><hex>], tolerating white space between the tokens.
    static const std::string id_key = "/ID";
    for (size_t at = bytes.find(id_key); at != std::string::npos;
         at = bytes.find(id_key, at)) {
        at = SkipSpace(bytes, at + id_key.size());
        if (at >= bytes.size() || bytes[at] != '[')
            continue;
        for (int string = 0; string < 2; string++) {
            at = SkipSpace(bytes, at + (string == 0 ? 1 : 0));
            if (at >= bytes.size() || bytes[at] != '<')
                break;
            at = Blank(bytes, at + 1, std::string::npos, is_hex, '0');
            if (at >= bytes.size() || bytes[at] != '>')
                break;
            at++;
        }
    }
    return bytes;
}

std::string GoldenDir()
{
    return BINDWICK_GOLDEN_DIR;
}

}  // namespace testsupport
