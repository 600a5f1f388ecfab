// Fuzz target of the TIFF reader: the input is one TIFF file, bound as the
// only page of a document.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzsupport::PageSource source;
    source.kind = "tiff";
    source.path = fuzzsupport::ScratchFile(0, data, size);
    fuzzsupport::BindAndCheck({source});
    return 0;
}
