/*
 * jpeg.cpp -- the JPEG reader.
 *
 * A JPEG file becomes an image XObject without a single pixel being
 * decoded: the reader scans the marker segments up to the frame header to
 * learn size, precision, components, resolution and the orientation an
 * Exif segment records, and the XObject's
 * stream is the file itself, from the start-of-image marker to the end of
 * the file, declared as DCTDecode data.
 *
 * Every read of the file is checked for the end of the file, and lengths
 * read from the file are never trusted to lie inside it or inside a
 * buffer: a damaged file makes the reader give up, never read too far.
 */
#include "jpeg.h"

#include <stdio.h>
#include <string.h>

#include "../core/output.h"
#include "../draw/colorspace.h"
#include "reader.h"
#include "xobject.h"

/* A JPEG stream may be preceded by at most this many bytes of other data
 * (a MacBinary header, for example); they are left out of the XObject. */
#define JPEG_MAX_FOREIGN_BYTES 768
/* Bytes of an APP0 or APP14 segment kept for inspection. */
#define JPEG_SEGMENT_BUFFER_SIZE 255
/* Size of the copy buffer of the data source. */
#define JPEG_SOURCE_BUFFER_SIZE (128 * 1024)
/* Bytes read at a time in the search for the end-of-image marker. */
#define JPEG_END_SEARCH_SIZE 4096
/* Code returned by the marker reader at the end of the file. */
#define JPEG_END_OF_FILE 256

/* Marker codes. */
enum {
    M_SOF0 = 0xC0,
    M_SOF1 = 0xC1,
    M_SOF2 = 0xC2,
    M_SOF3 = 0xC3,
    M_SOF5 = 0xC5,
    M_SOF6 = 0xC6,
    M_SOF7 = 0xC7,
    M_SOF9 = 0xC9,
    M_SOF10 = 0xCA,
    M_SOF11 = 0xCB,
    M_SOF13 = 0xCD,
    M_SOF14 = 0xCE,
    M_SOF15 = 0xCF,
    M_RST0 = 0xD0,
    M_RST7 = 0xD7,
    M_SOI = 0xD8,
    M_EOI = 0xD9,
    M_SOS = 0xDA,
    M_APP0 = 0xE0,
    M_APP1 = 0xE1,
    M_APP13 = 0xED,
    M_APP14 = 0xEE,
    M_TEM = 0x01
};

namespace {

/* What the marker scan learns. */
typedef struct {
    int frame_found;
    int adobe_seen;
    int exif_seen;
    int precision;
    int height;
    int width;
    int components;
} jpeg_scan_state;

/* The reader's state: where the JPEG stream starts in the file. */
typedef struct {
    long start;
} jpeg_state;

long jpeg_start(const pdf_image *image) {
    return ((const jpeg_state *)image->reader)->start;
}

/* ---- Data source --------------------------------------------------------- */

/* The source delivers the file from the stream's start to its end;
 * `context` is the image slot, whose `file` is open while the reader runs. */
void jpeg_source_init(pdf_document *document, pdf_data_source *source) {
    pdf_image *image = (pdf_image *)source->context;
    source->buffer = (pdf_byte *)pdf_malloc(document, JPEG_SOURCE_BUFFER_SIZE, "jpeg_source_init");
    source->buffer_size = JPEG_SOURCE_BUFFER_SIZE;
    fseek(image->file, jpeg_start(image), SEEK_SET);
}

int jpeg_source_refill(pdf_document *document, pdf_data_source *source) {
    (void)document;
    pdf_image *image = (pdf_image *)source->context;
    size_t count = fread(source->buffer, 1, source->buffer_size, image->file);
    source->chunk = source->buffer;
    source->chunk_length = count;
    return count != 0;
}

void jpeg_source_release(pdf_document *document, pdf_data_source *source) {
    pdf_free(document, source->buffer);
    source->buffer = NULL;
}

const pdf_source_operations jpeg_source = {jpeg_source_init, jpeg_source_refill,
                                           jpeg_source_release};

/* The same bytes as the source delivers, copied file to file. */
int jpeg_copy_direct(pdf_document *document, pdf_image *image) {
    return pdf_copy_file_range(document, fileno(image->file), jpeg_start(image), -1) >= 0;
}

/* The state holds nothing but the stream's start; the file is the slot's. */
const pdf_reader_operations jpeg_reader = {NULL, jpeg_copy_direct};

/* ---- Reading the file ---------------------------------------------------- */

/* Two bytes, big-endian; -1 when the file ends first. */
long jpeg_read_u16(FILE *fp) {
    int high = getc(fp);
    int low;

    if (high == EOF) return -1;
    low = getc(fp);
    if (low == EOF) return -1;
    return ((long)high << 8) | low;
}

/* The code of the next marker: the first byte after one or more 0xFF bytes
 * that is neither 0xFF nor a stuffed 0x00. JPEG_END_OF_FILE at the end. */
int jpeg_next_marker(FILE *fp) {
    int c;

    for (;;) {
        do {
            c = getc(fp);
            if (c == EOF) return JPEG_END_OF_FILE;
        } while (c != 0xFF);
        do {
            c = getc(fp);
            if (c == EOF) return JPEG_END_OF_FILE;
        } while (c == 0xFF);
        if (c != 0) return c;
    }
}

/* Reads the length field of a segment and returns the number of data bytes
 * that follow it; -1 when the field is missing or below its own size. */
long jpeg_segment_data_length(FILE *fp) {
    long length = jpeg_read_u16(fp);

    if (length < 2) return -1;
    return length - 2;
}

/* Reads `count` data bytes, keeping the first `capacity` in `buffer`.
 * Returns 0 when the file ends before all of them arrived. */
int jpeg_read_segment(FILE *fp, long count, pdf_byte *buffer, long capacity) {
    long i;

    for (i = 0; i < count; i++) {
        int c = getc(fp);
        if (c == EOF) return 0;
        if (i < capacity) buffer[i] = (pdf_byte)c;
    }
    return 1;
}

unsigned long jpeg_get_u16(const pdf_byte *p) {
    return ((unsigned long)p[0] << 8) | p[1];
}

unsigned long jpeg_get_u32(const pdf_byte *p) {
    return (jpeg_get_u16(p) << 16) | jpeg_get_u16(p + 2);
}

/* ---- Failure paths ------------------------------------------------------- */

/* A file the reader cannot take; its state and file are released first. */
#define jpeg_give_up(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_NONFATAL, __VA_ARGS__)
#define jpeg_parameter_error(document, image, ...) \
    pdf_reader_fail(document, image, PDF_ERR_VALUE, __VA_ARGS__)

int jpeg_damaged(pdf_document *document, pdf_image *image, const char *filename) {
    return jpeg_give_up(document, image, "JPEG file '%s' is damaged", filename);
}

/* ---- Segments ------------------------------------------------------------ */

/* APP0: the JFIF header carries the density. Returns 0 for a damaged
 * segment. */
int jpeg_read_app0(FILE *fp, pdf_image *image) {
    pdf_byte data[JPEG_SEGMENT_BUFFER_SIZE];
    long count = jpeg_segment_data_length(fp);

    if (count < 0 || !jpeg_read_segment(fp, count, data, sizeof data)) return 0;
    if (count + 2 >= 14 && memcmp(data, "JFIF", 4) == 0) {
        int units = data[7];
        float x = (float)jpeg_get_u16(data + 8);
        float y = (float)jpeg_get_u16(data + 10);

        if (x > 0 && y > 0) {
            if (units == 0) {
                /* Only the aspect ratio is known. */
                x = -x;
                y = -y;
            } else if (units == 2) {
                /* Dots per centimetre. */
                x = (float)(x * 2.54);
                y = (float)(y * 2.54);
            }
        } else {
            x = 0;
            y = 0;
        }
        image->resolution_x = x;
        image->resolution_y = y;
    }
    return 1;
}

/* Walks the image resource blocks of a Photoshop segment of `count` bytes
 * for the resolution block (id 0x03ED) and takes its horizontal and vertical
 * resolution, 16.16 fixed-point numbers at data bytes 0 and 8. */
void jpeg_photoshop_resolution(const pdf_byte *data, unsigned long count, pdf_image *image) {
    unsigned long position = 14;

    while (position + 4 <= count && memcmp(data + position, "8BIM", 4) == 0) {
        unsigned long id, name_length, size, header;

        /* Signature, id and the name's length byte. */
        if (count - position < 7) return;
        id = jpeg_get_u16(data + position + 4);
        name_length = data[position + 6];
        /* The name with its length byte is padded to an even size; then
         * comes the four-byte data size. */
        header = 6 + ((1 + name_length + 1) & ~1UL) + 4;
        if (count - position < header) return;
        size = jpeg_get_u32(data + position + header - 4);
        if (size > count - position - header) return;
        if (id == 0x03ED && size >= 16) {
            const pdf_byte *resolution = data + position + header;

            image->resolution_x =
                (float)jpeg_get_u16(resolution) + (float)jpeg_get_u16(resolution + 2) / 65536.0f;
            image->resolution_y = (float)jpeg_get_u16(resolution + 8) +
                                  (float)jpeg_get_u16(resolution + 10) / 65536.0f;
            return;
        }
        position += header + size + (size & 1);
    }
}

/* Tells whether an end-of-image marker (0xFF 0xD9) follows the current
 * position of the file; 0 when the file ends without one. Entropy coded data
 * stuff every 0xFF byte, so the marker cannot occur inside them. The marker
 * of a sound file is at or near its end, so the search runs backwards from
 * the end in blocks and usually reads one block only; the answer is the same
 * as that of a forward scan, since any marker after the position counts. */
int jpeg_find_end(FILE *fp) {
    pdf_byte block[JPEG_END_SEARCH_SIZE + 1];
    long from = ftell(fp);
    long position;
    int next = -1; /* the first byte of the block searched before */

    if (from < 0 || fseek(fp, 0, SEEK_END) != 0) return 0;
    position = ftell(fp);
    while (position > from) {
        size_t count = position - from < JPEG_END_SEARCH_SIZE ? (size_t)(position - from)
                                                              : (size_t)JPEG_END_SEARCH_SIZE;
        size_t length = count;
        size_t i;

        position -= (long)count;
        if (fseek(fp, position, SEEK_SET) != 0 || fread(block, 1, count, fp) != count) return 0;
        /* A marker may straddle the boundary with the later block. */
        if (next >= 0) block[length++] = (pdf_byte)next;
        for (i = length - 1; i > 0; i--)
            if (block[i] == M_EOI && block[i - 1] == 0xFF) return 1;
        next = block[0];
    }
    return 0;
}

/* ---- The markers -------------------------------------------------------- */

/* SOF0, SOF1, SOF2 or SOF10: length, precision, height, width, components,
 * then three bytes per component, which must all be present. Returns -1
 * after giving up. */
int jpeg_read_frame(pdf_document *document, pdf_image *image, const char *filename,
                    jpeg_scan_state *scan) {
    FILE *fp = image->file;
    long length = jpeg_read_u16(fp);
    int precision = getc(fp);
    long height = jpeg_read_u16(fp);
    long width = jpeg_read_u16(fp);
    int components = getc(fp);
    pdf_byte unused[1];
    if (length < 8 || precision == EOF || height < 0 || width < 0 || components == EOF ||
        !jpeg_read_segment(fp, length - 8, unused, 0))
        return jpeg_damaged(document, image, filename);
    scan->precision = precision;
    scan->height = (int)height;
    scan->width = (int)width;
    scan->components = components;
    scan->frame_found = 1;
    return 0;
}

/* Reads a segment's `count` data bytes into the document's memory; null,
 * with nothing left allocated, when the file ends first. */
pdf_byte *jpeg_load_segment(pdf_document *document, FILE *fp, long count) {
    pdf_byte *data = (pdf_byte *)pdf_malloc(document, (size_t)count, "pdf_open_JPEG_data");
    if (fread(data, 1, (size_t)count, fp) == (size_t)count) return data;
    pdf_free(document, data);
    return NULL;
}

/* APP13: a Photoshop segment may carry the resolution. Returns -1 after
 * giving up. */
int jpeg_read_app13(pdf_document *document, pdf_image *image, const char *filename) {
    long count = jpeg_segment_data_length(image->file);
    if (count < 0) return jpeg_damaged(document, image, filename);
    if (count == 0) return 0;
    pdf_byte *data = jpeg_load_segment(document, image->file, count);
    if (data == NULL)
        return jpeg_give_up(document, image,
                            "JPEG file '%s' is damaged (Photoshop marker too short)", filename);
    if (count >= 9 && memcmp(data, "Photoshop", 9) == 0)
        jpeg_photoshop_resolution(data, (unsigned long)count, image);
    pdf_free(document, data);
    return 0;
}

/* Two bytes at `p` in the byte order of an Exif segment. */
unsigned long jpeg_exif_u16(const pdf_byte *p, int big_endian) {
    return big_endian ? jpeg_get_u16(p) : ((unsigned long)p[1] << 8) | p[0];
}

/* The Orientation tag (0x0112) of IFD0 in the TIFF structure of an Exif
 * segment's `count` bytes, in either byte order; 1 when it is missing,
 * out of range or anything on the way to it is damaged. */
int jpeg_exif_orientation(const pdf_byte *data, unsigned long count) {
    if (count < 6 + 8 || memcmp(data, "Exif\0\0", 6) != 0) return 1;
    const pdf_byte *tiff = data + 6;
    unsigned long size = count - 6;
    int big = memcmp(tiff, "MM", 2) == 0;
    if (!big && memcmp(tiff, "II", 2) != 0) return 1;
    unsigned long ifd = big ? jpeg_get_u32(tiff + 4)
                            : jpeg_exif_u16(tiff + 4, 0) | jpeg_exif_u16(tiff + 6, 0) << 16;
    if (jpeg_exif_u16(tiff + 2, big) != 42 || ifd > size - 2) return 1;
    unsigned long entries = jpeg_exif_u16(tiff + ifd, big);
    for (unsigned long i = 0; i < entries && ifd + 2 + 12 * (i + 1) <= size; i++) {
        const pdf_byte *entry = tiff + ifd + 2 + 12 * i;
        if (jpeg_exif_u16(entry, big) != 0x0112) continue;
        /* A SHORT keeps its value in the first two bytes of the field. */
        unsigned long value = jpeg_exif_u16(entry + 8, big);
        return jpeg_exif_u16(entry + 2, big) == 3 && value >= 1 && value <= 8 ? (int)value : 1;
    }
    return 1;
}

/* APP1: the first Exif segment may give the orientation. Returns -1 after
 * giving up on a segment that runs past the end of the file. */
int jpeg_read_app1(pdf_document *document, pdf_image *image, const char *filename,
                   jpeg_scan_state *scan) {
    long count = jpeg_segment_data_length(image->file);
    if (count < 0) return jpeg_damaged(document, image, filename);
    if (count == 0) return 0;
    pdf_byte *data = jpeg_load_segment(document, image->file, count);
    if (data == NULL) return jpeg_damaged(document, image, filename);
    if (!scan->exif_seen && count >= 6 && memcmp(data, "Exif\0\0", 6) == 0) {
        scan->exif_seen = 1;
        image->orientation = jpeg_exif_orientation(data, (unsigned long)count);
    }
    pdf_free(document, data);
    return 0;
}

/* APP14: any Adobe segment means that CMYK samples are stored inverted; the
 * transform byte is not needed. Returns 0 for a damaged segment. */
int jpeg_read_app14(FILE *fp, jpeg_scan_state *scan) {
    pdf_byte data[JPEG_SEGMENT_BUFFER_SIZE];
    long count = jpeg_segment_data_length(fp);
    if (count < 0 || !jpeg_read_segment(fp, count, data, sizeof data)) return 0;
    if (count + 2 >= 12 && memcmp(data, "Adobe", 5) == 0) scan->adobe_seen = 1;
    return 1;
}

/* Any other segment is skipped. Returns 0 for a damaged one. */
int jpeg_skip_segment(FILE *fp) {
    pdf_byte unused[1];
    long count = jpeg_segment_data_length(fp);
    return count >= 0 && jpeg_read_segment(fp, count, unused, 0);
}

/* Walks the segments that follow the frame header up to the first
 * start-of-scan marker. Returns 1 when there is one; 0 when the image or the
 * file ends first, or a segment on the way is cut short. */
int jpeg_find_scan(FILE *fp) {
    for (;;) {
        int code = jpeg_next_marker(fp);

        if (code == M_SOS) return 1;
        if (code == M_EOI || code == JPEG_END_OF_FILE) return 0;
        /* Markers without a segment: TEM, the restart markers, SOI. */
        if (code == M_TEM || (code >= M_RST0 && code <= M_SOI)) continue;
        if (!jpeg_skip_segment(fp)) return 0;
    }
}

/* Handles the marker `code`. Returns 1 to go on, 0 at the end-of-image
 * marker, -1 after giving up. */
int jpeg_read_marker(pdf_document *document, pdf_image *image, const char *filename,
                     jpeg_scan_state *scan, int code) {
    switch (code) {
        case M_EOI:
            return 0;
        case M_TEM:
        case M_RST0:
        case M_RST0 + 1:
        case M_RST0 + 2:
        case M_RST0 + 3:
        case M_RST0 + 4:
        case M_RST0 + 5:
        case M_RST0 + 6:
        case M_RST7:
        case M_SOI:
            return 1;
        case M_SOF2:
        case M_SOF10:
            if (document->compatibility == 12)
                return jpeg_give_up(document, image,
                                    "Progressive JPEG images are not supported in PDF 1.2");
            return jpeg_read_frame(document, image, filename, scan) < 0 ? -1 : 1;
        case M_SOF0:
        case M_SOF1:
            return jpeg_read_frame(document, image, filename, scan) < 0 ? -1 : 1;
        case M_SOF3:
        case M_SOF5:
        case M_SOF6:
        case M_SOF7:
        case M_SOF9:
        case M_SOF11:
        case M_SOF13:
        case M_SOF14:
        case M_SOF15:
        case JPEG_END_OF_FILE:
            return jpeg_give_up(document, image,
                                "JPEG compression scheme '%d' in file '%s' is not supported "
                                "in PDF 1.3",
                                code, filename);
        case M_APP0:
            return jpeg_read_app0(image->file, image) ? 1 : jpeg_damaged(document, image, filename);
        case M_APP1:
            return jpeg_read_app1(document, image, filename, scan) < 0 ? -1 : 1;
        case M_APP13:
            return jpeg_read_app13(document, image, filename) < 0 ? -1 : 1;
        case M_APP14:
            return jpeg_read_app14(image->file, scan) ? 1 : jpeg_damaged(document, image, filename);
        default:
            return jpeg_skip_segment(image->file) ? 1 : jpeg_damaged(document, image, filename);
    }
}

/* Scans the markers up to the frame header (or the end-of-image marker).
 * Returns -1 after giving up, else 0. */
int jpeg_scan_markers(pdf_document *document, pdf_image *image, const char *filename,
                      jpeg_scan_state *scan) {
    while (!scan->frame_found) {
        int status =
            jpeg_read_marker(document, image, filename, scan, jpeg_next_marker(image->file));
        if (status <= 0) return status;
    }
    return 0;
}

/* Finds the start-of-image marker within the first bytes of the file and
 * leaves the file positioned on it. Returns -1 after giving up. */
int jpeg_find_start(pdf_document *document, pdf_image *image, const char *filename) {
    FILE *fp = image->file;
    long position = 0;
    for (;;) {
        int c;
        do {
            c = getc(fp);
            if (c == EOF)
                return jpeg_give_up(document, image, "File problem with JPEG file '%s'", filename);
            position++;
        } while (c != 0xFF);
        do {
            c = getc(fp);
            if (c == EOF) break;
            position++;
        } while (c == 0xFF);

        /* The marker's 0xFF byte (the last of a run) starts the stream. */
        long start = position - 2;
        ((jpeg_state *)image->reader)->start = start;
        if (c == M_SOI && start <= JPEG_MAX_FOREIGN_BYTES) {
            if (fseek(fp, start, SEEK_SET) != 0)
                return jpeg_give_up(document, image, "File problem with JPEG file '%s'", filename);
            return 0;
        }
        if (c == M_SOI || c == EOF)
            return jpeg_give_up(document, image, "File '%s' doesn't appear to be of type JPEG",
                                filename);
    }
}

/* Applies the string parameter ("mask", "colorize" or "masked"; null or
 * empty for none). Sets *colorize when a spot colour was chosen. Returns 0,
 * or -1 after a parameter error. */
int jpeg_apply_parameter(pdf_document *document, pdf_image *image, const char *filename,
                         const char *stringparam, int intparam, int *colorize) {
    if (stringparam == NULL || *stringparam == '\0') return 0;
    if (strcmp(stringparam, "mask") == 0)
        return jpeg_parameter_error(document, image, "Can't handle JPEG image mask");
    if (strcmp(stringparam, "colorize") == 0) {
        if (pdf_apply_colorize(document, image, "JPEG", filename, intparam) < 0) return -1;
        *colorize = 1;
        return 0;
    }
    if (strcmp(stringparam, "masked") == 0)
        return pdf_apply_masked(document, image, filename, intparam);
    return jpeg_parameter_error(document, image, "Unknown parameter %s in pdf_open_JPEG",
                                stringparam);
}

/* Finds the stream and reads its frame header. Returns -1 after giving up. */
int jpeg_read_header(pdf_document *document, pdf_image *image, const char *filename,
                     jpeg_scan_state *scan) {
    if (jpeg_find_start(document, image, filename) < 0) return -1;
    if (jpeg_scan_markers(document, image, filename, scan) < 0) return -1;
    /* Without a scan there are no pixels, whatever else the file holds. */
    if (scan->frame_found && !jpeg_find_scan(image->file))
        return jpeg_give_up(document, image, "JPEG file '%s' is damaged (no start-of-scan marker)",
                            filename);
    /* A file cut short still has its frame header; what it lacks is the
     * end-of-image marker, which no other data can imitate. */
    if (scan->frame_found && !jpeg_find_end(image->file))
        return jpeg_give_up(document, image, "JPEG file '%s' is damaged (no end-of-image marker)",
                            filename);
    if (scan->height <= 0 || scan->width <= 0 || scan->components <= 0)
        return jpeg_give_up(document, image,
                            "Bad image parameters in JPEG file '%s' (w=%d h=%d, colors=%d",
                            filename, scan->width, scan->height, scan->components);
    if (scan->precision != 8)
        return jpeg_give_up(document, image, "Bad number of bits per pixel (%d) in JPEG file '%s'",
                            scan->precision, filename);
    return 0;
}

/* The colour space by the number of components; Adobe's CMYK JPEGs store
 * every component inverted. Returns -1 after giving up. */
int jpeg_choose_colorspace(pdf_document *document, pdf_image *image, const char *filename,
                           const jpeg_scan_state *scan, int colorize) {
    int colorspace = pdf_device_colorspace(scan->components);
    if (colorspace < 0)
        return jpeg_give_up(document, image,
                            "Unknown number of color components (%d) in JPEG file '%s'",
                            scan->components, filename);
    if (!colorize) image->colorspace = (pdf_byte)colorspace;
    if (colorspace == PDF_CS_DEVICECMYK && scan->adobe_seen) image->inverted = 1;
    return 0;
}

}  // namespace

int pdf_open_JPEG(pdf_document *document, int slot, const char *filename, const char *stringparam,
                  int intparam) {
    pdf_image *image = pdf_image_slot(document, slot);
    jpeg_scan_state scan;
    int colorize = 0;
    memset(&scan, 0, sizeof scan);

    if (pdf_begin_reader(document, image, &jpeg_reader, sizeof(jpeg_state), "pdf_open_JPEG") ==
        NULL)
        return -1;
    image->file = fopen(filename, "rb");
    if (image->file == NULL)
        return jpeg_give_up(document, image, "Couldn't open JPEG file '%s'", filename);
    image->compression = PDF_COMPRESSION_DCT;
    image->pass_through = 1;
    pdf_set_image_source(image, &jpeg_source);

    if (jpeg_read_header(document, image, filename, &scan) < 0) return -1;
    image->bits_per_component = scan.precision;
    image->width = (float)scan.width;
    image->height = (float)scan.height;
    image->components = scan.components;
    if (jpeg_apply_parameter(document, image, filename, stringparam, intparam, &colorize) < 0)
        return -1;
    if (jpeg_choose_colorspace(document, image, filename, &scan, colorize) < 0) return -1;

    image->band_count = 1;
    image->occupied = 1;
    image->file_name = pdf_strdup(document, filename);
    pdf_write_image_xobject(document, slot, 1);
    pdf_end_reader(document, image);
    return slot;
}
