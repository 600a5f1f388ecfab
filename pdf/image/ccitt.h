/*
 * ccitt.h -- files of raw CCITT fax data (PDF_open_CCITT) and the bit
 * reversal their data may need.
 */
#ifndef FOLIO_CCITT_H
#define FOLIO_CCITT_H

#include "../core/document.h"

/* The byte with its eight bits in the opposite order (0x01 -> 0x80). */
pdf_byte pdf_reverse_bits(pdf_byte c);

#endif /* FOLIO_CCITT_H */
