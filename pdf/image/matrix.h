/*
 * matrix.h -- transformation matrices and the graphics-state levels.
 */
#ifndef FOLIO_MATRIX_H
#define FOLIO_MATRIX_H

#include "../core/document.h"

/* Sets the current level's state (CTM included) to its initial values. */
void pdf_reset_gstate(pdf_document *document);

#endif /* FOLIO_MATRIX_H */
