/*
 * mask_stream.cpp -- the mask raster of a slot and its image stream.
 */
#include "mask_stream.h"

#include <string.h>

#include "../core/objects.h"
#include "../core/output.h"
#include "decoded.h"
#include "xobject.h"

int pdf_alloc_mask_raster(pdf_document *document, pdf_image *image, int kind, const char *tag) {
    size_t width = (size_t)image->width;
    pdf_raster *mask = &image->mask_raster;

    int soft = kind == PDF_MASK_STREAM_SOFT;

    if (kind != PDF_MASK_STREAM_STENCIL && !soft) return -1;
    if (pdf_alloc_rows(document, image, mask, soft ? width : (width + 7) / 8, (long)image->height,
                       tag) < 0)
        return -1;
    memset(mask->rows, soft ? 255 : 0, mask->row_length * (size_t)mask->row_count);
    image->mask_stream_kind = kind;
    return 0;
}

void pdf_hide_mask_pixel(pdf_byte *row, long x) {
    row[x >> 3] |= (pdf_byte)(0x80 >> (x & 7));
}

namespace {

/* The colour the image's colours were premultiplied against, one number
 * per colour component: samples of zero or of full value, as the image's
 * /Decode shows them. A colorized image has no alpha, so the device spaces
 * are all there is. */
void pdf_write_matte(pdf_document *document, const pdf_image *image) {
    int full = (image->matte == PDF_MATTE_FULL) != (image->inverted != 0);

    pdf_puts(document, "/Matte[");
    for (int i = 0; i < image->components; i++) {
        if (i > 0) pdf_puts(document, " ");
        pdf_puts(document, full ? "1" : "0");
    }
    pdf_puts(document, "]\n");
}

}  // namespace

pdf_id pdf_write_mask_stream(pdf_document *document, pdf_image *image) {
    const pdf_raster *mask = &image->mask_raster;
    pdf_id object;

    if (image->mask_stream_kind == PDF_MASK_STREAM_NONE || mask->rows == NULL) return 0;
    object = pdf_begin_obj(document, 0);
    pdf_puts(document, "<<");
    pdf_puts(document, "/Type/XObject\n");
    pdf_puts(document, "/Subtype/Image\n");
    pdf_printf(document, "/Width %d\n", (int)image->width);
    pdf_printf(document, "/Height %d\n", (int)image->height);
    if (image->mask_stream_kind == PDF_MASK_STREAM_SOFT) {
        pdf_puts(document, "/BitsPerComponent 8\n");
        pdf_puts(document, "/ColorSpace/DeviceGray\n");
        if (image->matte != PDF_MATTE_NONE) pdf_write_matte(document, image);
    } else {
        pdf_puts(document, "/BitsPerComponent 1\n");
        pdf_puts(document, "/ImageMask true\n");
    }
    pdf_write_block_stream(document, mask->rows, mask->row_length * (size_t)mask->row_count);
    return object;
}
