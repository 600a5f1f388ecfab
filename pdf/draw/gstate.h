/*
 * gstate.h -- the graphics-state levels of the content stream being written.
 *
 * Level 0 is reset when a content stream starts; PDF_save pushes a copy of
 * the current level (the save level of the content record, content.h) and
 * PDF_restore pops it, so that levels 0 to 9 exist. Drawing operators keep
 * what they last wrote in the current level, so that repeated settings cost
 * no output. In document scope level 0 records the colours set there (a spot
 * colour takes its alternate from them) and nothing is written.
 */
#ifndef FOLIO_GSTATE_H
#define FOLIO_GSTATE_H

#include "../core/subsystem.h"
#include "colorspace.h"
#include "matrix.h"

/* Graphics-state levels: level 0 plus nine saves. */
#define PDF_MAX_SAVE_LEVEL 10

/* Scopes of the calls that draw or change the graphics state, and of those
 * that may also come while a path is being built. */
#define PDF_DRAWING_SCOPES (PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE)
#define PDF_PATH_SCOPES (PDF_DRAWING_SCOPES | PDF_SCOPE_PATH)

/* One graphics-state level: what the content stream has in force. */
typedef struct {
    pdf_matrix ctm;
    float current_x, current_y; /* current point of the path */
    float subpath_x, subpath_y; /* where closing the subpath returns */
    float line_width;           /* last written, as are the next five */
    int line_cap;
    int line_join;
    float miter_limit;
    float flatness; /* -1: none written yet */
    int dashed;     /* a dash pattern other than solid is in force */
    pdf_color fill;
    pdf_color stroke;
} pdf_gstate;

/* The subsystem's record (document->graphics). */
struct pdf_graphics_s {
    pdf_gstate levels[PDF_MAX_SAVE_LEVEL];
    int fill_rule; /* 0 nonzero winding, 1 even-odd ("fillrule") */
};

extern const pdf_subsystem pdf_graphics_subsystem;

/* The current level. */
pdf_gstate *pdf_current_gstate(pdf_document *document);
/* Gives the current level the initial values of its matrix, current point
 * and line attributes (not its colours), and the fill rule nonzero
 * winding. */
void pdf_reset_gstate(pdf_document *document);
/* Writes "a b c d e f cm" (nothing for the identity) and concatenates the
 * matrix to the current level's CTM. Ends an open text object first. */
void pdf_concat_ctm(pdf_document *document, const pdf_matrix *m);

/* Writes the operators that bring colours, line attributes, dash and
 * flatness back to their defaults, where they differ (attributes.cpp). */
void pdf_reset_drawing_attributes(pdf_document *document);

#endif /* FOLIO_GSTATE_H */
