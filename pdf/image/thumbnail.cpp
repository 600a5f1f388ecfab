/*
 * thumbnail.cpp -- an open image as the thumbnail of the current page.
 */
#include "../draw/colorspace.h"
#include "images.h"
#include "xobject.h"

/* Largest side of a thumbnail image, in pixels. */
#define PDF_THUMBNAIL_MAX 106

void PDF_add_thumbnail(pdf_document *document, int handle) {
    pdf_image *image;

    if (!pdf_is_valid(document)) return;
    if (!pdf_check_scope(document, PDF_SCOPE_PAGE, "PDF_add_thumbnail")) return;
    if (handle < 0 || handle >= document->images->slot_count ||
        !document->images->slots[handle].occupied) {
        pdf_error(document, PDF_ERR_VALUE, "Bad image number %d in PDF_add_thumbnail", handle);
        return;
    }
    image = &document->images->slots[handle];
    if (document->thumbnail_id != -1) {
        pdf_error(document, PDF_ERR_RUNTIME,
                  "More than one thumbnail for this page (PDF_add_thumbnail)");
        return;
    }
    if (image->band_count > 1) {
        pdf_error(document, PDF_ERR_RUNTIME, "Can't use multi-strip images as thumbnails");
        return;
    }
    if (image->width > PDF_THUMBNAIL_MAX || image->height > PDF_THUMBNAIL_MAX) {
        pdf_error(document, PDF_ERR_VALUE, "Thumbnail image larger than %d pixels",
                  PDF_THUMBNAIL_MAX);
        return;
    }
    if (image->colorspace != PDF_CS_DEVICEGRAY && image->colorspace != PDF_CS_DEVICERGB &&
        image->colorspace != PDF_CS_INDEXED) {
        pdf_error(document, PDF_ERR_RUNTIME, "Unsupported color space in thumbnail image");
        return;
    }
    document->thumbnail_id = document->images->xobjects[image->xobject_index].object_number;
}
