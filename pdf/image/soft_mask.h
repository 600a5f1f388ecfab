/*
 * soft_mask.h -- the opacity of a decoded image, kept as its soft mask.
 *
 * With "keepalpha" on, a reader that decodes an image with an alpha channel,
 * or a palette with an opacity per entry, keeps the opacity of every pixel
 * as the slot's soft mask: a mask raster of the soft kind (mask_stream.h),
 * which the XObject writer writes as the image's /SMask. An image whose
 * pixels are all opaque gets none: it looks the same without.
 */
#ifndef FOLIO_SOFT_MASK_H
#define FOLIO_SOFT_MASK_H

#include "images.h"

/* Moves the last of the `channels` 8-bit samples of every pixel of the
 * slot's raster into the soft mask and packs the other samples in place;
 * the raster's rows must hold exactly the image's width of pixels. Returns
 * 0; -1 as pdf_alloc_mask_raster does (tag `tag`). */
int pdf_split_alpha(pdf_document *document, pdf_image *image, int channels, const char *tag);

/* Makes the soft mask of a raster of palette indices packed at the image's
 * bits per component: entry i is `alphas[i]` opaque, entries from `count`
 * on fully. Returns as pdf_split_alpha does. */
int pdf_palette_alpha(pdf_document *document, pdf_image *image, const pdf_byte *alphas, int count,
                      const char *tag);

/* Makes the opacities already in the slot's mask raster, one byte per
 * pixel, its soft mask; drops them when every pixel is opaque. */
void pdf_use_soft_mask(pdf_document *document, pdf_image *image);

#endif /* FOLIO_SOFT_MASK_H */
