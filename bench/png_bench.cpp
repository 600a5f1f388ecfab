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
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folio.h"
#include "generate.h"

namespace {

const int kWidth = 1200;
const int kHeight = 900;

long FileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Binds the files into `output`, one page each; library errors end the
// process through the default handler.
double Bind(const std::vector<std::string> &files, const std::string &output, int level)
{
    auto start = std::chrono::steady_clock::now();
    pdf_document *document = PDF_new();
    if (document == nullptr || PDF_open_file(document, output.c_str()) != 1) {
        std::fprintf(stderr, "bench_png: cannot create %s\n", output.c_str());
        std::exit(1);
    }
    PDF_set_value(document, "compress", static_cast<float>(level));
    for (const std::string &file : files) {
        int image = PDF_open_image_file(document, "png", file.c_str(), "", 0);
        if (image < 0) {
            std::fprintf(stderr, "bench_png: cannot open %s\n", file.c_str());
            std::exit(1);
        }
        float width = PDF_get_value(document, "imagewidth", static_cast<float>(image));
        float height = PDF_get_value(document, "imageheight", static_cast<float>(image));
        PDF_begin_page(document, width, height);
        PDF_place_image(document, image, 0, 0, 1);
        PDF_close_image(document, image);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char *label, const std::vector<std::string> &files, double seconds,
            const std::string &output)
{
    double input = 0;
    for (const std::string &file : files)
        input += FileSize(file);
    double megapixels = static_cast<double>(files.size()) * kWidth * kHeight / 1e6;
    std::printf("%-26s %4zu files  %8.1f MB in  %8.1f MB out  %7.3f s  %8.1f MB/s  %7.1f Mpixel/s\n",
                label, files.size(), input / 1e6, FileSize(output) / 1e6, seconds,
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
    Report("pass-through (RGB)", rgb, Bind(rgb, rgb_pdf, level), rgb_pdf);
    std::string label = "decoding (RGBA, level " + std::to_string(level) + ")";
    Report(label.c_str(), rgba, Bind(rgba, rgba_pdf, level), rgba_pdf);

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
