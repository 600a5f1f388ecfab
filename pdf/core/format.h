/*
 * format.h -- the library's own number and text formatting for PDF syntax.
 */
#ifndef FOLIO_FORMAT_H
#define FOLIO_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

#include "document.h"

/* Formats into `out`, writing at most `size` bytes including the terminator
 * (longer output is cut). Conversions: %% %d %X %ld %lX %c %s %f with an
 * optional "0" pad and width. Returns the length written. */
int pdf_vsprintf(pdf_document *document, char *out, size_t size, const char *format,
                 va_list arguments);
int pdf_sprintf(pdf_document *document, char *out, size_t size, const char *format, ...);

/* Writes `value` in base 10 or 16 with at least `width` digits padded with
 * `pad`; returns the length. `out` must hold 24 bytes. */
int pdf_ltoa(char *out, long value, int width, char pad, int base);

/* Writes a real number with at most `digits` decimals and no exponent;
 * returns the length. `out` must hold 32 bytes. Values above 2147483647
 * and NaN raise PDF_ERR_VALUE (and are written as 2147483647 and 0 should
 * the handler return). */
int pdf_ftoa(pdf_document *document, char *out, double value, int digits);

/* Escapes bytes as name characters into `out` (3 * count + 1 bytes),
 * zero-terminated; returns the length. */
size_t pdf_make_name(const char *bytes, size_t count, char *out);

#endif /* FOLIO_FORMAT_H */
