/*
 * matrix.cpp -- matrices, the CTM and the graphics-state levels.
 */
#include <math.h>

#include "../core/objects.h"
#include "../core/output.h"
#include "matrix.h"

static const pdf_matrix pdf_identity = { 1, 0, 0, 1, 0, 0 };

void pdf_reset_gstate(pdf_document *document)
{
    document->gstate[document->save_level].ctm = pdf_identity;
    document->fill_rule = 0;
}

int pdf_matrix_is_identity(const pdf_matrix *m)
{
    return m->a == 1 && m->b == 0 && m->c == 0 && m->d == 1 && m->e == 0
           && m->f == 0;
}

void pdf_matrix_multiply(const pdf_matrix *m, pdf_matrix *t)
{
    pdf_matrix r;

    r.a = m->a * t->a + m->b * t->c;
    r.b = m->a * t->b + m->b * t->d;
    r.c = m->c * t->a + m->d * t->c;
    r.d = m->c * t->b + m->d * t->d;
    r.e = m->e * t->a + m->f * t->c + t->e;
    r.f = m->e * t->b + m->f * t->d + t->f;
    *t = r;
}

void pdf_matrix_invert(pdf_document *document, const pdf_matrix *m,
                       pdf_matrix *result)
{
    float det = m->a * m->d - m->b * m->c;
    pdf_matrix r;

    if (fabsf(det) < 1.5e-5f) {
        pdf_error(document, PDF_ERR_SYSTEM, "CTM not invertible");
        return;
    }
    r.a = m->d / det;
    r.b = -m->b / det;
    r.c = -m->c / det;
    r.d = m->a / det;
    r.e = -(m->e * r.a + m->f * r.c);
    r.f = -(m->e * r.b + m->f * r.d);
    *result = r;
}

void pdf_concat_ctm(pdf_document *document, const pdf_matrix *m)
{
    if (pdf_matrix_is_identity(m))
        return;
    pdf_end_text(document);
    pdf_printf(document, "%f %f %f %f %f %f cm\n", m->a, m->b, m->c, m->d,
               m->e, m->f);
    pdf_matrix_multiply(m, &document->gstate[document->save_level].ctm);
}

/* ---- Saving and restoring ------------------------------------------------- */

void PDF_save(pdf_document *document)
{
    if (!pdf_is_valid(document))
        return;
    if (!pdf_check_scope(document,
                         PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE,
                         "PDF_save"))
        return;
    if (document->save_level >= PDF_MAX_SAVE_LEVEL - 1) {
        pdf_error(document, PDF_ERR_RUNTIME, "Too many save levels");
        return;
    }
    pdf_end_text(document);
    pdf_puts(document, "q\n");
    document->gstate[document->save_level + 1] =
        document->gstate[document->save_level];
    document->save_level++;
}

void PDF_restore(pdf_document *document)
{
    if (!pdf_is_valid(document))
        return;
    if (!pdf_check_scope(document,
                         PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE,
                         "PDF_restore"))
        return;
    if (document->save_level == 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Invalid restore");
        return;
    }
    pdf_end_text(document);
    pdf_puts(document, "Q\n");
    document->save_level--;
}

/* ---- Transformations ------------------------------------------------------ */

void PDF_scale(pdf_document *document, float sx, float sy)
{
    pdf_matrix m = pdf_identity;

    if (!pdf_is_valid(document))
        return;
    if (!pdf_check_scope(document,
                         PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE,
                         "PDF_scale"))
        return;
    if (sx == 0 || sy == 0) {
        pdf_error(document, PDF_ERR_VALUE, "Zero scaling factor");
        return;
    }
    m.a = sx;
    m.d = sy;
    pdf_concat_ctm(document, &m);
}
