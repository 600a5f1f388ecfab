// bench_png: how fast PNG files are bound into a PDF on both roads of the
// PNG reader.
//
//   bench_png [--keep] [--level N] [RGB_COUNT [RGBA_COUNT]]
//
// Makes RGB_COUNT (default 100) non-interlaced 8-bit RGB PNGs and RGBA_COUNT
// (default 50) 8-bit RGBA PNGs of 1200 x 900 pixels in a temporary folder,
// then binds each set into one PDF, one image per page, as the application
// does. The RGB files pass through (their IDAT data are copied); the RGBA
// files are decoded and their rows deflated at compression level N (default
// 6). For each set it prints the PNG bytes read per second and the pixels
// per second. The folder is removed afterwards unless --keep is given.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bind_files.h"
#include "generate.h"

namespace {

const int kWidth = 1200;
const int kHeight = 900;



void Report(const char *label, const std::vector<std::string> &files, double seconds,
            const std::string &output)
{
    double input = 0;
    for (const std::string &file : files)
        input += bench::FileSize(file);
    double megapixels = static_cast<double>(files.size()) * kWidth * kHeight / 1e6;
    std::printf("%-26s %4zu files  %8.1f MB in  %8.1f MB out  %7.3f s  %8.1f MB/s  %7.1f Mpixel/s\n",
                label, files.size(), input / 1e6, bench::FileSize(output) / 1e6, seconds,
                seconds > 0 ? input / 1e6 / seconds : 0.0,
                seconds > 0 ? megapixels / seconds : 0.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char **argv)
{
    bool keep = false;
    int level = 6;
    std::vector<long> counts;
    for (int i = 1; i < argc; i++) {
        char *end = nullptr;
        if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
            level = static_cast<int>(std::strtol(argv[++i], &end, 10));
            if (*end != '\0' || level < 0 || level > 9) {
                std::fprintf(stderr, "bench_png: level must be 0 to 9\n");
                return 2;
            }
        } else {
            long count = std::strtol(argv[i], &end, 10);
            if (*end != '\0' || count <= 0 || counts.size() == 2) {
                std::fprintf(stderr, "usage: %s [--keep] [--level N] [RGB_COUNT [RGBA_COUNT]]\n",
                             argv[0]);
                return 2;
            }
            counts.push_back(count);
        }
    }
    long rgb_count = counts.size() > 0 ? counts[0] : 100;
    long rgba_count = counts.size() > 1 ? counts[1] : 50;

    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_png.XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        std::perror("bench_png: mkdtemp");
        return 1;
    }
    std::string folder = buffer.data();

    std::printf("bench_png: making %ld RGB and %ld RGBA PNGs of %d x %d in %s\n", rgb_count,
                rgba_count, kWidth, kHeight, folder.c_str());
    std::fflush(stdout);
    std::vector<std::string> rgb, rgba;
    for (long i = 0; i < rgb_count; i++) {
        rgb.push_back(folder + "/rgb" + std::to_string(i) + ".png");
        bench::WritePng(rgb.back(), kWidth, kHeight, 3, static_cast<unsigned>(i));
    }
    for (long i = 0; i < rgba_count; i++) {
        rgba.push_back(folder + "/rgba" + std::to_string(i) + ".png");
        bench::WritePng(rgba.back(), kWidth, kHeight, 4, static_cast<unsigned>(i));
    }

    std::string rgb_pdf = folder + "/rgb.pdf";
    std::string rgba_pdf = folder + "/rgba.pdf";
    Report("pass-through (RGB)", rgb, bench::BindFiles(rgb, "png", rgb_pdf, level), rgb_pdf);
    std::string label = "decoding (RGBA, level " + std::to_string(level) + ")";
    Report(label.c_str(), rgba, bench::BindFiles(rgba, "png", rgba_pdf, level), rgba_pdf);

    if (keep) {
        std::printf("kept %s\n", folder.c_str());
    } else {
        for (const std::string &file : rgb)
            std::remove(file.c_str());
        for (const std::string &file : rgba)
            std::remove(file.c_str());
        std::remove(rgb_pdf.c_str());
        std::remove(rgba_pdf.c_str());
        rmdir(folder.c_str());
    }
    return 0;
}
