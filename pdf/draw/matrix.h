/*
 * matrix.h -- transformation matrices.
 */
#ifndef FOLIO_MATRIX_H
#define FOLIO_MATRIX_H

#include "../core/document.h"

/* A PDF transformation matrix: x' = a x + c y + e, y' = b x + d y + f. */
typedef struct {
    float a, b, c, d, e, f;
} pdf_matrix;

extern const pdf_matrix pdf_identity_matrix;

/* True when the matrix is exactly the identity. */
int pdf_matrix_is_identity(const pdf_matrix *m);
/* Replaces t by m x t. */
void pdf_matrix_multiply(const pdf_matrix *m, pdf_matrix *t);
/* Stores the inverse of m in result; a determinant below 1.5e-5 in absolute
 * value is PDF_ERR_SYSTEM "CTM not invertible". */
void pdf_matrix_invert(pdf_document *document, const pdf_matrix *m, pdf_matrix *result);

#endif /* FOLIO_MATRIX_H */
