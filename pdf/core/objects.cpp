/*
 * objects.cpp -- object numbering. Every object's offset is recorded when it
 * begins; lengths of streams go into indirect objects written after the
 * stream, so nothing is revisited.
 */
#include "objects.h"

#include "output.h"

pdf_id pdf_alloc_id(pdf_document *document) {
    pdf_id id = document->object_count + 1;
    if (id >= document->object_capacity) {
        long *grown = (long *)pdf_realloc(document, document->object_offsets,
                                          sizeof(long) * (size_t)document->object_capacity * 2,
                                          "pdf_alloc_id");
        if (grown == NULL) return 0;
        document->object_offsets = grown;
        document->object_capacity *= 2;
    }
    document->object_count = id;
    document->object_offsets[id] = -1;
    return id;
}

pdf_id pdf_begin_obj(pdf_document *document, pdf_id id) {
    if (id == 0) id = pdf_alloc_id(document);
    document->object_offsets[id] = pdf_tell(document);
    pdf_printf(document, "%ld 0 obj\n", id);
    return id;
}

void pdf_end_stream_obj(pdf_document *document, pdf_id length_id, long start) {
    long length = pdf_tell(document) - start;
    pdf_puts(document, "endstream\n");
    pdf_puts(document, "endobj\n");
    pdf_begin_obj(document, length_id);
    pdf_printf(document, "%ld\n", length);
    pdf_puts(document, "endobj\n");
}
