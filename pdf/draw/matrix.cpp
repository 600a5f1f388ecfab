/*
 * matrix.cpp -- transformation matrices.
 */
#include "matrix.h"

#include <math.h>

const pdf_matrix pdf_identity_matrix = {1, 0, 0, 1, 0, 0};

int pdf_matrix_is_identity(const pdf_matrix *m) {
    return m->a == 1 && m->b == 0 && m->c == 0 && m->d == 1 && m->e == 0 && m->f == 0;
}

void pdf_matrix_multiply(const pdf_matrix *m, pdf_matrix *t) {
    pdf_matrix r;
    r.a = m->a * t->a + m->b * t->c;
    r.b = m->a * t->b + m->b * t->d;
    r.c = m->c * t->a + m->d * t->c;
    r.d = m->c * t->b + m->d * t->d;
    r.e = m->e * t->a + m->f * t->c + t->e;
    r.f = m->e * t->b + m->f * t->d + t->f;
    *t = r;
}

void pdf_matrix_invert(pdf_document *document, const pdf_matrix *m, pdf_matrix *result) {
    float det = m->a * m->d - m->b * m->c;
    if (fabsf(det) < 1.5e-5f) {
        pdf_error(document, PDF_ERR_SYSTEM, "CTM not invertible");
        return;
    }
    pdf_matrix r;
    r.a = m->d / det;
    r.b = -m->b / det;
    r.c = -m->c / det;
    r.d = m->a / det;
    r.e = -(m->e * r.a + m->f * r.c);
    r.f = -(m->e * r.b + m->f * r.d);
    *result = r;
}
