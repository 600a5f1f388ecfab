/*
 * colorspace.h -- colour space codes and the document's colourspace registry.
 *
 * Images and colours carry a one-byte colour space code. Codes 0 to 9 are
 * fixed; a code of 10 or above names registry slot (code - 10). Registry
 * slots (spot colours as Separation spaces, pattern colour spaces) are made
 * by drawing; they reserve their object number when created and are written
 * at document end; pages, patterns and templates that use a slot list it as
 * /CS<n>. Images refer to a slot through the "colorize" parameter.
 */
#ifndef FOLIO_COLORSPACE_H
#define FOLIO_COLORSPACE_H

#include "../core/subsystem.h"

enum {
    PDF_CS_DEVICEGRAY = 0,
    PDF_CS_DEVICERGB = 1,
    PDF_CS_DEVICECMYK = 2,
    PDF_CS_CALGRAY = 3,
    PDF_CS_CALRGB = 4,
    PDF_CS_LAB = 5,
    PDF_CS_INDEXED = 6,
    PDF_CS_PATTERN = 7,
    PDF_CS_SEPARATION = 8,
    PDF_CS_IMAGEMASK = 9,
    PDF_CS_SLOT_BASE = 10 /* code of registry slot 0 */
};

/* Initial number of registry slots; the table doubles when full. */
#define PDF_COLORSPACES_CHUNKSIZE 4

/* A colour: its space code and up to four values. For a Separation alternate
 * the values are the full-tint components; for a pattern over a spot colour
 * values[1] holds the spot colour's slot index. */
typedef struct {
    pdf_byte colorspace;
    float values[4];
} pdf_color;

/* One registry slot. */
typedef struct {
    pdf_id object_number;
    int used;      /* used by the content stream being written */
    char *name;    /* Separation: escaped name written after "/" */
    pdf_byte kind; /* PDF_CS_PATTERN or PDF_CS_SEPARATION */
    pdf_color alternate;
} pdf_colorspace;

/* The subsystem's record (document->colorspaces). */
struct pdf_colorspace_table_s {
    pdf_colorspace *slots;
    int count; /* slots in use, always the first ones */
    int capacity;
};

/* Sets up and releases the registry, writes the /ColorSpace entry of a
 * resource dictionary and the registry's objects at the end. */
extern const pdf_subsystem pdf_colorspace_subsystem;

/* The name written for codes 0 to 9 ("Invalid_CS" for 9, never written);
 * null for any other code. */
const char *pdf_colorspace_name(int code);

/* Returns the slot index for a colour space of `kind` (Separation or
 * Pattern). A Separation whose escaped `name` is registered already returns
 * that slot. `fill_color` is the drawing state's current fill colour, which
 * becomes the new slot's alternate (null: gray 0). The new slot is marked as
 * used by the content stream being written. */
int pdf_add_colorspace(pdf_document *document, int kind, const char *name,
                       const pdf_color *fill_color);
/* The number of slots in use (0 without a document). */
int pdf_colorspace_count(const pdf_document *document);
/* Marks slot `slot` as used by the content stream being written and returns
 * its object number. */
pdf_id pdf_use_colorspace(pdf_document *document, int slot);

#endif /* FOLIO_COLORSPACE_H */
