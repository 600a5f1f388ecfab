/*
 * matrix.h -- transformation matrices and the graphics-state levels.
 *
 * The document keeps levels 0 to 9 of the graphics state (document.h); the
 * current one is `save_level`. PDF_save pushes a copy of the current level,
 * PDF_restore pops it.
 */
#ifndef FOLIO_MATRIX_H
#define FOLIO_MATRIX_H

#include "../core/document.h"

/* Sets the current level's state (CTM included) to its initial values and
 * the fill rule to nonzero winding. */
void pdf_reset_gstate(pdf_document *document);

/* True when the matrix is exactly the identity. */
int pdf_matrix_is_identity(const pdf_matrix *m);
/* Replaces t by m x t. */
void pdf_matrix_multiply(const pdf_matrix *m, pdf_matrix *t);
/* Stores the inverse of m in result; a determinant below 1.5e-5 in absolute
 * value is PDF_ERR_SYSTEM "CTM not invertible". */
void pdf_matrix_invert(pdf_document *document, const pdf_matrix *m,
                       pdf_matrix *result);
/* Writes "a b c d e f cm" (nothing for the identity) and concatenates the
 * matrix to the current level's CTM. Ends an open text object first. */
void pdf_concat_ctm(pdf_document *document, const pdf_matrix *m);

#endif /* FOLIO_MATRIX_H */
