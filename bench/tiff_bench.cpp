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

#include "folio.h"
#include "generate.h"

namespace {

const int kFiles = 100;

struct Set {
    const char *label;
    const char *prefix;
    int width, height;
    bool fax;
    double pixel_bytes;  // bytes of pixel data per image
};

const Set kSets[] = {
    {"uncompressed RGB 1000x800, decoded", "rgb", 1000, 800, false, 1000.0 * 800 * 3},
    {"Group 4 2480x3508, passed through", "fax", 2480, 3508, true, 2480.0 * 3508 / 8},
};

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
    int status = 0;
    for (const Set &set : kSets) {
        std::vector<std::string> files;
        long input = 0;
        for (int i = 0; i < kFiles; i++) {
            std::string path = folder + "/" + set.prefix + std::to_string(i) + ".tif";
            if (set.fax)
                bench::WriteFaxTiff(path, set.width, set.height, static_cast<unsigned>(i));
            else
                bench::WriteRawTiff(path, set.width, set.height, static_cast<unsigned>(i));
            files.push_back(path);
            input += FileSize(path);
        }
        std::string pdf = folder + "/" + set.prefix + ".pdf";
        double seconds = Bind(files, pdf, level);
        if (seconds <= 0) {
            status = 1;
            continue;
        }
        double pixels = set.pixel_bytes * kFiles;
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
