// bench_make_sets: writes the input sets that ./bench.sh measures.
//
//   bench_make_sets FOLDER [SET...]
//
// Each set goes into FOLDER/SET/ as p00000.EXT, p00001.EXT, ... (names that
// sort in page order), followed by a file ".complete"; a set that already
// has it is left alone, so a second run costs nothing. Without SET names
// every set is made. The files depend only on their number and size (see
// generate.h), so every run makes the same bytes.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "generate.h"

namespace {

enum class Kind { kJpeg, kPngRgb, kPngRgba, kRawTiff, kFaxTiff };

struct Set {
    const char *name;
    Kind kind;
    int count;
    int width, height;
    const char *extension;
};

const Set kSets[] = {
    {"jpeg", Kind::kJpeg, 300, 1600, 1200, "jpg"},
    {"png-rgb", Kind::kPngRgb, 100, 1200, 900, "png"},
    {"png-rgba", Kind::kPngRgba, 50, 1200, 900, "png"},
    {"tiff-raw", Kind::kRawTiff, 100, 1000, 800, "tif"},
    {"tiff-g4", Kind::kFaxTiff, 100, 2480, 3508, "tif"},
    {"jpeg-small", Kind::kJpeg, 10000, 64, 64, "jpg"},
};

void MakeFolder(const std::string &path) {
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "bench_make_sets: cannot create %s: %s\n", path.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
}

void MakeSet(const std::string &folder, const Set &set) {
    const std::string dir = folder + "/" + set.name;
    const std::string stamp = dir + "/.complete";
    struct stat info;
    if (stat(stamp.c_str(), &info) == 0)
        return;
    MakeFolder(dir);
    std::fprintf(stderr, "bench_make_sets: %d files of %d x %d in %s\n", set.count, set.width,
                 set.height, dir.c_str());
    for (int i = 0; i < set.count; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "/p%05d.%s", i, set.extension);
        const std::string path = dir + name;
        // Seeds differ between sets, so that no two sets share a picture.
        const unsigned seed = static_cast<unsigned>(i) + 100000u * static_cast<unsigned>(set.kind);
        switch (set.kind) {
        case Kind::kJpeg: bench::WriteJpeg(path, set.width, set.height, seed, 90); break;
        case Kind::kPngRgb: bench::WritePng(path, set.width, set.height, 3, seed); break;
        case Kind::kPngRgba: bench::WritePng(path, set.width, set.height, 4, seed); break;
        case Kind::kRawTiff: bench::WriteRawTiff(path, set.width, set.height, seed); break;
        case Kind::kFaxTiff: bench::WriteFaxTiff(path, set.width, set.height, seed); break;
        }
    }
    FILE *file = std::fopen(stamp.c_str(), "w");
    if (file == nullptr || std::fclose(file) != 0) {
        std::fprintf(stderr, "bench_make_sets: cannot write %s\n", stamp.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [SET...]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    MakeFolder(folder);
    for (const Set &set : kSets) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; i++)
            wanted = wanted || std::strcmp(argv[i], set.name) == 0;
        if (wanted)
            MakeSet(folder, set);
    }
    for (int i = 2; i < argc; i++) {
        bool known = false;
        for (const Set &set : kSets)
            known = known || std::strcmp(argv[i], set.name) == 0;
        if (!known) {
            std::fprintf(stderr, "bench_make_sets: unknown set '%s'\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
