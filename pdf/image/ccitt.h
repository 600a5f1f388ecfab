/*
 * ccitt.h -- the data source over a file of raw CCITT fax data.
 */
#ifndef FOLIO_CCITT_H
#define FOLIO_CCITT_H

#include "colorspace.h"
#include "images.h"

/* The byte with its eight bits in the opposite order (0x01 -> 0x80). */
pdf_byte pdf_reverse_bits(pdf_byte c);

/* The source reads the open file of the slot in `context` in 1024-byte
 * chunks, reversing the bits of each byte when the slot asks for it. */
void PDF_data_source_CCITT_init(pdf_document *document, PDF_data_source *source);
int pdf_data_source_CCITT_fill(pdf_document *document, PDF_data_source *source);
void pdf_data_source_CCITT_release(pdf_document *document, PDF_data_source *source);

#endif /* FOLIO_CCITT_H */
