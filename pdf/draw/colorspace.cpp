/*
 * colorspace.cpp -- colour space names and the colourspace registry.
 */
#include "colorspace.h"

#include <string.h>

#include "../core/objects.h"
#include "../core/output.h"

namespace {

const char *const kColorspaceNames[] = {"DeviceGray", "DeviceRGB", "DeviceCMYK", "CalGray",
                                        "CalRGB",     "Lab",       "Indexed",    "Pattern",
                                        "Separation", "Invalid_CS"};

void clear_slots(pdf_colorspace *slots, int from, int to) {
    for (int i = from; i < to; i++) {
        slots[i].used = 0;
        slots[i].name = NULL;
    }
}

void init_colorspaces(pdf_document *document) {
    pdf_colorspace_table *table = (pdf_colorspace_table *)pdf_calloc(
        document, sizeof(pdf_colorspace_table), "pdf_init_colorspaces");
    document->colorspaces = table;
    if (table == NULL) return;
    table->slots = (pdf_colorspace *)pdf_malloc(
        document, sizeof(pdf_colorspace) * PDF_COLORSPACES_CHUNKSIZE, "pdf_init_colorspaces");
    if (table->slots == NULL) return;
    table->capacity = PDF_COLORSPACES_CHUNKSIZE;
    clear_slots(table->slots, 0, PDF_COLORSPACES_CHUNKSIZE);
}

void grow_colorspaces(pdf_document *document) {
    pdf_colorspace_table *table = document->colorspaces;
    int capacity = table->capacity * 2;
    pdf_colorspace *grown = (pdf_colorspace *)pdf_realloc(
        document, table->slots, sizeof(pdf_colorspace) * (size_t)capacity, "pdf_grow_colorspaces");
    if (grown == NULL) return;
    clear_slots(grown, table->capacity, capacity);
    table->slots = grown;
    table->capacity = capacity;
}

void cleanup_colorspaces(pdf_document *document) {
    pdf_colorspace_table *table = document->colorspaces;
    if (table == NULL) return;
    if (table->slots != NULL) {
        for (int i = 0; i < table->count; i++) pdf_free_text(document, &table->slots[i].name);
        pdf_free(document, table->slots);
    }
    pdf_free(document, table);
    document->colorspaces = NULL;
}

/* Lists the slots the content stream used, clearing their marks. */
void write_resources(pdf_document *document) {
    pdf_colorspace_table *table = document->colorspaces;
    int written = 0;
    for (int i = 0; i < table->count; i++) {
        pdf_colorspace *slot = &table->slots[i];
        if (!slot->used) continue;
        if (!written) {
            pdf_puts(document, "/ColorSpace");
            pdf_puts(document, "<<");
            written = 1;
        }
        slot->used = 0;
        pdf_printf(document, "/CS%d %ld 0 R\n", i, slot->object_number);
    }
    if (written) pdf_puts(document, ">>\n");
}

/* The Separation array of one spot colour, with its tint function: tint 0
 * is no ink, the paper's white in every alternate space (1 in gray and RGB,
 * 0 in CMYK), and tint 1 the alternate colour. */
void write_separation(pdf_document *document, const char *name, const pdf_color *alternate) {
    const float *v = alternate->values;
    pdf_puts(document, "[/Separation/");
    pdf_puts(document, name ? name : "");
    pdf_puts(document, "\n");
    switch (alternate->colorspace) {
        case PDF_CS_DEVICEGRAY:
            pdf_puts(document, "/DeviceGray<<\n");
            pdf_puts(document, "/Range[0 1]\n");
            pdf_puts(document, "/C0[1]\n");
            pdf_printf(document, "/C1[%f]\n", v[0]);
            break;
        case PDF_CS_DEVICERGB:
            pdf_puts(document, "/DeviceRGB<<\n");
            pdf_puts(document, "/Range[0 1 0 1 0 1]\n");
            pdf_puts(document, "/C0[1 1 1]\n");
            pdf_printf(document, "/C1[%f %f %f]\n", v[0], v[1], v[2]);
            break;
        case PDF_CS_DEVICECMYK:
            pdf_puts(document, "/DeviceCMYK<<\n");
            pdf_puts(document, "/Range[0 1 0 1 0 1 0 1]\n");
            pdf_puts(document, "/C0[0 0 0 0]\n");
            pdf_printf(document, "/C1[%f %f %f %f]\n", v[0], v[1], v[2], v[3]);
            break;
        case PDF_CS_SEPARATION:
            break;
        default:
            pdf_error(document, PDF_ERR_SYSTEM,
                      "Unknown alternate color space in pdf_write_doc_colorspaces");
            return;
    }
    pdf_puts(document, "/FunctionType 2\n");
    pdf_puts(document, "/Domain[0 1]\n");
    pdf_puts(document, "/N 1\n");
    pdf_puts(document, ">>\n");
    pdf_puts(document, "]\n");
}

void report_unknown_base(pdf_document *document) {
    pdf_error(document, PDF_ERR_SYSTEM,
              "Unknown base or alternate color space in pdf_write_doc_colorspaces");
}

/* A pattern colour space over a spot colour: the base is that colour's
 * Separation space, named by the slot it lives in. */
void write_pattern_over_spot(pdf_document *document, const pdf_colorspace *slot) {
    const pdf_colorspace_table *table = document->colorspaces;
    int base = (int)slot->alternate.values[1];
    if (base < 0 || base >= table->count || table->slots[base].kind != PDF_CS_SEPARATION) {
        report_unknown_base(document);
        return;
    }
    const pdf_colorspace *spot = &table->slots[base];
    pdf_puts(document, "[/Pattern");
    write_separation(document, spot->name, &spot->alternate);
    pdf_puts(document, "]\n");
}

/* One object per slot, at the end of the document. */
void write_objects(pdf_document *document) {
    pdf_colorspace_table *table = document->colorspaces;
    for (int i = 0; i < table->count; i++) {
        const pdf_colorspace *slot = &table->slots[i];
        const char *base = pdf_colorspace_name(slot->alternate.colorspace);
        pdf_begin_obj(document, slot->object_number);
        if (slot->kind == PDF_CS_SEPARATION) {
            write_separation(document, slot->name, &slot->alternate);
        } else if (slot->kind == PDF_CS_PATTERN &&
                   slot->alternate.colorspace == PDF_CS_SEPARATION) {
            write_pattern_over_spot(document, slot);
        } else if (slot->kind == PDF_CS_PATTERN && base != NULL) {
            pdf_printf(document, "[/Pattern/%s]\n", base);
        } else {
            report_unknown_base(document);
            return;
        }
        pdf_puts(document, "endobj\n");
    }
}

}  // namespace

const pdf_subsystem pdf_colorspace_subsystem = {
    init_colorspaces, cleanup_colorspaces, NULL, write_resources, write_objects, NULL, NULL, NULL,
};

const char *pdf_colorspace_name(int code) {
    if (code < 0 || code > PDF_CS_IMAGEMASK) return NULL;
    return kColorspaceNames[code];
}

int pdf_add_colorspace(pdf_document *document, int kind, const char *name,
                       const pdf_color *fill_color) {
    pdf_colorspace_table *table = document->colorspaces;
    if (kind == PDF_CS_SEPARATION && name != NULL) {
        for (int i = 0; i < table->count; i++) {
            const char *known = table->slots[i].name;
            if (known != NULL && strcmp(known, name) == 0) return i;
        }
    }
    if (kind != PDF_CS_SEPARATION && kind != PDF_CS_PATTERN) {
        pdf_error(document, PDF_ERR_SYSTEM, "Unknown color space in pdf_add_colorspace");
        return -1;
    }
    if (table->count == table->capacity) grow_colorspaces(document);

    pdf_colorspace *slot = &table->slots[table->count];
    slot->object_number = pdf_alloc_id(document);
    slot->name = kind == PDF_CS_SEPARATION && name != NULL ? pdf_strdup(document, name) : NULL;
    slot->kind = (pdf_byte)kind;
    if (fill_color != NULL) {
        slot->alternate = *fill_color;
    } else {
        memset(&slot->alternate, 0, sizeof slot->alternate);
        slot->alternate.colorspace = PDF_CS_DEVICEGRAY;
    }
    slot->used = 1;
    return table->count++;
}

int pdf_colorspace_count(const pdf_document *document) {
    return document->colorspaces != NULL ? document->colorspaces->count : 0;
}

pdf_id pdf_use_colorspace(pdf_document *document, int slot) {
    pdf_colorspace *entry = &document->colorspaces->slots[slot];
    entry->used = 1;
    return entry->object_number;
}
