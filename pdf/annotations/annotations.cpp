/*
 * annotations.cpp -- the calls that add notes, links and file attachments to
 * the page being written, and the document's border settings.
 */
#include "annotations.h"

#include <string.h>

#include "../core/parameters.h"

namespace {

/* Icon choices by index of the icon name table (annotation_writer.cpp):
 * 0 to 3 for attachments, 4 to 10 for notes. */
const char *const kIconChoices[] = {"graph",        "paperclip", "pushpin", "tag",
                                    "comment",      "insert",    "note",    "paragraph",
                                    "newparagraph", "key",       "help",    NULL};
const int kFirstNoteIcon = 4;

const char *const kDestinations[] = {"retain", "fitpage", "fitwidth", "fitheight", "fitbbox", NULL};
const int kFitPage = 1;

/* The checks every adding call starts with; nonzero when it may go on. */
int may_add(pdf_document *document, const char *function, const float *rect) {
    return pdf_is_valid(document) && pdf_check_scope(document, PDF_SCOPE_PAGE, function) &&
           pdf_check_numbers(document, function, 1, 4, rect[0], rect[1], rect[2], rect[3]);
}

/* The icon index of `icon` among the choices from `first` to `last`; -1
 * when it is none of them. */
int icon_index(const char *icon, int first, int last) {
    int index = pdf_choice_index(kIconChoices, icon);
    return index >= first && index <= last ? index : -1;
}

/* The destination of `name` (null: fit the page); -1 after the error. */
int destination(pdf_document *document, const char *name, const char *function) {
    if (name == NULL) return kFitPage;
    int index = pdf_choice_index(kDestinations, name);
    if (index < 0)
        pdf_error(document, PDF_ERR_VALUE, "Unknown destination type '%s' in %s", name, function);
    return index;
}

/* A copy of `text` in `*field`, when there is a text. */
void set_text(pdf_document *document, char **field, const char *text) {
    if (text != NULL) *field = pdf_strdup(document, text);
}

/* Border colour components lie from 0 to 1. */
int check_border_color(pdf_document *document, const char *name, float value) {
    if (value >= 0 && value <= 1) return 1;
    pdf_error(document, PDF_ERR_VALUE, "Bogus %s color value %f for annotation border", name,
              value);
    return 0;
}

}  // namespace

/* The record is in the list before its texts are copied, so that a memory
 * error while copying leaves nothing the list does not release. */
pdf_annotation *pdf_new_annotation(pdf_document *document, int kind, const float *rect,
                                   const char *routine) {
    pdf_annotation_list *list = document->annotations;
    pdf_annotation *annotation =
        (pdf_annotation *)pdf_calloc(document, sizeof(pdf_annotation), routine);
    if (annotation == NULL) return NULL;
    annotation->kind = (pdf_byte)kind;
    memcpy(annotation->rect, rect, sizeof annotation->rect);
    annotation->border = list->border;
    if (list->last != NULL)
        list->last->next = annotation;
    else
        list->first = annotation;
    list->last = annotation;
    return annotation;
}

void PDF_add_note(pdf_document *document, float llx, float lly, float urx, float ury,
                  const char *contents, const char *title, const char *icon, int open) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_add_note", rect)) return;
    int has_icon = icon != NULL && icon[0] != '\0';
    if (has_icon && document->compatibility == 12) {
        pdf_error(document, PDF_ERR_RUNTIME, "Note icons are not supported in PDF 1.2");
        return;
    }
    int index = has_icon ? icon_index(icon, kFirstNoteIcon, 10) : PDF_ICON_NOTE;
    if (index < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Unknown icon type '%s' for text note", icon);
        return;
    }
    pdf_annotation *note = pdf_new_annotation(document, PDF_ANNOT_NOTE, rect, "pdf_add_note");
    if (note == NULL) return;
    note->icon = (pdf_byte)index;
    note->open = open;
    set_text(document, &note->contents, contents);
    set_text(document, &note->title, title);
}

/* A page number below 1 names no page. One above the pages written so far
 * reserves that page's object number when the link is written. */
void PDF_add_locallink(pdf_document *document, float llx, float lly, float urx, float ury, int page,
                       const char *dest) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_add_locallink", rect)) return;
    if (page < 1) {
        pdf_error(document, PDF_ERR_VALUE, "Bad page number %d in PDF_add_locallink", page);
        return;
    }
    int fit = destination(document, dest, "PDF_add_locallink");
    if (fit < 0) return;
    pdf_annotation *link =
        pdf_new_annotation(document, PDF_ANNOT_LOCAL_LINK, rect, "PDF_add_locallink");
    if (link == NULL) return;
    link->page = page;
    link->destination = (pdf_byte)fit;
}

void PDF_add_pdflink(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *filename, int page, const char *dest) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_add_pdflink", rect)) return;
    if (filename == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "NULL filename in PDF_add_pdflink");
        return;
    }
    int fit = destination(document, dest, "PDF_add_pdflink");
    if (fit < 0) return;
    pdf_annotation *link =
        pdf_new_annotation(document, PDF_ANNOT_PDF_LINK, rect, "PDF_add_pdflink");
    if (link == NULL) return;
    link->page = page;
    link->destination = (pdf_byte)fit;
    set_text(document, &link->target, filename);
}

void PDF_add_weblink(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *url) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_add_weblink", rect)) return;
    if (url == NULL || url[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "NULL URL in PDF_add_weblink");
        return;
    }
    pdf_annotation *link =
        pdf_new_annotation(document, PDF_ANNOT_WEB_LINK, rect, "PDF_add_weblink");
    if (link != NULL) set_text(document, &link->target, url);
}

void PDF_add_launchlink(pdf_document *document, float llx, float lly, float urx, float ury,
                        const char *filename) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_add_launchlink", rect)) return;
    if (filename == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "NULL filename in PDF_add_launchlink");
        return;
    }
    pdf_annotation *link =
        pdf_new_annotation(document, PDF_ANNOT_LAUNCH_LINK, rect, "PDF_add_launchlink");
    if (link != NULL) set_text(document, &link->target, filename);
}

void PDF_attach_file(pdf_document *document, float llx, float lly, float urx, float ury,
                     const char *filename, const char *description, const char *author,
                     const char *mimetype, const char *icon) {
    const float rect[4] = {llx, lly, urx, ury};
    if (!may_add(document, "PDF_attach_file", rect)) return;
    if (document->compatibility == 12) {
        pdf_error(document, PDF_ERR_RUNTIME, "File attachments are not supported in PDF 1.2");
        return;
    }
    if (filename == NULL || filename[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Empty file name for file attachment");
        return;
    }
    int index = icon == NULL ? PDF_ICON_PUSHPIN : icon_index(icon, 0, kFirstNoteIcon - 1);
    if (index < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Unknown icon type '%s'for embedded file", icon);
        return;
    }
    pdf_annotation *attachment =
        pdf_new_annotation(document, PDF_ANNOT_ATTACHMENT, rect, "PDF_attach_file");
    if (attachment == NULL) return;
    attachment->icon = (pdf_byte)index;
    set_text(document, &attachment->target, filename);
    set_text(document, &attachment->contents, description);
    set_text(document, &attachment->title, author);
    set_text(document, &attachment->mime_type, mimetype);
}

void PDF_set_border_style(pdf_document *document, const char *style, float width) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_set_border_style"))
        return;
    if (!pdf_check_numbers(document, "PDF_set_border_style", 2, 1, width)) return;
    int dashed;
    if (style == NULL || strcmp(style, "solid") == 0) {
        dashed = 0;
    } else if (strcmp(style, "dashed") == 0) {
        dashed = 1;
    } else {
        pdf_error(document, PDF_ERR_VALUE, "Unknown annotation border style '%s'", style);
        return;
    }
    if (width < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Negative annotation border width %f", width);
        return;
    }
    pdf_border *border = &document->annotations->border;
    border->style = (pdf_byte)(dashed ? PDF_BORDER_DASHED : PDF_BORDER_SOLID);
    border->width = width;
}

void PDF_set_border_color(pdf_document *document, float red, float green, float blue) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_set_border_color"))
        return;
    if (!pdf_check_numbers(document, "PDF_set_border_color", 1, 3, red, green, blue)) return;
    if (!check_border_color(document, "red", red) ||
        !check_border_color(document, "green", green) ||
        !check_border_color(document, "blue", blue))
        return;
    float *color = document->annotations->border.color;
    color[0] = red;
    color[1] = green;
    color[2] = blue;
}

void PDF_set_border_dash(pdf_document *document, float dash, float gap) {
    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_DOCUMENT | PDF_SCOPE_PAGE, "PDF_set_border_dash"))
        return;
    if (!pdf_check_numbers(document, "PDF_set_border_dash", 1, 2, dash, gap)) return;
    if (dash < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Negative first annotation border dash value %f", dash);
        return;
    }
    if (gap < 0) {
        pdf_error(document, PDF_ERR_VALUE, "Negative second annotation border dash value %f", gap);
        return;
    }
    document->annotations->border.dash[0] = dash;
    document->annotations->border.dash[1] = gap;
}
