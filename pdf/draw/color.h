/*
 * color.h -- the fill and stroke colours of the graphics-state levels:
 * gray, RGB, CMYK and spot colours, written only when they change.
 */
#ifndef FOLIO_COLOR_H
#define FOLIO_COLOR_H

#include "gstate.h"

/* Which of the two colours a setting changes. */
enum { PDF_COLOR_FILL = 1, PDF_COLOR_STROKE = 2, PDF_COLOR_BOTH = 3 };

/* Black fill and stroke, without writing anything. */
void pdf_reset_colors(pdf_gstate *level);
/* Sets the `parts` colours to gray `gray` (0 to 1), writing the operators
 * of the colours that change. */
void pdf_set_gray(pdf_document *document, int parts, float gray);

#endif /* FOLIO_COLOR_H */
