/*
 * ccitt.h -- the data source over a file of raw CCITT fax data.
 */
#ifndef FOLIO_CCITT_H
#define FOLIO_CCITT_H

#include "../draw/colorspace.h"
#include "images.h"

/* The byte with its eight bits in the opposite order (0x01 -> 0x80). */
pdf_byte pdf_reverse_bits(pdf_byte c);


#endif /* FOLIO_CCITT_H */
