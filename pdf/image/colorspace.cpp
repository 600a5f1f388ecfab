/*
 * colorspace.cpp -- colour space names and the colourspace registry.
 */
#include <string.h>

#include "../core/objects.h"
#include "../core/output.h"
#include "colorspace.h"

static const char *const pdf_colorspace_names[] = {
    "DeviceGray", "DeviceRGB", "DeviceCMYK", "CalGray", "CalRGB",
    "Lab", "Indexed", "Pattern", "Separation", "Invalid_CS"
};

const char *pdf_colorspace_name(int code)
{
    if (code < 0 || code > PDF_CS_IMAGEMASK)
        return NULL;
    return pdf_colorspace_names[code];
}

static void pdf_clear_colorspace_slots(pdf_colorspace *slots, int from, int to)
{
    int i;

    for (i = from; i < to; i++) {
        slots[i].used_on_page = 0;
        slots[i].name = NULL;
    }
}

void pdf_init_colorspaces(pdf_document *document)
{
    document->colorspace_count = 0;
    document->colorspace_capacity = PDF_COLORSPACES_CHUNKSIZE;
    document->colorspaces = (pdf_colorspace *)pdf_malloc(
        document, sizeof(pdf_colorspace) * PDF_COLORSPACES_CHUNKSIZE,
        "pdf_init_colorspaces");
    pdf_clear_colorspace_slots(document->colorspaces, 0, PDF_COLORSPACES_CHUNKSIZE);
}

void pdf_grow_colorspaces(pdf_document *document)
{
    int capacity = document->colorspace_capacity * 2;

    document->colorspaces = (pdf_colorspace *)pdf_realloc(
        document, document->colorspaces, sizeof(pdf_colorspace) * (size_t)capacity,
        "pdf_grow_colorspaces");
    pdf_clear_colorspace_slots(document->colorspaces,
                               document->colorspace_capacity, capacity);
    document->colorspace_capacity = capacity;
}

int pdf_add_colorspace(pdf_document *document, int kind, const char *name,
                       const pdf_color *fill_color)
{
    pdf_colorspace *slot;
    int i;

    if (kind == PDF_CS_SEPARATION && name != NULL) {
        for (i = 0; i < document->colorspace_count; i++) {
            const char *known = document->colorspaces[i].name;

            if (known != NULL && strcmp(known, name) == 0)
                return i;
        }
    }
    if (kind != PDF_CS_SEPARATION && kind != PDF_CS_PATTERN) {
        pdf_error(document, PDF_ERR_SYSTEM,
                  "Unknown color space in pdf_add_colorspace");
        return -1;
    }
    if (document->colorspace_count == document->colorspace_capacity)
        pdf_grow_colorspaces(document);

    slot = &document->colorspaces[document->colorspace_count];
    slot->object_number = pdf_alloc_id(document);
    slot->name = kind == PDF_CS_SEPARATION && name != NULL
                     ? pdf_strdup(document, name) : NULL;
    slot->kind = (pdf_byte)kind;
    if (fill_color != NULL) {
        slot->alternate = *fill_color;
    } else {
        memset(&slot->alternate, 0, sizeof slot->alternate);
        slot->alternate.colorspace = PDF_CS_DEVICEGRAY;
    }
    slot->used_on_page = 1;
    return document->colorspace_count++;
}

/* Lists the slots the page (pattern, template) used, clearing their marks. */
void pdf_write_page_colorspaces(pdf_document *document)
{
    int i, written = 0;

    for (i = 0; i < document->colorspace_count; i++) {
        pdf_colorspace *slot = &document->colorspaces[i];

        if (!slot->used_on_page)
            continue;
        if (!written) {
            pdf_puts(document, "/ColorSpace");
            pdf_puts(document, "<<");
            written = 1;
        }
        slot->used_on_page = 0;
        pdf_printf(document, "/CS%d %ld 0 R\n", i, slot->object_number);
    }
    if (written)
        pdf_puts(document, ">>\n");
}

/* The Separation array of one spot colour, with its tint function. */
static void pdf_write_separation(pdf_document *document, const char *name,
                                 const pdf_color *alternate)
{
    const float *v = alternate->values;

    pdf_puts(document, "[/Separation/");
    pdf_puts(document, name ? name : "");
    pdf_puts(document, "\n");
    switch (alternate->colorspace) {
    case PDF_CS_DEVICEGRAY:
        pdf_puts(document, "/DeviceGray<<\n");
        pdf_puts(document, "/Range[0 1]\n");
        pdf_puts(document, "/C0[0]\n");
        pdf_printf(document, "/C1[%f]\n", v[0]);
        break;
    case PDF_CS_DEVICERGB:
        pdf_puts(document, "/DeviceRGB<<\n");
        pdf_puts(document, "/Range[0 1 0 1 0 1]\n");
        pdf_puts(document, "/C0[0 0 0]\n");
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

void pdf_write_doc_colorspaces(pdf_document *document)
{
    int i;

    for (i = 0; i < document->colorspace_count; i++) {
        pdf_colorspace *slot = &document->colorspaces[i];

        pdf_begin_obj(document, slot->object_number);
        if (slot->kind == PDF_CS_SEPARATION) {
            pdf_write_separation(document, slot->name, &slot->alternate);
        } else if (slot->kind == PDF_CS_PATTERN
                   && slot->alternate.colorspace == PDF_CS_SEPARATION) {
            /* A pattern over a spot colour: the base is that colour's
             * Separation space, named by the slot it lives in. */
            int base = (int)slot->alternate.values[1];
            pdf_colorspace *spot;

            if (base < 0 || base >= document->colorspace_count
                || document->colorspaces[base].kind != PDF_CS_SEPARATION) {
                pdf_error(document, PDF_ERR_SYSTEM,
                          "Unknown base or alternate color space in "
                          "pdf_write_doc_colorspaces");
                return;
            }
            spot = &document->colorspaces[base];
            pdf_puts(document, "[/Pattern");
            pdf_write_separation(document, spot->name, &spot->alternate);
            pdf_puts(document, "]\n");
        } else if (slot->kind == PDF_CS_PATTERN
                   && pdf_colorspace_name(slot->alternate.colorspace) != NULL) {
            pdf_printf(document, "[/Pattern/%s]\n",
                       pdf_colorspace_name(slot->alternate.colorspace));
        } else {
            pdf_error(document, PDF_ERR_SYSTEM,
                      "Unknown base or alternate color space in "
                      "pdf_write_doc_colorspaces");
            return;
        }
        pdf_puts(document, "endobj\n");
    }
}

void pdf_cleanup_colorspaces(pdf_document *document)
{
    int i;

    if (document->colorspaces == NULL)
        return;
    for (i = 0; i < document->colorspace_count; i++)
        pdf_free_text(document, &document->colorspaces[i].name);
    pdf_free(document, document->colorspaces);
    document->colorspaces = NULL;
    document->colorspace_count = 0;
    document->colorspace_capacity = 0;
}
