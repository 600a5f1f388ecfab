// Fuzz target of a whole book: several images of any type in one document,
// each bound as a page like the book writer does.
//
// Input layout:
//   byte 0     document options: bits 0-1 the PDF version (1.3, 1.2, 1.4,
//              1.3), bits 2-5 the compression level (taken modulo 10)
//   then up to kMaxPages pieces, each a two-byte little-endian length and
//   that many bytes (the last piece takes what is left when the input ends
//   early). Each piece becomes a file whose type comes from its first bytes
//   as the command line finds it; a piece of no known type goes to the JPEG
//   reader, which must refuse it.
#include "fuzz_support.h"
#include "image_files.h"

namespace {

constexpr int kMaxPages = 6;
const char *const kVersions[] = {"1.3", "1.2", "1.4", "1.3"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    fuzzsupport::BookOptions options;
    options.compatibility = kVersions[data[0] & 3];
    options.compression = ((data[0] >> 2) & 15) % 10;

    std::vector<fuzzsupport::PageSource> sources;
    size_t at = 1;
    while (at < size && static_cast<int>(sources.size()) < kMaxPages) {
        size_t length = size - at;
        if (length >= 2) {
            const size_t declared = data[at] | static_cast<size_t>(data[at + 1]) << 8;
            at += 2;
            length = declared < size - at ? declared : size - at;
        } else {
            at = size;
            length = 0;
        }
        const uint8_t *piece = data + at;
        at += length;

        fuzzsupport::PageSource source;
        const std::string head(reinterpret_cast<const char *>(piece), length < 8 ? length : 8);
        source.kind = bindwick::ImageTypeOfContent(head);
        if (source.kind.empty()) source.kind = "jpeg";
        source.path = fuzzsupport::ScratchFile(static_cast<int>(sources.size()), piece, length);
        sources.push_back(source);
    }
    fuzzsupport::BindAndCheck(sources);
    return 0;
}
