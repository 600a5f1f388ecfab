/*
 * parameters.cpp -- the key registry and the four parameter entry points.
 * Every key is validated here; the settings themselves live in the document
 * record and its sub-records.
 */
#include "parameters.h"

#include <stdio.h>
#include <string.h>

#include "../image/images.h"
#include "info.h"
#include "objects.h"
#include "output.h"

namespace {

enum {
    ALL = 0x3F, OBJ = 0x01, PAGE = 0x04, PPT = 0x1C, DPPT = 0x1E, PPTP = 0x3C,
    NOT_OBJ = 0x3E
};

struct registry_entry {
    const char *key;
    int no_modifier;
    int scopes; /* the same for setting and getting */
};

const registry_entry kRegistry[] = {
    {"compress", 1, ALL}, {"flush", 1, ALL}, {"resourcefile", 1, ALL},
    {"debug", 1, ALL}, {"nodebug", 1, ALL}, {"compatibility", 1, OBJ},
    {"prefix", 1, ALL}, {"warning", 1, ALL}, {"binding", 1, ALL},
    {"inerror", 1, ALL}, {"floatdigits", 1, ALL}, {"major", 1, ALL},
    {"minor", 1, ALL}, {"revision", 1, ALL}, {"version", 1, ALL},
    {"pagewidth", 1, PAGE}, {"pageheight", 1, PAGE},
    {"CropBox/llx", 1, PAGE}, {"CropBox/lly", 1, PAGE}, {"CropBox/urx", 1, PAGE},
    {"CropBox/ury", 1, PAGE}, {"BleedBox/llx", 1, PAGE}, {"BleedBox/lly", 1, PAGE},
    {"BleedBox/urx", 1, PAGE}, {"BleedBox/ury", 1, PAGE}, {"TrimBox/llx", 1, PAGE},
    {"TrimBox/lly", 1, PAGE}, {"TrimBox/urx", 1, PAGE}, {"TrimBox/ury", 1, PAGE},
    {"ArtBox/llx", 1, PAGE}, {"ArtBox/lly", 1, PAGE}, {"ArtBox/urx", 1, PAGE},
    {"ArtBox/ury", 1, PAGE}, {"FontAFM", 1, ALL}, {"FontPFM", 1, ALL},
    {"FontOutline", 1, ALL}, {"Encoding", 1, ALL}, {"textx", 1, PPT},
    {"texty", 1, PPT}, {"font", 1, PPT}, {"fontsize", 1, PPT}, {"leading", 1, PPT},
    {"textrise", 1, PPT}, {"horizscaling", 1, DPPT}, {"textrendering", 1, PPT},
    {"charspacing", 1, DPPT}, {"wordspacing", 1, DPPT}, {"underline", 1, PPT},
    {"overline", 1, PPT}, {"strikeout", 1, PPT}, {"fontname", 1, PPT},
    {"fontencoding", 1, PPT}, {"capheight", 0, ALL}, {"ascender", 0, ALL},
    {"descender", 0, ALL}, {"nativeunicode", 1, ALL}, {"fontwarning", 1, ALL},
    {"currentx", 1, PPTP}, {"currenty", 1, PPTP}, {"fillrule", 1, PPT},
    {"scope", 1, ALL}, {"imagewarning", 1, ALL}, {"inheritgstate", 1, ALL},
    {"passthrough", 1, ALL}, {"imagewidth", 0, NOT_OBJ}, {"imageheight", 0, NOT_OBJ},
    {"resx", 0, NOT_OBJ}, {"resy", 0, NOT_OBJ}, {"pdi", 1, ALL},
    {"pdiwarning", 1, ALL}, {"pdistrict", 1, ALL}, {"pdiusebox", 1, ALL},
    {"openaction", 1, DPPT}, {"openmode", 1, DPPT}, {"bookmarkdest", 1, DPPT},
    {"transition", 1, ALL}, {"duration", 1, ALL}, {"base", 1, DPPT},
};

const char *const kOpenActions[] = {"retain", "fitpage", "fitwidth", "fitheight",
                                    "fitbbox", NULL};
const char *const kOpenModes[] = {"none", "bookmarks", "thumbnails", "fullscreen", NULL};
const char *const kTransitions[] = {"none", "split", "blinds", "box", "wipe",
                                    "dissolve", "glitter", "replace", NULL};
const char *const kUseBoxes[] = {"art", "bleed", "crop", "media", "trim", NULL};
const char *const kFillRules[] = {"winding", "evenodd", NULL};
const char *const kBoxPrefixes[PDF_BOX_COUNT] = {"CropBox/", "BleedBox/", "TrimBox/",
                                                 "ArtBox/"};
const char *const kCorners[] = {"llx", "lly", "urx", "ury"};

const registry_entry *find_key(const char *key) {
    for (const registry_entry &entry : kRegistry)
        if (strcmp(entry.key, key) == 0) return &entry;
    return NULL;
}

int is(const char *a, const char *b) { return strcmp(a, b) == 0; }

/* Index of `value` in a null-terminated list, or -1. */
int index_of(const char *const *list, const char *value) {
    for (int i = 0; list[i] != NULL; i++)
        if (strcmp(list[i], value) == 0) return i;
    return -1;
}

/* Common checks of the four entry points: the key, then the scope. Returns
 * the registry entry, or null when the call must end. */
const registry_entry *check_key(pdf_document *document, const char *key,
                                const char *verb) {
    if (key == NULL || key[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Tried to %s NULL parameter", verb);
        return NULL;
    }
    const registry_entry *entry = find_key(key);
    if (entry == NULL) {
        pdf_error(document, PDF_ERR_VALUE, "Tried to %s unknown parameter '%s'", verb, key);
        return NULL;
    }
    return entry;
}

int check_parameter_scope(pdf_document *document, const registry_entry *entry,
                          const char *verb) {
    int scope = pdf_current_scope(document);
    if ((scope & entry->scopes) != 0 || scope == PDF_SCOPE_ERROR) return 1;
    pdf_error(document, PDF_ERR_RUNTIME, "Can't %s parameter '%s' in '%s' scope", verb,
              entry->key, pdf_scope_name(scope));
    return 0;
}

/* "true" or "false"; anything else is reported and gives -1. */
int parse_boolean(pdf_document *document, const char *key, const char *value) {
    if (is(value, "true")) return 1;
    if (is(value, "false")) return 0;
    pdf_error(document, PDF_ERR_VALUE, "Illegal value '%s' for parameter '%s'", value, key);
    return -1;
}

int requires_version(pdf_document *document, const char *key, int version) {
    if (document->compatibility >= version) return 1;
    pdf_error(document, PDF_ERR_RUNTIME, "Parameter '%s' requires PDF %d.%d or higher", key,
              version / 10, version % 10);
    return 0;
}

/* Sets a text setting that may be given only once. */
void set_once(pdf_document *document, char **slot, const char *key, const char *value) {
    if (*slot != NULL) {
        pdf_error(document, PDF_ERR_RUNTIME, "parameter '%s' can be set only once", key);
        return;
    }
    *slot = pdf_strdup(document, value);
}

/* Stores a "name=file" resource line; "name==file" keeps the file name
 * free of the prefix. */
void add_resource_line(pdf_document *document, const char *category, const char *line) {
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

void set_debug_letters(pdf_document *document, const char *letters, int on) {
    for (const unsigned char *p = (const unsigned char *)letters; *p != '\0'; p++) {
        if (on && *p == 'u') {
            if (pdf_current_scope(document) != PDF_SCOPE_DOCUMENT &&
                pdf_current_scope(document) != PDF_SCOPE_ERROR) {
                pdf_error(document, PDF_ERR_RUNTIME, "Can't %s parameter '%s' in '%s' scope",
                          "set", "debug", pdf_scope_name(pdf_current_scope(document)));
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

void set_flush(pdf_document *document, const char *value) {
    if (document->binding != NULL && !is(document->binding, "C++")) {
        pdf_error(document, PDF_ERR_VALUE,
                  "Flush points can only be set from C or C++ language bindings");
        return;
    }
    if (is(value, "none")) document->flush = PDF_FLUSH_NONE;
    else if (is(value, "page")) document->flush |= PDF_FLUSH_PAGE;
    else if (is(value, "content")) document->flush |= PDF_FLUSH_CONTENT;
    else if (is(value, "heavy")) document->flush |= PDF_FLUSH_HEAVY;
    else pdf_error(document, PDF_ERR_VALUE, "Bogus flush point %s", value);
}

/* Sets a byte from a list of names, or reports `message` with the value. */
void set_choice(pdf_document *document, pdf_byte *slot, const char *const *names,
                const char *value, const char *message, int offset) {
    int index = index_of(names, value);
    if (index < 0) {
        pdf_error(document, PDF_ERR_VALUE, message, value);
        return;
    }
    *slot = (pdf_byte)(index + offset);
}

int set_boolean_flag(pdf_document *document, const char *key, const char *value, int *slot) {
    int flag = parse_boolean(document, key, value);
    if (flag >= 0) *slot = flag;
    return flag;
}

void set_debug_flag(pdf_document *document, const char *key, const char *value,
                    unsigned char letter, int inverted) {
    int flag = parse_boolean(document, key, value);
    if (flag >= 0) document->debug[letter] = (pdf_byte)(inverted ? !flag : flag);
}

void set_text_parameter(pdf_document *document, const char *key, const char *value) {
    int index;
    if (is(key, "flush")) set_flush(document, value);
    else if (is(key, "compatibility")) {
        if (is(value, "1.2")) document->compatibility = 12;
        else if (is(value, "1.3")) document->compatibility = 13;
        else if (is(value, "1.4")) document->compatibility = 14;
        else pdf_error(document, PDF_ERR_VALUE, "Unknown compatibility level '%s'", value);
    } else if (is(key, "binding")) {
        if (document->binding == NULL) document->binding = pdf_strdup(document, value);
    } else if (is(key, "warning")) set_debug_flag(document, key, value, 'w', 0);
    else if (is(key, "imagewarning")) set_debug_flag(document, key, value, 'i', 0);
    else if (is(key, "fontwarning")) set_debug_flag(document, key, value, 'F', 0);
    else if (is(key, "pdiwarning")) set_debug_flag(document, key, value, 'p', 0);
    else if (is(key, "passthrough")) set_debug_flag(document, key, value, 'P', 1);
    else if (is(key, "inheritgstate")) set_boolean_flag(document, key, value, &document->inherit_gstate);
    else if (is(key, "underline")) set_boolean_flag(document, key, value, &document->underline);
    else if (is(key, "overline")) set_boolean_flag(document, key, value, &document->overline);
    else if (is(key, "strikeout")) set_boolean_flag(document, key, value, &document->strikeout);
    else if (is(key, "pdistrict")) set_boolean_flag(document, key, value, &document->pdi_strict);
    else if (is(key, "debug")) set_debug_letters(document, value, 1);
    else if (is(key, "nodebug")) set_debug_letters(document, value, 0);
    else if (is(key, "openaction"))
        set_choice(document, &document->open_action, kOpenActions, value, "Unknown open action '%s'", 0);
    else if (is(key, "openmode"))
        set_choice(document, &document->open_mode, kOpenModes, value, "Unknown open mode '%s'", 1);
    else if (is(key, "bookmarkdest"))
        set_choice(document, &document->bookmark_dest, kOpenActions, value,
                   "Unknown bookmark destination '%s'", 0);
    else if (is(key, "transition"))
        set_choice(document, &document->transition, kTransitions, value,
                   "Unknown page transition type '%s'", 0);
    else if (is(key, "base")) {
        char *copy = pdf_strdup(document, value);
        pdf_free_text(document, &document->base_uri);
        document->base_uri = copy;
    } else if (is(key, "inerror")) pdf_set_scope(document, PDF_SCOPE_ERROR);
    else if (is(key, "resourcefile")) set_once(document, &document->resourcefile, key, value);
    else if (is(key, "prefix")) set_once(document, &document->prefix, key, value);
    else if (is(key, "FontAFM") || is(key, "FontPFM") || is(key, "FontOutline") ||
             is(key, "Encoding"))
        add_resource_line(document, key, value);
    else if (is(key, "nativeunicode")) {
        if (is(value, "true") || is(value, "false"))
            pdf_error(document, PDF_ERR_NONFATAL,
                      "Unicode mode setting not required in this configuration");
        else
            pdf_error(document, PDF_ERR_VALUE, "Unknown Unicode mode setting '%s'", value);
    } else if (is(key, "fillrule")) {
        if ((index = index_of(kFillRules, value)) < 0)
            pdf_error(document, PDF_ERR_VALUE, "Unknown fill rule '%s'", value);
        else document->fill_rule = index;
    } else if (is(key, "pdiusebox")) {
        if ((index = index_of(kUseBoxes, value)) < 0)
            pdf_error(document, PDF_ERR_VALUE, "Unknown 'pdiusebox' value '%s'", value);
        else document->pdi_usebox = index;
    } else pdf_error(document, PDF_ERR_VALUE, "Can't set parameter '%s'", key);
}

/* The page box field named by a key such as "TrimBox/urx", or null. */
float *box_field(pdf_document *document, const char *key, int *kind) {
    for (int k = 0; k < PDF_BOX_COUNT; k++) {
        size_t length = strlen(kBoxPrefixes[k]);
        if (strncmp(key, kBoxPrefixes[k], length) != 0) continue;
        for (int corner = 0; corner < 4; corner++)
            if (is(key + length, kCorners[corner])) {
                *kind = k;
                return &document->boxes[k][corner];
            }
    }
    return NULL;
}

void set_page_dimension(pdf_document *document, const char *key, float value) {
    int is_width = is(key, "pagewidth");
    const char *what = is_width ? "width" : "height";
    if (document->compatibility >= 13) {
        if (value < 3 || value > 14400)
            pdf_error(document, PDF_ERR_NONFATAL, "Page %s incompatible with Acrobat 4", what);
    } else if (value < 72 || value > 3240) {
        pdf_error(document, PDF_ERR_RUNTIME, "Page %s incompatible with Acrobat 3", what);
        return;
    }
    if (value <= 0) {
        pdf_error(document, PDF_ERR_VALUE, "Illegal value %f for parameter '%s'", value, key);
        return;
    }
    if (is_width) document->width = value;
    else document->height = value;
}

void set_compression(pdf_document *document, float value) {
    int level = (int)value;
    if (level < 0 || level > 9) {
        pdf_error(document, PDF_ERR_VALUE, "Bogus compression level %f", value);
        return;
    }
    if (pdf_current_scope(document) == PDF_SCOPE_PAGE) {
        pdf_end_contents_section(document);
        document->compress = level;
        pdf_begin_contents_section(document);
    } else {
        document->compress = level;
    }
}

void set_numeric_value(pdf_document *document, const char *key, float value) {
    int kind;
    float *box = box_field(document, key, &kind);
    if (is(key, "compress")) set_compression(document, value);
    else if (is(key, "floatdigits")) {
        int digits = (int)value;
        if (digits < 3 || digits > 6)
            pdf_error(document, PDF_ERR_VALUE, "Invalid floating point output precision %f", value);
        else document->floatdigits = digits;
    } else if (is(key, "pagewidth") || is(key, "pageheight")) set_page_dimension(document, key, value);
    else if (box != NULL) {
        if (kind != PDF_CROPBOX && !requires_version(document, key, 13)) return;
        *box = value;
    } else if (is(key, "duration")) document->duration = value;
    else if (is(key, "leading")) document->text_leading = value;
    else if (is(key, "textrise")) document->text_rise = value;
    else if (is(key, "horizscaling")) document->text_horizscaling = value;
    else if (is(key, "textrendering")) document->text_rendering = value;
    else if (is(key, "charspacing")) document->text_charspacing = value;
    else if (is(key, "wordspacing")) document->text_wordspacing = value;
    else pdf_error(document, PDF_ERR_VALUE, "Can't set parameter '%s'", key);
}

/* The open image named by a query's modifier, or null after reporting. */
const pdf_image *image_for_query(pdf_document *document, const char *key, int handle) {
    if (handle < 0 || handle >= document->image_slot_count ||
        !document->image_slots[handle].occupied) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_get_value/%s", handle, key);
        return NULL;
    }
    return &document->image_slots[handle];
}

float get_numeric_value(pdf_document *document, const char *key, int modifier) {
    if (is(key, "imagewidth") || is(key, "imageheight") || is(key, "resx") || is(key, "resy")) {
        const pdf_image *image = image_for_query(document, key, modifier);
        if (image == NULL) return 0;
        if (is(key, "imagewidth")) return image->width;
        if (is(key, "imageheight")) return image->height;
        if (is(key, "resx")) return image->resolution_x;
        return image->resolution_y;
    }
    if (is(key, "pagewidth")) return document->width;
    if (is(key, "pageheight")) return document->height;
    if (is(key, "capheight") || is(key, "ascender") || is(key, "descender")) {
        pdf_error(document, PDF_ERR_VALUE, "Bad font descriptor %d in PDF_get_value/%s",
                  modifier, key);
        return 0;
    }
    if (is(key, "leading")) return document->text_leading;
    if (is(key, "textrise")) return document->text_rise;
    if (is(key, "horizscaling")) return document->text_horizscaling;
    if (is(key, "textrendering")) return document->text_rendering;
    if (is(key, "charspacing")) return document->text_charspacing;
    if (is(key, "wordspacing")) return document->text_wordspacing;
    if (is(key, "font")) return -1;
    if (is(key, "textx") || is(key, "texty") || is(key, "fontsize") || is(key, "currentx") ||
        is(key, "currenty"))
        return 0;
    pdf_error(document, PDF_ERR_VALUE, "Can't get parameter '%s'", key);
    return 0;
}

const char *boolean_text(int flag) { return flag ? "true" : "false"; }

const char *get_text_parameter(pdf_document *document, const char *key) {
    if (is(key, "scope")) {
        const char *name = pdf_scope_name(pdf_current_scope(document));
        return name != NULL ? name : "(unknown)";
    }
    if (is(key, "inheritgstate")) return boolean_text(document->inherit_gstate);
    if (is(key, "underline")) return boolean_text(document->underline);
    if (is(key, "overline")) return boolean_text(document->overline);
    if (is(key, "strikeout")) return boolean_text(document->strikeout);
    pdf_error(document, PDF_ERR_VALUE, "Can't get parameter '%s'", key);
    return NULL;
}

/* Checks shared by both queries; returns the entry or null. */
const registry_entry *check_query(pdf_document *document, const char *key, float modifier) {
    const registry_entry *entry = check_key(document, key, "get");
    if (entry == NULL || !check_parameter_scope(document, entry, "get")) return NULL;
    if (entry->no_modifier && modifier != 0) {
        pdf_error(document, PDF_ERR_VALUE, "Bad argument %f in PDF_get_value/%s", modifier, key);
        return NULL;
    }
    return entry;
}

}  // namespace

void PDF_set_parameter(pdf_document *document, const char *key, const char *value) {
    if (!pdf_is_valid(document)) return;
    const registry_entry *entry = check_key(document, key, "set");
    if (entry == NULL) return;
    if (value == NULL || value[0] == '\0') {
        pdf_error(document, PDF_ERR_VALUE, "Tried to set parameter '%s' to NULL value", key);
        return;
    }
    if (!check_parameter_scope(document, entry, "set")) return;
    set_text_parameter(document, key, value);
}

void PDF_set_value(pdf_document *document, const char *key, float value) {
    if (!pdf_is_valid(document)) return;
    const registry_entry *entry = check_key(document, key, "set");
    if (entry == NULL || !check_parameter_scope(document, entry, "set")) return;
    set_numeric_value(document, key, value);
}

float PDF_get_value(pdf_document *document, const char *key, float modifier) {
    if (key != NULL) {
        if (is(key, "major")) return PDF_MAJORVERSION;
        if (is(key, "minor")) return PDF_MINORVERSION;
        if (is(key, "revision")) return PDF_REVISION;
    }
    if (!pdf_is_valid(document)) return 0;
    if (check_query(document, key, modifier) == NULL) return 0;
    return get_numeric_value(document, key, (int)modifier);
}

const char *PDF_get_parameter(pdf_document *document, const char *key, float modifier) {
    if (key != NULL) {
        if (is(key, "version")) return PDF_VERSION_STRING;
        if (is(key, "pdi")) return "false";
    }
    if (!pdf_is_valid(document)) return NULL;
    if (check_query(document, key, modifier) == NULL) return NULL;
    return get_text_parameter(document, key);
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
