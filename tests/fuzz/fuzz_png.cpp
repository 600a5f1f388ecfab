// Fuzz target of the PNG reader: the input is one PNG file, bound as the
// only page of a document.
//
// A mutation almost always breaks a chunk's CRC, and libpng stops at the
// first bad CRC of a critical chunk, long before the interesting code. So
// for inputs of even length the CRCs are set right before the file is
// written; inputs of odd length keep theirs, which keeps the CRC checks
// themselves fuzzed. Inputs whose length is a multiple of 4 keep their alpha
// as a soft mask ("keepalpha").
#include <zlib.h>

#include <vector>

#include "fuzz_support.h"

namespace {

uint32_t Be32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Rewrites the CRC of every whole chunk after the 8-byte signature.
void FixChunkCrcs(std::vector<uint8_t> &png) {
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = Be32(&png[at]);
        if (length > png.size() - at - 12) break;
        const uLong crc = crc32(0, &png[at + 4], static_cast<uInt>(length + 4));
        uint8_t *out = &png[at + 8 + length];
        out[0] = static_cast<uint8_t>(crc >> 24);
        out[1] = static_cast<uint8_t>(crc >> 16);
        out[2] = static_cast<uint8_t>(crc >> 8);
        out[3] = static_cast<uint8_t>(crc);
        at += 12 + length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint8_t> png(data, data + size);
    if (size % 2 == 0) FixChunkCrcs(png);
    fuzzsupport::PageSource source;
    source.kind = "png";
    source.path = fuzzsupport::ScratchFile(0, png.data(), png.size());
    fuzzsupport::BookOptions options;
    options.keep_alpha = size % 4 == 0;
    fuzzsupport::BindAndCheck({source}, options);
    return 0;
}
