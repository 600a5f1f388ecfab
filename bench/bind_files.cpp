// bind_files.cpp -- binding image files for the benchmark programs.
#include "bind_files.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "folio.h"

namespace bench {

double BindFiles(const std::vector<std::string> &files, const char *type,
                 const std::string &output, int level) {
    const auto start = std::chrono::steady_clock::now();
    pdf_document *document = PDF_new();
    if (document == nullptr || PDF_open_file(document, output.c_str()) != 1) {
        std::fprintf(stderr, "cannot create %s\n", output.c_str());
        std::exit(1);
    }
    PDF_set_value(document, "compress", static_cast<float>(level));
    for (const std::string &file : files) {
        int image = PDF_open_image_file(document, type, file.c_str(), "", 0);
        if (image < 0) {
            std::fprintf(stderr, "cannot open %s\n", file.c_str());
            std::exit(1);
        }
        PDF_begin_page(document, PDF_get_value(document, "imagewidth", static_cast<float>(image)),
                       PDF_get_value(document, "imageheight", static_cast<float>(image)));
        PDF_place_image(document, image, 0, 0, 1);
        PDF_close_image(document, image);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long FileSize(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

}  // namespace bench
