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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bind_files.h"
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
            input += bench::FileSize(path);
        }
        std::string pdf = folder + "/" + set.prefix + ".pdf";
        double seconds = bench::BindFiles(files, "tiff", pdf, level);
        double pixels = set.pixel_bytes * kFiles;
        std::printf("%-36s %3d files  %8.1f MB in  %8.1f MB out  %7.3f s  "
                    "%8.1f MB/s input  %8.1f MB/s pixels\n",
                    set.label, kFiles, input / 1e6, bench::FileSize(pdf) / 1e6, seconds,
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
    return 0;
}
