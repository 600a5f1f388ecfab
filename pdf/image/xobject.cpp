/*
 * xobject.cpp -- the XObject table, the image XObject writer and the
 * operations that copy a data source into the open stream.
 */
#include <string.h>

#include "xobject.h"

#include "../core/content.h"
#include "../core/data_source.h"
#include "../core/objects.h"
#include "../core/output.h"
#include "../draw/colorspace.h"
#include "mask_stream.h"
#include "row_filter.h"
#include "stream_check.h"

/* ---- The XObject table ---------------------------------------------------- */

void pdf_init_xobjects(pdf_document *document) {
    pdf_image_table *table = document->images;

    table->xobject_count = 0;
    table->xobjects = (pdf_xobject *)pdf_calloc(
        document, sizeof(pdf_xobject) * PDF_XOBJECTS_CHUNKSIZE, "pdf_init_xobjects");
    if (table->xobjects != NULL) table->xobject_capacity = PDF_XOBJECTS_CHUNKSIZE;
}

void pdf_free_xobjects(pdf_document *document) {
    pdf_image_table *table = document->images;

    if (table->xobjects != NULL) pdf_free(document, table->xobjects);
    table->xobjects = NULL;
    table->xobject_capacity = 0;
    table->xobject_count = 0;
}

int pdf_new_xobject(pdf_document *document, pdf_byte kind, pdf_id object_number) {
    int index = document->images->xobject_count++;
    pdf_xobject *entry;

    if (index == document->images->xobject_capacity) {
        int i, size = document->images->xobject_capacity * 2;

        document->images->xobjects =
            (pdf_xobject *)pdf_realloc(document, document->images->xobjects,
                                       sizeof(pdf_xobject) * (size_t)size, "pdf_new_xobject");
        for (i = document->images->xobject_capacity; i < size; i++)
            document->images->xobjects[i].flags = 0;
        document->images->xobject_capacity = size;
    }
    if (object_number == 0) object_number = pdf_begin_obj(document, 0);
    entry = &document->images->xobjects[index];
    entry->object_number = object_number;
    entry->kind = kind;
    entry->flags = PDF_XOBJECT_IN_USE;
    return index;
}

/*
 * Lists every XObject placed since the last resource dictionary and clears
 * its mark, so that each page names the XObjects it draws exactly once.
 */
void pdf_write_xobject_resources(pdf_document *document) {
    int i, written = 0;

    if (document->images->xobjects == NULL) return;
    for (i = 0; i < document->images->xobject_count; i++) {
        pdf_xobject *entry = &document->images->xobjects[i];

        if (!(entry->flags & PDF_XOBJECT_USED)) continue;
        if (!written) {
            pdf_puts(document, "/XObject");
            pdf_puts(document, "<<");
            written = 1;
        }
        pdf_printf(document, "/I%d %ld 0 R\n", i, entry->object_number);
        entry->flags &= ~PDF_XOBJECT_USED;
    }
    if (written) pdf_puts(document, ">>\n");
}

/* ---- The image XObject writer --------------------------------------------- */

void pdf_write_block_stream(pdf_document *document, const void *data, size_t length) {
    int hex = document->debug['a'] != 0;
    pdf_data_source source;
    pdf_id length_id;
    long start;

    if (hex)
        pdf_puts(document, "/Filter[/ASCIIHexDecode]\n");
    else if (document->compress != 0)
        pdf_puts(document, "/Filter[/FlateDecode]\n");
    length_id = pdf_alloc_id(document);
    pdf_printf(document, "/Length %ld 0 R\n", length_id);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    start = pdf_tell(document);
    pdf_set_memory_source(&source, data, length);
    if (hex)
        pdf_copy_source_hex(document, &source);
    else
        pdf_copy_source_compressed(document, &source);
    pdf_end_stream_obj(document, length_id, start);
}

namespace {

const char *pdf_filter_name(int compression) {
    switch (compression) {
        case PDF_COMPRESSION_LZW:
            return "LZWDecode";
        case PDF_COMPRESSION_RUNLENGTH:
            return "RunLengthDecode";
        case PDF_COMPRESSION_CCITT:
            return "CCITTFaxDecode";
        case PDF_COMPRESSION_DCT:
            return "DCTDecode";
        case PDF_COMPRESSION_FLATE:
            return "FlateDecode";
        default:
            return "";
    }
}

/* The colour key, the reader's mask stream (`mask_stream`, 0 for none) or
 * the stencil mask image that masks the image. */
void pdf_write_image_mask(pdf_document *document, pdf_image *image, pdf_id mask_stream) {
    const pdf_byte *key = image->key_color;

    if (image->has_key_color) {
        switch (image->colorspace) {
            case PDF_CS_DEVICEGRAY:
            case PDF_CS_INDEXED:
                pdf_printf(document, "/Mask[%d %d]\n", key[0], key[0]);
                break;
            case PDF_CS_DEVICERGB:
                pdf_printf(document, "/Mask[%d %d %d %d %d %d]\n", key[0], key[0], key[1], key[1],
                           key[2], key[2]);
                break;
            case PDF_CS_DEVICECMYK:
                pdf_printf(document, "/Mask[%d %d %d %d %d %d %d %d]\n", key[0], key[0], key[1],
                           key[1], key[2], key[2], key[3], key[3]);
                break;
            default:
                if (image->colorspace >= PDF_CS_SLOT_BASE) {
                    pdf_printf(document, "/Mask[%d %d]\n", 255 - key[0], 255 - key[0]);
                    break;
                }
                pdf_error(document, PDF_ERR_SYSTEM, "Unknown color space with transparency");
                return;
        }
    } else if (mask_stream != 0) {
        pdf_printf(document,
                   image->mask_stream_kind == PDF_MASK_STREAM_SOFT ? "/SMask %ld 0 R\n"
                                                                   : "/Mask %ld 0 R\n",
                   mask_stream);
    } else if (image->mask_image != -1) {
        int mask = image->mask_image;

        if (mask < 0 || mask >= document->images->slot_count ||
            !document->images->slots[mask].occupied) {
            pdf_error(document, PDF_ERR_SYSTEM, "Bad image mask (no %d) for image '%s'", mask,
                      image->file_name ? image->file_name : "");
            return;
        }
        pdf_printf(
            document, "/Mask %ld 0 R\n",
            document->images->xobjects[document->images->slots[mask].xobject_index].object_number);
    }
}

void pdf_write_image_colorspace(pdf_document *document, pdf_image *image, int first_band) {
    int code = image->colorspace;

    if (code == PDF_CS_INDEXED) {
        if (first_band) image->palette_object = pdf_alloc_id(document);
        pdf_puts(document, "/ColorSpace[/Indexed/DeviceRGB ");
        pdf_printf(document, "%d %ld 0 R]\n", image->palette_count - 1, image->palette_object);
    } else if (code == PDF_CS_IMAGEMASK) {
        pdf_puts(document, "/ImageMask true\n");
    } else if (code < PDF_CS_SLOT_BASE) {
        pdf_printf(document, "/ColorSpace/%s\n", pdf_colorspace_name(code));
    } else {
        int slot = code - PDF_CS_SLOT_BASE;

        if (slot >= pdf_colorspace_count(document)) {
            pdf_error(document, PDF_ERR_SYSTEM, "Unknown colorspace (%d)", code);
            return;
        }
        pdf_printf(document, "/ColorSpace %ld 0 R\n", pdf_use_colorspace(document, slot));
        if (first_band) image->inverted = !image->inverted;
    }
}

/* The rest of the dictionary of an image whose data live elsewhere. */
void pdf_write_external_image(pdf_document *document, pdf_image *image) {
    int width = (int)image->width;
    const char *name = image->file_name ? image->file_name : "";

    if (image->compression != PDF_COMPRESSION_NONE)
        pdf_printf(document, "/FFilter[/%s]\n", pdf_filter_name(image->compression));
    if (image->compression == PDF_COMPRESSION_CCITT) {
        pdf_puts(document, "/FDecodeParms[<<");
        if (width != 1728) pdf_printf(document, "/Columns %d", width);
        pdf_printf(document, "/Rows %d", (int)image->height);
        if (image->decode_params_text) pdf_puts(document, image->decode_params_text);
        pdf_puts(document, ">>]\n");
    }
    /* The name is quoted: parentheses or backslashes in it must not end
     * the string early. */
    if (image->reference_kind == PDF_REFERENCE_FILE) {
        pdf_puts(document, "/F");
        pdf_quote_string(document, name, strlen(name));
        pdf_puts(document, "/Length 0");
    } else {
        pdf_puts(document, "/F<</FS/URL/F");
        pdf_quote_string(document, name, strlen(name));
        pdf_puts(document, ">>/Length 0");
    }
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    pdf_puts(document, "endstream\n");
    pdf_puts(document, "endobj\n");
}

void pdf_write_decode_parms(pdf_document *document, pdf_image *image, int hex, int predictor) {
    int width = (int)image->width;

    pdf_printf(document, "/DecodeParms[%s<<", hex ? "null" : "");
    if (image->decode_params_text) pdf_puts(document, image->decode_params_text);
    if ((image->compression == PDF_COMPRESSION_FLATE ||
         image->compression == PDF_COMPRESSION_LZW) &&
        predictor != 1) {
        pdf_printf(document, "/Predictor %d", predictor);
        pdf_printf(document, "/Columns %d", width);
        if (image->bits_per_component != 8)
            pdf_printf(document, "/BitsPerComponent %d", image->bits_per_component);
        switch (image->colorspace) {
            case PDF_CS_DEVICERGB:
                pdf_puts(document, "/Colors 3");
                break;
            case PDF_CS_DEVICECMYK:
                pdf_puts(document, "/Colors 4");
                break;
            case PDF_CS_DEVICEGRAY:
            case PDF_CS_INDEXED:
            case PDF_CS_IMAGEMASK:
                break;
            default:
                if (image->colorspace < PDF_CS_SLOT_BASE) {
                    pdf_error(document, PDF_ERR_SYSTEM, "Unknown colorspace (%d)",
                              image->colorspace);
                    return;
                }
        }
    }
    if (image->compression == PDF_COMPRESSION_CCITT) {
        if (width != 1728) pdf_printf(document, "/Columns %d", width);
        pdf_printf(document, "/Rows %d", (int)image->height);
    }
    pdf_puts(document, ">>]\n");
}

void pdf_write_palette(pdf_document *document, pdf_image *image) {
    if (image->components != 1) {
        pdf_error(document, PDF_ERR_SYSTEM, "Bogus indexed colorspace (%d color components)",
                  image->components);
        return;
    }
    pdf_begin_obj(document, image->palette_object);
    pdf_puts(document, "<<");
    pdf_write_block_stream(document, image->palette, (size_t)image->palette_count * 3);
}

/* The filter, decode parameters and /Decode entries. Data that do not
 * pass through are deflated at the document's level, as filtered rows when
 * the document asks for that. */
void pdf_write_image_filters(pdf_document *document, pdf_image *image, int hex) {
    if (hex) {
        pdf_puts(document, "/Filter[/ASCIIHexDecode");
        if (image->compression != PDF_COMPRESSION_NONE)
            pdf_printf(document, "/%s", pdf_filter_name(image->compression));
        pdf_puts(document, "]\n");
    } else {
        if (!image->pass_through && document->compress != 0)
            image->compression = PDF_COMPRESSION_FLATE;
        if (image->compression != PDF_COMPRESSION_NONE)
            pdf_printf(document, "/Filter[/%s]\n", pdf_filter_name(image->compression));
    }
    if (image->pass_through)
        pdf_write_decode_parms(document, image, hex, image->predictor);
    else if (pdf_image_rows_filtered(document, image))
        pdf_write_decode_parms(document, image, hex, PDF_PNG_PREDICTOR);
    if (image->inverted) {
        int i;

        pdf_puts(document, "/Decode[1 0");
        for (i = 1; i < image->components; i++) pdf_puts(document, " 1 0");
        pdf_puts(document, "]\n");
    }
}

/* The end of the dictionary, the stream with the data the source delivers,
 * and the length object. */
void pdf_write_image_data(pdf_document *document, pdf_image *image, int hex) {
    pdf_id length_id = pdf_alloc_id(document);
    long start;

    pdf_printf(document, "/Length %ld 0 R\n", length_id);
    pdf_puts(document, ">>\n");
    pdf_puts(document, "stream\n");
    start = pdf_tell(document);
    image->source.chunk = NULL;
    if (hex)
        pdf_copy_source_hex(document, &image->source);
    else if (image->pass_through)
        pdf_copy_source_checked(document, image);
    else if (pdf_image_rows_filtered(document, image))
        pdf_copy_filtered_rows(document, image);
    else
        pdf_copy_source_compressed(document, &image->source);
    pdf_end_stream_obj(document, length_id, start);
}

}  // namespace

/*
 * Writes the XObject of one image (or of one band of it) with the data its
 * source delivers. A page that is open has its content section closed
 * around the objects, so that they do not fall inside the content stream.
 */
void pdf_write_image_xobject(pdf_document *document, int slot, int first_band) {
    pdf_image *image = pdf_image_slot(document, slot);
    int in_page = pdf_current_scope(document) == PDF_SCOPE_PAGE;
    int hex = document->debug['a'] != 0;
    pdf_id mask_stream;

    if (in_page) pdf_end_contents_section(document);

    mask_stream = first_band ? pdf_write_mask_stream(document, image) : 0;
    image->xobject_index = pdf_new_xobject(document, PDF_XOBJECT_IMAGE, 0);

    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/XObject\n");
    pdf_puts(document, "/Subtype/Image\n");
    pdf_printf(document, "/Width %d\n", (int)image->width);
    pdf_printf(document, "/Height %d\n", (int)image->height);
    pdf_printf(document, "/BitsPerComponent %d\n", image->bits_per_component);
    pdf_write_image_mask(document, image, mask_stream);
    pdf_write_image_colorspace(document, image, first_band);

    if (image->reference_kind != PDF_REFERENCE_NONE) {
        pdf_write_external_image(document, image);
    } else {
        pdf_write_image_filters(document, image, hex);
        pdf_write_image_data(document, image, hex);
        if (document->flush & PDF_FLUSH_CONTENT) pdf_flush_stream(document);
        if (first_band && image->colorspace == PDF_CS_INDEXED) pdf_write_palette(document, image);
    }

    if (in_page) {
        pdf_begin_contents_section(document);
        if (image->reference_kind == PDF_REFERENCE_NONE && (document->flush & PDF_FLUSH_CONTENT))
            pdf_flush_stream(document);
    }
}
