// Fuzz target of raw CCITT files. The first six bytes choose the call's
// arguments; the rest is the file:
//   bytes 0-1  width, big-endian, as a signed 16-bit number
//   bytes 2-3  height, likewise
//   byte 4     K, as a signed 8-bit number
//   byte 5     bit 0: reverse the bit order; bit 1: BlackIs1
#include "fuzz_support.h"

namespace {

int Signed16(const uint8_t *p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] << 8 | p[1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const size_t header = 6;
    if (size < header) return 0;
    fuzzsupport::PageSource source;
    source.kind = "ccitt";
    source.width = Signed16(data);
    source.height = Signed16(data + 2);
    source.k = static_cast<int8_t>(data[4]);
    source.bit_reverse = data[5] & 1;
    source.black_is_1 = (data[5] >> 1) & 1;
    source.path = fuzzsupport::ScratchFile(0, data + header, size - header);
    fuzzsupport::BindAndCheck({source});
    return 0;
}
