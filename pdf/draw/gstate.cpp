/*
 * gstate.cpp -- the graphics-state levels, PDF_save and PDF_restore, the
 * CTM, and the parameters of the drawing state.
 */
#include "gstate.h"

#include "../core/content.h"
#include "../core/output.h"
#include "color.h"

namespace {

/* A content stream (or the document scope) starts with level 0 at its
 * defaults and black fill and stroke. */
void begin_content(pdf_document *document) {
    pdf_reset_gstate(document);
    pdf_reset_colors(pdf_current_gstate(document));
}

void init_graphics(pdf_document *document) {
    document->graphics =
        (pdf_graphics *)pdf_calloc(document, sizeof(pdf_graphics), "pdf_init_graphics");
    if (document->graphics != NULL) begin_content(document);
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

/* "currentx" (row argument 0) and "currenty" (1). */
float get_current_point(pdf_document *document, const pdf_parameter *row, int modifier) {
    (void)modifier;
    const pdf_gstate *level = pdf_current_gstate(document);
    return row->argument == 0 ? level->current_x : level->current_y;
}

const pdf_parameter kParameters[] = {
    {"fillrule", PDF_DRAWING_SCOPES, 0, set_fill_rule, NULL, NULL, NULL, 0},
    {"currentx", PDF_PATH_SCOPES, 0, NULL, NULL, get_current_point, NULL, 0},
    {"currenty", PDF_PATH_SCOPES, 0, NULL, NULL, get_current_point, NULL, 1},
    {NULL, 0, 0, NULL, NULL, NULL, NULL, 0},
};

}  // namespace

const pdf_subsystem pdf_graphics_subsystem = {
    init_graphics, cleanup_graphics, begin_content, NULL, NULL, kParameters, NULL, NULL,
};

pdf_gstate *pdf_current_gstate(pdf_document *document) {
    return &document->graphics->levels[document->content.save_level];
}

void pdf_reset_gstate(pdf_document *document) {
    pdf_gstate *level = pdf_current_gstate(document);
    level->ctm = pdf_identity_matrix;
    level->current_x = level->current_y = 0;
    level->line_width = 1;
    level->line_cap = 0;
    level->line_join = 0;
    level->miter_limit = 10;
    level->flatness = -1;
    level->dashed = 0;
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
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_save")) return;
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
    if (!pdf_check_scope(document, PDF_DRAWING_SCOPES, "PDF_restore")) return;
    if (document->content.save_level == 0) {
        pdf_error(document, PDF_ERR_RUNTIME, "Invalid restore");
        return;
    }
    pdf_end_text(document);
    pdf_puts(document, "Q\n");
    document->content.save_level--;
}
