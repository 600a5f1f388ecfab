// bench_tiff: how fast TIFF files are bound into a document.
//
//   bench_tiff [--keep] [--compress LEVEL] [--dir FOLDER]
//
// Two sets of files are generated with libtiff into FOLDER (default: a new
// folder in $TMPDIR or /tmp, removed afterwards unless --keep):
//   - 100 uncompressed RGB images of 1000 x 800 pixels, which the reader
//     decodes and the library deflates at LEVEL (default 6);
//   - 100 Group 4 fax pages of 2480 x 3508 pixels (A4 at 300 dpi), whose
//     strips pass through unchanged.
// Each set is bound into one document, one image per page, the way the
// application does it, and the time is reported as megabytes of TIFF input
// and of pixel data per second. Generating the files is not timed.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>

#include "folio.h"

namespace {

const int kFiles = 100;

struct Set {
    const char *label;
    uint32_t width, height;
    uint16_t samples, bits, compression, photometric;
};

const Set kSets[] = {
    {"uncompressed RGB 1000x800, decoded", 1000, 800, 3, 8, COMPRESSION_NONE, PHOTOMETRIC_RGB},
    {"Group 4 2480x3508, passed through", 2480, 3508, 1, 1, COMPRESSION_CCITTFAX4,
     PHOTOMETRIC_MINISWHITE},
};

// Fills one row: smooth colour ramps for RGB, text-like blocks of black
// for the fax pages, varied by the file number.
void MakeRow(const Set &set, int file, uint32_t y, std::vector<uint8_t> *row)
{
    row->assign((set.width * set.samples * set.bits + 7) / 8, 0);
    if (set.bits == 8) {
        for (uint32_t x = 0; x < set.width; x++)
            for (int c = 0; c < set.samples; c++)
                (*row)[x * set.samples + c] =
                    static_cast<uint8_t>((x * (c + 1) + y * (3 - c) + file * 7) & 0xFF);
        return;
    }
    // Lines of "words" made of strokes, inside 200-pixel margins.
    if (y < 200 || y > set.height - 200 || (y / 20) % 3 == 2)
        return;
    for (uint32_t x = 200; x < set.width - 200; x++) {
        uint32_t word = (x / 37 + y / 60 * 5 + file) % 7;
        uint32_t stroke = (x + y / 60 + file) % 9;
        bool ink = word != 0 && x % 37 < 31 && (stroke < 2 || (y % 20 < 3 && stroke < 6));
        if (ink)
            (*row)[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    }
}

bool WriteFile(const std::string &path, const Set &set, int file)
{
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    if (tif == nullptr)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, set.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, set.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, set.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, set.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, set.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, set.compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, set.bits == 1 ? set.height : 64u);
    std::vector<uint8_t> row;
    bool ok = true;
    for (uint32_t y = 0; y < set.height && ok; y++) {
        MakeRow(set, file, y, &row);
        ok = TIFFWriteScanline(tif, row.data(), y, 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

long FileSize(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

// Binds the files into `pdf`; returns the seconds taken, or -1.
double Bind(const std::vector<std::string> &files, const std::string &pdf, int level)
{
    auto start = std::chrono::steady_clock::now();
    pdf_document *document = PDF_new();
    if (document == nullptr || PDF_open_file(document, pdf.c_str()) != 1)
        return -1;
    PDF_set_value(document, "compress", static_cast<float>(level));
    for (const std::string &file : files) {
        int image = PDF_open_image_file(document, "tiff", file.c_str(), "", 0);
        if (image < 0) {
            std::fprintf(stderr, "bench_tiff: cannot open %s\n", file.c_str());
            PDF_close(document);
            PDF_delete(document);
            return -1;
        }
        PDF_begin_page(document, PDF_get_value(document, "imagewidth", image),
                       PDF_get_value(document, "imageheight", image));
        PDF_place_image(document, image, 0, 0, 1);
        PDF_close_image(document, image);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char **argv)
{
    bool keep = false;
    int level = 6;
    std::string folder;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (std::strcmp(argv[i], "--compress") == 0 && i + 1 < argc) {
            level = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            folder = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--keep] [--compress LEVEL] [--dir FOLDER]\n",
                         argv[0]);
            return 2;
        }
    }
    bool made_folder = false;
    if (folder.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_tiff-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) {
            std::perror("bench_tiff: mkdtemp");
            return 1;
        }
        folder = name.data();
        made_folder = true;
    }
    TIFFSetWarningHandler(nullptr);

    int status = 0;
    for (const Set &set : kSets) {
        std::vector<std::string> files;
        long input = 0;
        for (int i = 0; i < kFiles; i++) {
            std::string path = folder + "/" + (set.bits == 1 ? "fax" : "rgb") +
                               std::to_string(i) + ".tif";
            if (!WriteFile(path, set, i)) {
                std::fprintf(stderr, "bench_tiff: cannot write %s\n", path.c_str());
                return 1;
            }
            files.push_back(path);
            input += FileSize(path);
        }
        std::string pdf = folder + "/" + (set.bits == 1 ? "fax" : "rgb") + ".pdf";
        double seconds = Bind(files, pdf, level);
        if (seconds <= 0) {
            status = 1;
            continue;
        }
        double pixels = static_cast<double>(set.width) * set.height * set.samples * set.bits /
                        8.0 * kFiles;
        std::printf("%-36s %3d files  %8.1f MB in  %8.1f MB out  %7.3f s  "
                    "%8.1f MB/s input  %8.1f MB/s pixels\n",
                    set.label, kFiles, input / 1e6, FileSize(pdf) / 1e6, seconds,
                    input / 1e6 / seconds, pixels / 1e6 / seconds);
        std::fflush(stdout);
        if (!keep) {
            for (const std::string &file : files)
                unlink(file.c_str());
            unlink(pdf.c_str());
        }
    }
    if (made_folder && !keep)
        rmdir(folder.c_str());
    return status;
}
