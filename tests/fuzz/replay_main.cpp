// Replays saved inputs through a fuzz target without libFuzzer, so that the
// regression inputs and the seed corpus run in ordinary CTest. Arguments are
// files or folders (every regular file in a folder, in name order; a missing
// folder holds nothing). A finding aborts the process as it would under
// libFuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

bool IsFolder(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> FilesOf(const std::string &folder) {
    std::vector<std::string> files;
    DIR *dir = opendir(folder.c_str());
    if (dir == nullptr) return files;
    while (dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string path = folder + "/" + name;
        if (!IsFolder(path)) files.push_back(path);
    }
    closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        if (IsFolder(path)) {
            const std::vector<std::string> files = FilesOf(path);
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (!path.empty()) {
            std::ifstream probe(path);
            if (probe) inputs.push_back(path);
        }
    }
    for (const std::string &path : inputs) {
        std::ifstream file(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
        std::printf("replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed without a finding\n", inputs.size());
    return 0;
}
