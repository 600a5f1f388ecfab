// Fuzz target of the GIF reader: the input is one GIF file, bound as the
// only page of a document.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzzsupport::PageSource source;
    source.kind = "gif";
    source.path = fuzzsupport::ScratchFile(0, data, size);
    fuzzsupport::BindAndCheck({source});
    return 0;
}
