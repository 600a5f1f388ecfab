// Small documents for the core tests, written to a file or to memory.
#pragma once

#include <functional>
#include <string>

#include "core/folio.h"

// Takes every byte a memory-mode document hands out.
inline std::string TakeBuffer(pdf_document *document) {
    long size = 0;
    const char *bytes = PDF_get_buffer(document, &size);
    return std::string(bytes != nullptr ? bytes : "", static_cast<size_t>(size));
}

// Writes `pages` pages of the given size between optional set-up and
// per-page steps, in memory, and returns the document's bytes.
inline std::string BuildInMemory(int pages, const std::function<void(pdf_document *)> &setup = {},
                                 const std::function<void(pdf_document *, int)> &page = {}) {
    pdf_document *document = PDF_new();
    PDF_open_file(document, nullptr);
    if (setup) setup(document);
    for (int i = 1; i <= pages; i++) {
        PDF_begin_page(document, 200, 100);
        if (page) page(document, i);
        PDF_end_page(document);
    }
    PDF_close(document);
    std::string bytes = TakeBuffer(document);
    PDF_delete(document);
    return bytes;
}
