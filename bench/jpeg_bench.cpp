// bench_jpeg: how fast the library binds JPEG files into one document,
// against `cat` of the same files into one file (the floor: every byte read
// and written once).
//
//   bench_jpeg [DIR]
//
// Without DIR, 300 JPEG files of 1600 x 1200 are made in a temporary folder
// first (libjpeg, quality 90, distinct content; see generate.h). Both contenders run five
// times, alternating; the medians are printed with the ratio.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bind_files.h"
#include "generate.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> JpegsIn(const std::string &dir) {
    std::vector<std::string> files;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > 4 && (name.substr(name.size() - 4) == ".jpg" ||
                                    name.substr(name.size() - 5) == ".jpeg"))
                files.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}


double Cat(const std::vector<std::string> &files, const std::string &output) {
    std::string command = "cat";
    for (const std::string &file : files) command += " '" + file + "'";
    command += " > '" + output + "'";
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) { std::fprintf(stderr, "cat failed\n"); std::exit(1); }
    return Seconds(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    std::string dir;
    char scratch[] = "/tmp/bench-jpeg-XXXXXX";
    if (argc > 1) {
        dir = argv[1];
    } else {
        dir = mkdtemp(scratch);
        std::fprintf(stderr, "making 300 JPEG files of 1600 x 1200 in %s ...\n", dir.c_str());
        for (int i = 0; i < 300; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "/page%03d.jpg", i);
            bench::WriteJpeg(dir + name, 1600, 1200, static_cast<unsigned>(i), 90);
        }
    }
    std::vector<std::string> files = JpegsIn(dir);
    if (files.empty()) { std::fprintf(stderr, "no JPEG files in %s\n", dir.c_str()); return 1; }
    double megabytes = 0;
    for (const std::string &file : files) {
        struct stat info;
        if (stat(file.c_str(), &info) == 0) megabytes += info.st_size / 1e6;
    }
    std::string pdf = dir + "/bound.pdf.out", concatenated = dir + "/cat.out";
    std::vector<double> bind_times, cat_times;
    for (int run = 0; run < 5; run++) {
        bind_times.push_back(bench::BindFiles(files, "jpeg", pdf, 6));
        cat_times.push_back(Cat(files, concatenated));
    }
    double bind = Median(bind_times), cat = Median(cat_times);
    std::printf("%zu JPEG files, %.1f MB\n", files.size(), megabytes);
    std::printf("library: %.3f s  %.0f MB/s\n", bind, megabytes / bind);
    std::printf("cat:     %.3f s  %.0f MB/s\n", cat, megabytes / cat);
    std::printf("library / cat time: %.2f\n", bind / cat);
    std::remove(pdf.c_str());
    std::remove(concatenated.c_str());
    if (argc <= 1) {
        for (const std::string &file : files) std::remove(file.c_str());
        rmdir(dir.c_str());
    }
    return 0;
}
