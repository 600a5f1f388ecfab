/*
 * gstate.h -- the graphics-state levels of the content stream being written.
 *
 * Level 0 is reset when a content stream starts; PDF_save pushes a copy of
 * the current level (the save level of the content record, content.h) and
 * PDF_restore pops it, so that levels 0 to 9 exist. Drawing operators keep
 * what they last wrote in the current level, so that repeated settings cost
 * no output.
 */
#ifndef FOLIO_GSTATE_H
#define FOLIO_GSTATE_H

#include "../core/subsystem.h"
#include "matrix.h"

/* Graphics-state levels: level 0 plus nine saves. */
#define PDF_MAX_SAVE_LEVEL 10

/* One graphics-state level. */
typedef struct {
    pdf_matrix ctm;
} pdf_gstate;

/* The subsystem's record (document->graphics). */
struct pdf_graphics_s {
    pdf_gstate levels[PDF_MAX_SAVE_LEVEL];
    int fill_rule; /* 0 nonzero winding, 1 even-odd ("fillrule") */
};

extern const pdf_subsystem pdf_graphics_subsystem;

/* The current level. */
pdf_gstate *pdf_current_gstate(pdf_document *document);
/* Gives the current level its initial values and the fill rule nonzero
 * winding. */
void pdf_reset_gstate(pdf_document *document);
/* Writes "a b c d e f cm" (nothing for the identity) and concatenates the
 * matrix to the current level's CTM. Ends an open text object first. */
void pdf_concat_ctm(pdf_document *document, const pdf_matrix *m);

#endif /* FOLIO_GSTATE_H */
