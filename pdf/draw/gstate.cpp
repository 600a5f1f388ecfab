/*
 * gstate.cpp -- the graphics-state levels, PDF_save and PDF_restore, and the
 * CTM.
 */
#include "gstate.h"

#include "../core/content.h"
#include "../core/output.h"

namespace {

const int kDrawingScopes = PDF_SCOPE_PAGE | PDF_SCOPE_PATTERN | PDF_SCOPE_TEMPLATE;

void init_graphics(pdf_document *document) {
    document->graphics =
        (pdf_graphics *)pdf_malloc(document, sizeof(pdf_graphics), "pdf_init_graphics");
    if (document->graphics != NULL) pdf_reset_gstate(document);
}

void cleanup_graphics(pdf_document *document) {
    if (document->graphics != NULL) pdf_free(document, document->graphics);
    document->graphics = NULL;
}

void set_fill_rule(pdf_document *document, const pdf_parameter *row, const char *value) {
    static const char *const kFillRules[] = {"winding", "evenodd", NULL};
    (void)row;
    int index = pdf_choice_index(kFillRules, value);
    if (index < 0)
        pdf_error(document, PDF_ERR_VALUE, "Unknown fill rule '%s'", value);
    else if (document->graphics != NULL)
        document->graphics->fill_rule = index;
}

const pdf_parameter kParameters[] = {
    {"fillrule", kDrawingScopes, 0, set_fill_rule, NULL, NULL, NULL, 0},
    {NULL, 0, 0, NULL, NULL, NULL, NULL, 0},
};

}  // namespace

const pdf_subsystem pdf_graphics_subsystem = {
    init_graphics, cleanup_graphics, pdf_reset_gstate, NULL, NULL, kParameters,
};

pdf_gstate *pdf_current_gstate(pdf_document *document) {
    return &document->graphics->levels[document->content.save_level];
}

void pdf_reset_gstate(pdf_document *document) {
    pdf_current_gstate(document)->ctm = pdf_identity_matrix;
    document->graphics->fill_rule = 0;
}

void pdf_concat_ctm(pdf_document *document, const pdf_matrix *m) {
    if (pdf_matrix_is_identity(m)) return;
    pdf_end_text(document);
    pdf_printf(document, "%f %f %f %f %f %f cm\n", m->a, m->b, m->c, m->d, m->e, m->f);
    pdf_matrix_multiply(m, &pdf_current_gstate(document)->ctm);
}

void PDF_save(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, kDrawingScopes, "PDF_save")) return;
    pdf_content_stream *content = &document->content;
    if (content->save_level >= PDF_MAX_SAVE_LEVEL - 1) {
        pdf_error(document, PDF_ERR_RUNTIME, "Too many save levels");
        return;
    }
    pdf_end_text(document);
    pdf_puts(document, "q\n");
    pdf_gstate *levels = document->graphics->levels;
    levels[content->save_level + 1] = levels[content->save_level];
    content->save_level++;
}

void PDF_restore(pdf_document *document) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, kDrawingScopes, "PDF_restore")) return;
    if (document->content.save_level == 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Invalid restore");
        return;
    }
    pdf_end_text(document);
    pdf_puts(document, "Q\n");
    document->content.save_level--;
}

/* ---- Transformations ------------------------------------------------------ */

void PDF_scale(pdf_document *document, float sx, float sy) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, kDrawingScopes, "PDF_scale")) return;
    if (sx == 0 || sy == 0) {
        pdf_error(document, PDF_ERR_VALUE, "Zero scaling factor");
        return;
    }
    pdf_matrix m = pdf_identity_matrix;
    m.a = sx;
    m.d = sy;
    pdf_concat_ctm(document, &m);
}
