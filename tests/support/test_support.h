// Helpers shared by the tests: temporary folders, running the independent
// checkers (qpdf, pdfinfo, mutool, pdftoppm) and reading their results.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object is destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int status = -1;      // exit status, or -1 when the command could not run
    std::string output;   // standard output and standard error together
};

// Runs a shell command and collects its output.
CommandResult RunCommand(const std::string &command);
// Quotes a text for the shell.
std::string ShellQuote(const std::string &text);

std::string ReadFile(const std::string &path);
void WriteFile(const std::string &path, const std::string &bytes);
// `data` as a zlib stream at zlib's default level.
std::string Deflate(const std::string &data);

// Every file directly in `folder` with its bytes, by name.
std::map<std::string, std::string> FolderSnapshot(const std::string &folder);

// The size of the largest file under `folder` that process `pid` holds
// open, named or not (an unnamed file shows as "folder/#123 (deleted)");
// -1 when it holds none there.
long long OpenFileSizeUnder(int pid, const std::string &folder);

// Waits until process `pid` holds a file open under `folder` that has grown
// past `bytes`. False when that did not happen within a minute.
bool WaitForOpenFileGrowth(int pid, const std::string &folder, long long bytes);

// Starts `argv` (argv[0] a path) with its output streams closed; returns
// its process id, -1 when it could not be started.
int StartProcess(const std::vector<std::string> &argv);

// `qpdf --check`: true when qpdf finds no error and no warning; `report`
// receives qpdf's output.
bool QpdfCheck(const std::string &pdf_path, std::string *report = nullptr);

// Fields of `pdfinfo`: "Pages", "Title", "Page size" ...; with a page number,
// the per-page fields of that page ("Page    1 size" becomes "Page size",
// "Page    1 MediaBox" becomes "MediaBox").
std::string PdfInfoField(const std::string &pdf_path, const std::string &field,
                         int page = 0);

// An RGB raster, 3 bytes per pixel, rows top to bottom.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint8_t at(int x, int y, int channel) const {
        return rgb[(static_cast<size_t>(y) * width + x) * 3 + channel];
    }
};

// Reads an 8-bit gray, RGB or RGBA PNG (alpha dropped, gray expanded).
Raster ReadPng(const std::string &path);
// Renders page `page` (from 1) at 72 dpi with mutool.
Raster RenderMutool(const std::string &pdf_path, int page);
// Renders page `page` at 288 dpi with pdftoppm and keeps every 4th pixel in
// each direction, so one point is one pixel without poppler's smoothing.
Raster RenderPoppler(const std::string &pdf_path, int page);
// Largest difference of any channel; sizes must agree (else 256).
int MaxDifference(const Raster &a, const Raster &b);

// Replaces the date of /CreationDate and the hex digits of /ID with fixed
// characters of the same length, so documents compare byte for byte.
std::string NormalizePdf(std::string bytes);

// Folder holding golden files (tests/golden in the source tree).
std::string GoldenDir();

}  // namespace testsupport
