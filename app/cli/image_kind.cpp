// image_kind.cpp -- recognising image files by their signatures.
#include "image_kind.h"

#include <fcntl.h>
#include <unistd.h>

#include "file_list.h"

namespace bindwick {

namespace {

struct Signature {
    const char *bytes;
    std::size_t length;
    const char *type;
};

// Each format's fixed leading bytes.
const Signature kSignatures[] = {
    {"\xFF\xD8\xFF", 3, "jpeg"},
    {"\x89PNG\r\n\x1A\n", 8, "png"},
    {"II*\0", 4, "tiff"},
    {"MM\0*", 4, "tiff"},
    {"GIF87a", 6, "gif"},
    {"GIF89a", 6, "gif"},
};

constexpr std::size_t kLongestSignature = 8;

}  // namespace

std::string ImageTypeOfContent(const std::string &head) {
    for (const Signature &signature : kSignatures) {
        if (head.compare(0, signature.length, signature.bytes,
                         signature.length) == 0) {
            return signature.type;
        }
    }
    return std::string();
}

std::string DetectImageType(const std::string &path) {
    // One small unbuffered read: a stream would read a whole block, and this
    // runs once for every page of a book.
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file >= 0) {
        std::string head(kLongestSignature, '\0');
        ssize_t got = read(file, head.data(), head.size());
        close(file);
        head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        std::string type = ImageTypeOfContent(head);
        if (!type.empty()) return type;
    }
    return ImageTypeOf(path);
}

}  // namespace bindwick
