/*
 * parameters.cpp -- the key registry and the four parameter entry points.
 * Every key is one row of a registry table (the core's below, a subsystem's
 * in its own file); the settings themselves live in the document record and
 * in the subsystems' records.
 */
#include "parameters.h"

#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "content.h"
#include "folio_version.h"
#include "output.h"
#include "parallel_flate.h"
#include "subsystem.h"

namespace {

enum { ALL = 0x3F, OBJ = 0x01, DOC = 0x02, PAGE = 0x04, PPT = 0x1C, DPPT = 0x1E };

int is(const char *a, const char *b) {
    return strcmp(a, b) == 0;
}

/* The record's field at the row's offset. */
int *int_field(pdf_document *document, const pdf_parameter *row) {
    return (int *)((char *)document + row->argument);
}
float *float_field(pdf_document *document, const pdf_parameter *row) {
    return (float *)((char *)document + row->argument);
}
char **text_field(pdf_document *document, const pdf_parameter *row) {
    return (char **)((char *)document + row->argument);
}

/* ---- Text settings ------------------------------------------------------- */

void set_flush(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    if (document->binding != NULL && !is(document->binding, "C++")) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Flush points can only be set from C or C++ language bindings");
        return;
    }
    if (is(value, "none"))
        document->flush = PDF_FLUSH_NONE;
    else if (is(value, "page"))
        document->flush |= PDF_FLUSH_PAGE;
    else if (is(value, "content"))
        document->flush |= PDF_FLUSH_CONTENT;
    else if (is(value, "heavy"))
        document->flush |= PDF_FLUSH_HEAVY;
    else
        pdf_error(document, PDF_ERR_VALUE, "Bogus flush point %s", value);
}

/* Soft masks need PDF 1.4: while "keepalpha" is on, a lower level is
 * refused rather than written into a file that then contains them. */
void set_compatibility(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    int level = is(value, "1.2") ? 12 : is(value, "1.3") ? 13 : is(value, "1.4") ? 14 : 0;
    if (level == 0) {
        pdf_error(document, PDF_ERR_VALUE, "Unknown compatibility level '%s'", value);
        return;
    }
    if (document->keep_alpha && level < 14) {
        pdf_error(document, PDF_ERR_RUNTIME, "Parameter '%s' requires PDF %d.%d or higher",
                  "keepalpha", 1, 4);
        return;
    }
    document->compatibility = level;
}

/* "keepalpha" on raises the compatibility to PDF 1.4, which soft masks
 * need; off leaves the level as it is. */
void set_keep_alpha(pdf_document *document, const pdf_parameter *row, const char *value) {
    int flag = pdf_parse_boolean(document, row->key, value);
    if (flag < 0) return;
    document->keep_alpha = flag;
    if (flag && document->compatibility < 14) document->compatibility = 14;
}

/* The binding is named once; later calls change nothing. */
void set_binding(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    if (document->binding == NULL) document->binding = pdf_strdup(document, value);
}

/* Sets a text setting that may be given only once. */
void set_once(pdf_document *document, const pdf_parameter *row, const char *value) {
    char **slot = text_field(document, row);
    if (*slot != NULL) {
        pdf_error(document, PDF_ERR_RUNTIME, "parameter '%s' can be set only once", row->key);
        return;
    }
    *slot = pdf_strdup(document, value);
}

void set_base_uri(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    char *copy = pdf_strdup(document, value);
    pdf_free_text(document, &document->base_uri);
    document->base_uri = copy;
}

void set_in_error(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    (void)value;
    pdf_set_scope(document, PDF_SCOPE_ERROR);
}

/* The debug flag named by the row's letter, from a boolean. */
void set_debug_flag(pdf_document *document, const pdf_parameter *row, const char *value) {
    int flag = pdf_parse_boolean(document, row->key, value);
    if (flag >= 0) document->debug[row->argument] = (pdf_byte)flag;
}

/* "passthrough" sets the flag that turns passing through off. */
void set_inverted_debug_flag(pdf_document *document, const pdf_parameter *row, const char *value) {
    int flag = pdf_parse_boolean(document, row->key, value);
    if (flag >= 0) document->debug[row->argument] = (pdf_byte)!flag;
}

void set_boolean_field(pdf_document *document, const pdf_parameter *row, const char *value) {
    int flag = pdf_parse_boolean(document, row->key, value);
    if (flag >= 0) *int_field(document, row) = flag;
}

/* "debug" sets, "nodebug" clears (row argument 1 or 0) the flag of every
 * letter of the value. The letter u also needs document scope and makes an
 * output file unbuffered. */
void set_debug_letters(pdf_document *document, const pdf_parameter *row, const char *letters) {
    int on = row->argument;
    for (const unsigned char *p = (const unsigned char *)letters; *p != '\0'; p++) {
        if (on && *p == 'u') {
            int scope = pdf_current_scope(document);
            if (scope != PDF_SCOPE_DOCUMENT && scope != PDF_SCOPE_ERROR) {
                pdf_error(document, PDF_ERR_RUNTIME, "Can't %s parameter '%s' in '%s' scope", "set",
                          "debug", pdf_scope_name(scope));
                return;
            }
            if (document->fp != NULL) {
                pdf_flush_stream(document);
                fflush(document->fp);
                setvbuf(document->fp, NULL, _IONBF, 0);
            }
        }
        document->debug[*p] = (pdf_byte)on;
    }
}

/* Sets a byte from a list of names, or reports `message` with the value. */
void set_choice(pdf_document *document, pdf_byte *slot, const char *const *names, const char *value,
                const char *message, int offset) {
    int index = pdf_choice_index(names, value);
    if (index < 0) {
        pdf_error(document, PDF_ERR_VALUE, message, value);
        return;
    }
    *slot = (pdf_byte)(index + offset);
}

const char *const kDestinations[] = {"retain", "fitpage", "fitwidth", "fitheight", "fitbbox", NULL};

void set_open_action(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    set_choice(document, &document->open_action, kDestinations, value, "Unknown open action '%s'",
               0);
}

void set_open_mode(pdf_document *document, const pdf_parameter *row, const char *value) {
    static const char *const kOpenModes[] = {"none", "bookmarks", "thumbnails", "fullscreen", NULL};
    (void)row;
    set_choice(document, &document->open_mode, kOpenModes, value, "Unknown open mode '%s'", 1);
}

void set_bookmark_destination(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    set_choice(document, &document->bookmark_dest, kDestinations, value,
               "Unknown bookmark destination '%s'", 0);
}

void set_transition(pdf_document *document, const pdf_parameter *row, const char *value) {
    static const char *const kTransitions[] = {"none",     "split",   "blinds",  "box", "wipe",
                                               "dissolve", "glitter", "replace", NULL};
    (void)row;
    set_choice(document, &document->transition, kTransitions, value,
               "Unknown page transition type '%s'", 0);
}

void set_pdi_usebox(pdf_document *document, const pdf_parameter *row, const char *value) {
    static const char *const kUseBoxes[] = {"art", "bleed", "crop", "media", "trim", NULL};
    (void)row;
    set_choice(document, &document->pdi_usebox, kUseBoxes, value, "Unknown 'pdiusebox' value '%s'",
               0);
}

/* Stores a "name=file" resource line; "name==file" keeps the file name
 * free of the prefix. The row's key is the line's category. */
void add_resource_line(pdf_document *document, const pdf_parameter *row, const char *line) {
    const char *category = row->key;
    const char *equals = strchr(line, '=');
    if (equals == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus resource line");
        return;
    }
    const char *file = equals + 1;
    int plain = *file == '=';
    if (plain) file++;
    const char *prefix = (!plain && document->prefix != NULL) ? document->prefix : "";
    size_t name_length = (size_t)(equals - line);
    size_t size = strlen(category) + 1 + name_length + 1 + strlen(prefix) + strlen(file) + 1;
    pdf_resource_entry *entry = (pdf_resource_entry *)pdf_malloc(
        document, sizeof(pdf_resource_entry) + size, "PDF_set_parameter");
    if (entry == NULL) return;
    char *text = (char *)(entry + 1);
    entry->category = text;
    strcpy(text, category);
    text += strlen(category) + 1;
    entry->name = text;
    memcpy(text, line, name_length);
    text[name_length] = '\0';
    text += name_length + 1;
    entry->filename = text;
    strcpy(text, prefix);
    strcat(text, file);
    entry->next = document->resources;
    document->resources = entry;
}

void set_native_unicode(pdf_document *document, const pdf_parameter *row, const char *value) {
    (void)row;
    if (is(value, "true") || is(value, "false"))
        pdf_error(document, PDF_ERR_NONFATAL,
                  "Unicode mode setting not required in this configuration");
    else
        pdf_error(document, PDF_ERR_VALUE, "Unknown Unicode mode setting '%s'", value);
}

/* ---- Numeric settings ---------------------------------------------------- */

void set_compression(pdf_document *document, const pdf_parameter *row, float value) {
    (void)row;
    if (!(value > -1 && value < 10)) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus compression level %f", value);
        return;
    }
    int level = (int)value;
    /* On a page the new level starts with a new content section. */
    if (pdf_current_scope(document) == PDF_SCOPE_PAGE) {
        pdf_end_contents_section(document);
        document->compress = level;
        pdf_begin_contents_section(document);
    } else {
        document->compress = level;
    }
}

/* From then on, large streams are deflated in blocks, on this many
 * threads; the bytes are the same for any count. */
void set_compress_threads(pdf_document *document, const pdf_parameter *row, float value) {
    (void)row;
    if (!(value >= 1 && value < PDF_MAX_COMPRESS_THREADS + 1)) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus thread count %f", value);
        return;
    }
    document->compress_threads = (int)value;
}

void set_float_digits(pdf_document *document, const pdf_parameter *row, float value) {
    (void)row;
    if (!(value >= 3 && value < 7))
        pdf_error(document, PDF_ERR_VALUE, "Invalid floating point output precision %f", value);
    else
        document->floatdigits = (int)value;
}

/* "pagewidth" (row argument 0) and "pageheight" (1). */
void set_page_dimension(pdf_document *document, const pdf_parameter *row, float value) {
    const char *what = row->argument == 0 ? "width" : "height";
    if (document->compatibility >= 13) {
        if (value < 3 || value > 14400)
            pdf_error(document, PDF_ERR_NONFATAL, "Page %s incompatible with Acrobat 4", what);
    } else if (value < 72 || value > 3240) {
        pdf_error(document, PDF_ERR_RUNTIME, "Page %s incompatible with Acrobat 3", what);
        return;
    }
    if (value <= 0) {
        pdf_error(document, PDF_ERR_VALUE, "Illegal value %f for parameter '%s'", value, row->key);
        return;
    }
    if (row->argument == 0)
        document->width = value;
    else
        document->height = value;
}

/* A corner of a page box: row argument box * 4 + corner. Boxes other than
 * the crop box need PDF 1.3. */
void set_box_corner(pdf_document *document, const pdf_parameter *row, float value) {
    int kind = row->argument / 4;
    if (kind != PDF_CROPBOX && document->compatibility < 13) {
        pdf_error(document, PDF_ERR_RUNTIME, "Parameter '%s' requires PDF %d.%d or higher",
                  row->key, 1, 3);
        return;
    }
    document->boxes[kind][row->argument % 4] = value;
}

void set_float_field(pdf_document *document, const pdf_parameter *row, float value) {
    *float_field(document, row) = value;
}

/* ---- Queries ------------------------------------------------------------- */

float get_constant(pdf_document *document, const pdf_parameter *row, int modifier) {
    (void)document;
    (void)modifier;
    return (float)row->argument;
}

float get_float_field(pdf_document *document, const pdf_parameter *row, int modifier) {
    (void)modifier;
    return *float_field(document, row);
}

float get_compress_threads(pdf_document *document, const pdf_parameter *row, int modifier) {
    (void)row;
    (void)modifier;
    return document->compress_threads > 0 ? (float)document->compress_threads : 1;
}

float get_page_dimension(pdf_document *document, const pdf_parameter *row, int modifier) {
    (void)modifier;
    return row->argument == 0 ? document->width : document->height;
}

/* Font metrics: there are no fonts, so every handle is bad. */
float get_font_metric(pdf_document *document, const pdf_parameter *row, int modifier) {
    pdf_error(document, PDF_ERR_VALUE, "Bad font descriptor %d in PDF_get_value/%s", modifier,
              row->key);
    return 0;
}

const char *get_version(pdf_document *document, const pdf_parameter *row) {
    (void)document;
    (void)row;
    return FOLIO_VERSION_STRING;
}

const char *get_false(pdf_document *document, const pdf_parameter *row) {
    (void)document;
    (void)row;
    return "false";
}

const char *get_scope(pdf_document *document, const pdf_parameter *row) {
    (void)row;
    const char *name = pdf_scope_name(pdf_current_scope(document));
    return name != NULL ? name : "(unknown)";
}

const char *get_boolean_field(pdf_document *document, const pdf_parameter *row) {
    return *int_field(document, row) ? "true" : "false";
}

/* ---- The registry -------------------------------------------------------- */

#define FIELD(name) ((int)offsetof(pdf_document, name))
#define BOX(kind, corner) ((kind)*4 + (corner))

const pdf_parameter kRegistry[] = {
    {"compress", ALL, 0, NULL, set_compression, NULL, NULL, 0},
    {"flush", ALL, 0, set_flush, NULL, NULL, NULL, 0},
    {"resourcefile", ALL, 0, set_once, NULL, NULL, NULL, FIELD(resourcefile)},
    {"debug", ALL, 0, set_debug_letters, NULL, NULL, NULL, 1},
    {"nodebug", ALL, 0, set_debug_letters, NULL, NULL, NULL, 0},
    {"compatibility", OBJ, 0, set_compatibility, NULL, NULL, NULL, 0},
    {"prefix", ALL, 0, set_once, NULL, NULL, NULL, FIELD(prefix)},
    {"warning", ALL, 0, set_debug_flag, NULL, NULL, NULL, 'w'},
    {"binding", ALL, 0, set_binding, NULL, NULL, NULL, 0},
    {"inerror", ALL, 0, set_in_error, NULL, NULL, NULL, 0},
    {"floatdigits", ALL, 0, NULL, set_float_digits, NULL, NULL, 0},
    {"major", ALL, PDF_PARAMETER_CONSTANT, NULL, NULL, get_constant, NULL, FOLIO_VERSION_MAJOR},
    {"minor", ALL, PDF_PARAMETER_CONSTANT, NULL, NULL, get_constant, NULL, FOLIO_VERSION_MINOR},
    {"revision", ALL, PDF_PARAMETER_CONSTANT, NULL, NULL, get_constant, NULL,
     FOLIO_VERSION_REVISION},
    {"version", ALL, PDF_PARAMETER_CONSTANT, NULL, NULL, NULL, get_version, 0},
    {"pagewidth", PAGE, 0, NULL, set_page_dimension, get_page_dimension, NULL, 0},
    {"pageheight", PAGE, 0, NULL, set_page_dimension, get_page_dimension, NULL, 1},
    {"CropBox/llx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_CROPBOX, 0)},
    {"CropBox/lly", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_CROPBOX, 1)},
    {"CropBox/urx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_CROPBOX, 2)},
    {"CropBox/ury", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_CROPBOX, 3)},
    {"BleedBox/llx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_BLEEDBOX, 0)},
    {"BleedBox/lly", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_BLEEDBOX, 1)},
    {"BleedBox/urx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_BLEEDBOX, 2)},
    {"BleedBox/ury", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_BLEEDBOX, 3)},
    {"TrimBox/llx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_TRIMBOX, 0)},
    {"TrimBox/lly", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_TRIMBOX, 1)},
    {"TrimBox/urx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_TRIMBOX, 2)},
    {"TrimBox/ury", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_TRIMBOX, 3)},
    {"ArtBox/llx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_ARTBOX, 0)},
    {"ArtBox/lly", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_ARTBOX, 1)},
    {"ArtBox/urx", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_ARTBOX, 2)},
    {"ArtBox/ury", PAGE, 0, NULL, set_box_corner, NULL, NULL, BOX(PDF_ARTBOX, 3)},
    {"FontAFM", ALL, 0, add_resource_line, NULL, NULL, NULL, 0},
    {"FontPFM", ALL, 0, add_resource_line, NULL, NULL, NULL, 0},
    {"FontOutline", ALL, 0, add_resource_line, NULL, NULL, NULL, 0},
    {"Encoding", ALL, 0, add_resource_line, NULL, NULL, NULL, 0},
    {"textx", PPT, 0, NULL, NULL, get_constant, NULL, 0},
    {"texty", PPT, 0, NULL, NULL, get_constant, NULL, 0},
    {"font", PPT, 0, NULL, NULL, get_constant, NULL, -1},
    {"fontsize", PPT, 0, NULL, NULL, get_constant, NULL, 0},
    {"leading", PPT, 0, NULL, set_float_field, get_float_field, NULL, FIELD(text_leading)},
    {"textrise", PPT, 0, NULL, set_float_field, get_float_field, NULL, FIELD(text_rise)},
    {"horizscaling", DPPT, 0, NULL, set_float_field, get_float_field, NULL,
     FIELD(text_horizscaling)},
    {"textrendering", PPT, 0, NULL, set_float_field, get_float_field, NULL, FIELD(text_rendering)},
    {"charspacing", DPPT, 0, NULL, set_float_field, get_float_field, NULL, FIELD(text_charspacing)},
    {"wordspacing", DPPT, 0, NULL, set_float_field, get_float_field, NULL, FIELD(text_wordspacing)},
    {"underline", PPT, 0, set_boolean_field, NULL, NULL, get_boolean_field, FIELD(underline)},
    {"overline", PPT, 0, set_boolean_field, NULL, NULL, get_boolean_field, FIELD(overline)},
    {"strikeout", PPT, 0, set_boolean_field, NULL, NULL, get_boolean_field, FIELD(strikeout)},
    {"fontname", PPT, 0, NULL, NULL, NULL, NULL, 0},
    {"fontencoding", PPT, 0, NULL, NULL, NULL, NULL, 0},
    {"capheight", ALL, PDF_PARAMETER_TAKES_HANDLE, NULL, NULL, get_font_metric, NULL, 0},
    {"ascender", ALL, PDF_PARAMETER_TAKES_HANDLE, NULL, NULL, get_font_metric, NULL, 0},
    {"descender", ALL, PDF_PARAMETER_TAKES_HANDLE, NULL, NULL, get_font_metric, NULL, 0},
    {"nativeunicode", ALL, 0, set_native_unicode, NULL, NULL, NULL, 0},
    {"fontwarning", ALL, 0, set_debug_flag, NULL, NULL, NULL, 'F'},
    {"scope", ALL, 0, NULL, NULL, NULL, get_scope, 0},
    {"imagewarning", ALL, 0, set_debug_flag, NULL, NULL, NULL, 'i'},
    {"inheritgstate", ALL, 0, set_boolean_field, NULL, NULL, get_boolean_field,
     FIELD(inherit_gstate)},
    {"passthrough", ALL, 0, set_inverted_debug_flag, NULL, NULL, NULL, 'P'},
    {"keepalpha", OBJ, 0, set_keep_alpha, NULL, NULL, get_boolean_field, FIELD(keep_alpha)},
    {"pdi", ALL, PDF_PARAMETER_CONSTANT, NULL, NULL, NULL, get_false, 0},
    {"pdiwarning", ALL, 0, set_debug_flag, NULL, NULL, NULL, 'p'},
    {"pdistrict", ALL, 0, set_boolean_field, NULL, NULL, NULL, FIELD(pdi_strict)},
    {"pdiusebox", ALL, 0, set_pdi_usebox, NULL, NULL, NULL, 0},
    {"openaction", DPPT, 0, set_open_action, NULL, NULL, NULL, 0},
    {"openmode", DPPT, 0, set_open_mode, NULL, NULL, NULL, 0},
    {"bookmarkdest", DPPT, 0, set_bookmark_destination, NULL, NULL, NULL, 0},
    {"transition", ALL, 0, set_transition, NULL, NULL, NULL, 0},
    {"duration", ALL, 0, NULL, set_float_field, NULL, NULL, FIELD(duration)},
    {"base", DPPT, 0, set_base_uri, NULL, NULL, NULL, 0},
    {"imagepredictor", DOC, 0, set_boolean_field, NULL, NULL, get_boolean_field,
     FIELD(image_predictor)},
    {"compressthreads", DOC, 0, NULL, set_compress_threads, get_compress_threads, NULL, 0},
    {NULL, 0, 0, NULL, NULL, NULL, NULL, 0},
};

/* ---- The entry points' shared checks ------------------------------------- */

/* The core's row for `key`, else a subsystem's, else null. */
const pdf_parameter *find_key(const char *key) {
    for (const pdf_parameter *row = kRegistry; row->key != NULL; row++)
        if (is(row->key, key)) return row;
    return pdf_find_subsystem_parameter(key);
}

/* The row of `key`, or null for a null key or an unknown one. */
const pdf_parameter *find_row(const char *key) {
    return key != NULL && key[0] != '\0' ? find_key(key) : NULL;
}

/* `row`, the row found for `key`; null after reporting a missing or unknown
 * key. */
const pdf_parameter *check_key(pdf_document *document, const char *key, const pdf_parameter *row,
                               const char *verb) {
    if (key == NULL || key[0] == '\0')
        pdf_error(document, PDF_ERR_VALUE, "Tried to %s NULL parameter", verb);
    else if (row == NULL)
        pdf_error(document, PDF_ERR_VALUE, "Tried to %s unknown parameter '%s'", verb, key);
    return row;
}

/* In the error scope the call goes on without a report. */
int check_parameter_scope(pdf_document *document, const pdf_parameter *row, const char *verb) {
    int scope = pdf_current_scope(document);
    if ((scope & row->scopes) != 0 || scope == PDF_SCOPE_ERROR) return 1;
    pdf_error(document, PDF_ERR_RUNTIME, "Can't %s parameter '%s' in '%s' scope", verb, row->key,
              pdf_scope_name(scope));
    return 0;
}

/* A modifier that truncates to an int: NaN and out-of-range values do not
 * name any handle. */
int is_handle(float modifier) {
    return modifier > -2147483648.0f && modifier < 2147483648.0f;
}

/* The checks of both queries on the row found for `key`; returns the row
 * or null. */
const pdf_parameter *check_query(pdf_document *document, const char *key, const pdf_parameter *row,
                                 float modifier) {
    row = check_key(document, key, row, "get");
    if (row == NULL || !check_parameter_scope(document, row, "get")) return NULL;
    if ((!(row->flags & PDF_PARAMETER_TAKES_HANDLE) && modifier != 0) || !is_handle(modifier)) {
        pdf_error(document, PDF_ERR_VALUE, "Bad argument %f in PDF_get_value/%s", modifier, key);
        return NULL;
    }
    return row;
}

/* True for a row answered without a document. */
int is_constant(const pdf_parameter *row) {
    return row != NULL && (row->flags & PDF_PARAMETER_CONSTANT);
}

void report_missing_handler(pdf_document *document, const char *verb, const char *key) {
    pdf_error(document, PDF_ERR_VALUE, "Can't %s parameter '%s'", verb, key);
}

}  // namespace

int pdf_choice_index(const char *const *names, const char *value) {
    for (int i = 0; names[i] != NULL; i++)
        if (strcmp(names[i], value) == 0) return i;
    return -1;
}

int pdf_parse_boolean(pdf_document *document, const char *key, const char *value) {
    if (is(value, "true")) return 1;
    if (is(value, "false")) return 0;
    pdf_error(document, PDF_ERR_VALUE, "Illegal value '%s' for parameter '%s'", value, key);
    return -1;
}

void PDF_set_parameter(pdf_document *document, const char *key, const char *value) {
    if (!pdf_is_valid(document)) return;
    const pdf_parameter *row = check_key(document, key, find_row(key), "set");
    if (row == NULL) return;
    if (value == NULL || value[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Tried to set parameter '%s' to NULL value", key);
        return;
    }
    if (!check_parameter_scope(document, row, "set")) return;
    if (row->set_text == NULL)
        report_missing_handler(document, "set", key);
    else
        row->set_text(document, row, value);
}

void PDF_set_value(pdf_document *document, const char *key, float value) {
    if (!pdf_is_valid(document)) return;
    const pdf_parameter *row = check_key(document, key, find_row(key), "set");
    if (row == NULL || !check_parameter_scope(document, row, "set")) return;
    if (isnan(value)) {
        pdf_error(document, PDF_ERR_VALUE, "Value for parameter '%s' is not a number (NaN)", key);
        return;
    }
    if (row->set_value == NULL)
        report_missing_handler(document, "set", key);
    else
        row->set_value(document, row, value);
}

float PDF_get_value(pdf_document *document, const char *key, float modifier) {
    const pdf_parameter *row = find_row(key);
    if (is_constant(row) && row->get_value != NULL) return row->get_value(document, row, 0);
    if (!pdf_is_valid(document)) return 0;
    row = check_query(document, key, row, modifier);
    if (row == NULL) return 0;
    if (row->get_value == NULL) {
        report_missing_handler(document, "get", key);
        return 0;
    }
    return row->get_value(document, row, (int)modifier);
}

const char *PDF_get_parameter(pdf_document *document, const char *key, float modifier) {
    const pdf_parameter *row = find_row(key);
    if (is_constant(row) && row->get_text != NULL) return row->get_text(document, row);
    if (!pdf_is_valid(document)) return NULL;
    row = check_query(document, key, row, modifier);
    if (row == NULL) return NULL;
    if (row->get_text == NULL) {
        report_missing_handler(document, "get", key);
        return NULL;
    }
    return row->get_text(document, row);
}

void pdf_cleanup_parameters(pdf_document *document) {
    pdf_free_text(document, &document->binding);
    pdf_free_text(document, &document->prefix);
    pdf_free_text(document, &document->resourcefile);
    while (document->resources != NULL) {
        pdf_resource_entry *entry = document->resources;
        document->resources = entry->next;
        pdf_free(document, entry);
    }
}
