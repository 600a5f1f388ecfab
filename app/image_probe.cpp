// image_probe.cpp -- one image bound into a document in memory, and the
// pages of a TIFF file.
#include "image_probe.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <set>

#include "book_writer.h"
#include "folio.hpp"

namespace bindwick {

namespace {

// Room for a little more than the sizes the library accepts for a page.
constexpr int kMaxTiffPages = 100000;
// More tags than any directory has; a count beyond it is damage.
constexpr std::uint64_t kMaxTiffEntries = 65535;
constexpr std::uint64_t kTiffMagic = 42;
constexpr std::uint64_t kBigTiffMagic = 43;

// An anonymous file in memory, open for the library under a /proc name.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("bindwick-probe", MFD_CLOEXEC)) {}
    ~MemoryFile() {
        if (fd_ >= 0) close(fd_);
    }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    bool ok() const { return fd_ >= 0; }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

    // The bytes written so far.
    std::string Contents() const {
        std::string bytes;
        char buffer[65536];
        off_t at = 0;
        ssize_t got;
        while ((got = pread(fd_, buffer, sizeof buffer, at)) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(got));
            at += got;
        }
        return bytes;
    }

private:
    int fd_;
};

// The dictionary of the first image XObject in `pdf`.
std::string ImageDictionary(const std::string &pdf) {
    const std::size_t image = pdf.find("/Subtype/Image");
    if (image == std::string::npos) return std::string();
    const std::size_t start = pdf.rfind("<<", image);
    const std::size_t end = pdf.find("stream", image);
    if (start == std::string::npos || end == std::string::npos) return std::string();
    return pdf.substr(start, end - start);
}

// The number after `key` in `dictionary`, 0 when there is none.
int NumberAfter(const std::string &dictionary, const std::string &key) {
    const std::size_t at = dictionary.find(key);
    if (at == std::string::npos) return 0;
    return std::atoi(dictionary.c_str() + at + key.size());
}

// Takes no notice of what the page routine reports: the probe reads the
// outcome from the document.
class SilentReporter : public BookReporter {
public:
    void ProgressStart(std::size_t) override {}
    void ProgressStep(std::size_t) override {}
    void ImageNotOpened(const RejectedFile &, const std::string &) override {}
    void OutputNotCreated(const std::string &, const std::string &) override {}
    void LibraryError(const std::string &, const std::string &) override {}
    void BookWritten(const std::string &, const std::string &) override {}
};

// Reads `count` bytes (at most 8) at `offset` of a TIFF file as an unsigned
// number in the file's byte order.
std::optional<std::uint64_t> ReadNumber(std::FILE *file, std::uint64_t offset, int count,
                                        bool big_endian) {
    unsigned char bytes[8];
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
        fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0 ||
        std::fread(bytes, 1, static_cast<std::size_t>(count), file) !=
            static_cast<std::size_t>(count)) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int index = big_endian ? i : count - 1 - i;
        value = (value << 8) | bytes[index];
    }
    return value;
}

}  // namespace

ProbedImage ProbeImage(const FileEntry &entry, bool keep_alpha) {
    ProbedImage facts;
    MemoryFile memory;
    if (!memory.ok()) {
        facts.problem = ImageProblem::kUnreadable;
        return facts;
    }
    try {
        Folio folio;
        // Only before the document is opened, as the book writer does.
        if (keep_alpha) folio.set_parameter("keepalpha", "true");
        if (folio.open_file(memory.path()) == -1) {
            facts.problem = ImageProblem::kUnreadable;
            return facts;
        }
        // The fastest compression: the probe is about what is written, not
        // how small.
        folio.set_value("compress", 1.0f);
        SilentReporter silent;
        if (!BookWriter(silent).AddImagePage(folio, entry.path, entry.type)) {
            facts.problem = CheckImageFile(entry.path).problem;
            if (facts.problem == ImageProblem::kNone) facts.problem = ImageProblem::kDamaged;
            return facts;
        }
        folio.close();
    } catch (const Folio::Exception &error) {
        facts.problem = ImageProblem::kDamaged;
        facts.library_message = error.get_message();
        return facts;
    }
    // The library gives decode parameters to exactly the data it passes
    // through as they are; data it decoded carry none.
    const std::string image = ImageDictionary(memory.Contents());
    facts.unchanged = image.find("/DecodeParms") != std::string::npos;
    facts.width = NumberAfter(image, "/Width ");
    facts.height = NumberAfter(image, "/Height ");
    facts.bindable = true;
    if (entry.type == "tiff") facts.pages = TiffPageCount(entry.path);
    return facts;
}

int TiffPageCount(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return 1;
    char order[2] = {};
    int pages = 0;
    if (std::fread(order, 1, 2, file) == 2 && (order[0] == 'I' || order[0] == 'M') &&
        order[0] == order[1]) {
        const bool big_endian = order[0] == 'M';
        const auto magic = ReadNumber(file, 2, 2, big_endian);
        // Classic TIFF: 4-byte offsets, 2-byte entry counts, 12-byte
        // entries; BigTIFF: 8, 8 and 20 bytes.
        const bool big_tiff = magic == kBigTiffMagic;
        const int offset_size = big_tiff ? 8 : 4;
        const int count_size = big_tiff ? 8 : 2;
        const std::uint64_t entry_size = big_tiff ? 20 : 12;
        std::set<std::uint64_t> visited;
        std::optional<std::uint64_t> next;
        if (big_tiff || magic == kTiffMagic) {
            next = ReadNumber(file, big_tiff ? 8 : 4, offset_size, big_endian);
        }
        // Follow the chain of directories; a loop or a broken link ends it.
        while (next && *next != 0 && pages < kMaxTiffPages && visited.insert(*next).second) {
            const auto entries = ReadNumber(file, *next, count_size, big_endian);
            if (!entries || *entries > kMaxTiffEntries) break;
            ++pages;
            next = ReadNumber(file, *next + count_size + entry_size * *entries, offset_size,
                              big_endian);
        }
    }
    std::fclose(file);
    return pages > 0 ? pages : 1;
}

}  // namespace bindwick
