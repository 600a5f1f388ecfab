#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets: small valid files of each
variant the readers handle, so that fuzzing starts from every road through
them. Run it with Debian's python3 (it needs python3-pil):

    /usr/bin/python3 tests/fuzz/make_seeds.py tests/fuzz/corpus

Each target gets a folder of the same name; existing seeds are overwritten.
The output is deterministic, so rerunning it changes nothing.
"""
import io
import os
import struct
import sys
import zlib

from PIL import Image

W, H = 10, 7  # small but with partial bytes at 1, 2 and 4 bits


def pattern(mode, w=W, h=H):
    """A deterministic image of `mode` with some variety in every channel."""
    bands = len(Image.new(mode, (1, 1)).getbands())
    image = Image.new(mode, (w, h))
    top = {'1': 1, 'P': 15, 'I;16': 65535}.get(mode, 255)
    pixels = []
    for y in range(h):
        for x in range(w):
            values = tuple((x * 37 + y * 91 + c * 53 + x * y) % (top + 1)
                           for c in range(bands))
            pixels.append(values[0] if bands == 1 else values)
    image.putdata(pixels)
    return image


def saved(image, fmt, **options):
    out = io.BytesIO()
    image.save(out, fmt, **options)
    return out.getvalue()


# ---- JPEG -----------------------------------------------------------------

def jpeg_segment(code, data):
    return bytes([0xFF, code]) + struct.pack('>H', len(data) + 2) + data


def jpeg_seeds():
    seeds = {
        'gray.jpg': saved(pattern('L'), 'JPEG', quality=50),
        'rgb.jpg': saved(pattern('RGB'), 'JPEG', quality=50),
        'rgb_dpi.jpg': saved(pattern('RGB'), 'JPEG', quality=50, dpi=(300, 150)),
        'progressive.jpg': saved(pattern('RGB'), 'JPEG', quality=50, progressive=True),
        'cmyk_adobe.jpg': saved(pattern('CMYK'), 'JPEG', quality=50),
        'restart.jpg': saved(pattern('RGB', 16, 16), 'JPEG', quality=30,
                             subsampling=0),
    }
    base = seeds['gray.jpg']
    # A Photoshop resource block with a resolution record after the SOI.
    resolution = struct.pack('>HHHHHHHH', 200, 0x8000, 1, 1, 100, 0, 1, 1)
    block = b'8BIM' + struct.pack('>H', 0x03ED) + b'\x00\x00' + \
        struct.pack('>I', len(resolution)) + resolution
    app13 = jpeg_segment(0xED, b'Photoshop 3.0\x00' + block)
    seeds['photoshop.jpg'] = base[:2] + app13 + base[2:]
    # JFIF aspect ratio only, and dots per centimetre.
    jfif = base.find(b'JFIF\x00')
    for units, name in ((0, 'pixel_ratio.jpg'), (2, 'per_cm.jpg')):
        data = bytearray(base)
        data[jfif + 7] = units
        data[jfif + 8:jfif + 12] = struct.pack('>HH', 118, 59)
        seeds[name] = bytes(data)
    # Foreign bytes before the stream, as a MacBinary header puts there.
    seeds['foreign_prefix.jpg'] = bytes(128) + base
    # Frame header and end marker without a scan between them.
    seeds['no_scan.jpg'] = base[:base.find(b'\xff\xda')] + b'\xff\xd9'
    # An Exif segment whose IFD0 records orientation 6, big-endian.
    ifd = struct.pack('>H', 1) + struct.pack('>HHIHH', 0x0112, 3, 1, 6, 0) + bytes(4)
    exif = jpeg_segment(0xE1, b'Exif\x00\x00MM\x00\x2a' + struct.pack('>I', 8) + ifd)
    seeds['exif_orientation.jpg'] = base[:2] + exif + base[2:]
    return seeds


# ---- PNG --------------------------------------------------------------------

def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + \
        struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def png_rows(samples, w, h, channels, depth):
    """Packs sample rows (lists of ints, row-major) into filtered PNG rows
    (filter byte 0), as one byte string per row."""
    rows = []
    for y in range(h):
        row = samples[y * w * channels:(y + 1) * w * channels]
        if depth == 16:
            packed = b''.join(struct.pack('>H', v) for v in row)
        elif depth == 8:
            packed = bytes(row)
        else:
            bits = 0
            count = 0
            out = bytearray()
            for v in row:
                bits = (bits << depth) | v
                count += depth
                if count == 8:
                    out.append(bits)
                    bits = count = 0
            if count:
                out.append(bits << (8 - count))
            packed = bytes(out)
        rows.append(packed)
    return rows


ADAM7 = ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4),
         (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2))


def make_png(color_type, depth, w=W, h=H, interlace=False, palette=0,
             trns=None, extra=(), idat_split=0):
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[color_type]
    top = (1 << depth) - 1
    if color_type == 3:
        top = min(top, palette - 1)
    samples = [(x * 7 + y * 13 + c * 5 + x * y) % (top + 1)
               for y in range(h) for x in range(w) for c in range(channels)]
    if interlace:
        raw = b''
        for x0, y0, dx, dy in ADAM7:
            xs = list(range(x0, w, dx))
            ys = list(range(y0, h, dy))
            if not xs or not ys:
                continue
            sub = [samples[(y * w + x) * channels + c]
                   for y in ys for x in xs for c in range(channels)]
            raw += b''.join(b'\x00' + r for r in
                            png_rows(sub, len(xs), len(ys), channels, depth))
    else:
        raw = b''.join(b'\x00' + r for r in png_rows(samples, w, h, channels, depth))
    data = zlib.compress(raw, 9)
    out = b'\x89PNG\r\n\x1a\n'
    out += png_chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, color_type,
                                          0, 0, 1 if interlace else 0))
    for kind, body in extra:
        out += png_chunk(kind, body)
    if color_type == 3:
        out += png_chunk(b'PLTE', bytes((i * 40 + c * 90) % 256
                                        for i in range(palette) for c in range(3)))
    if trns is not None:
        out += png_chunk(b'tRNS', trns)
    if idat_split:
        for i in range(0, len(data), idat_split):
            out += png_chunk(b'IDAT', data[i:i + idat_split])
    else:
        out += png_chunk(b'IDAT', data)
    return out + png_chunk(b'IEND', b'')


def png_seeds():
    seeds = {}
    for depth in (1, 2, 4, 8, 16):
        seeds['gray%d.png' % depth] = make_png(0, depth)
    for depth in (8, 16):
        seeds['rgb%d.png' % depth] = make_png(2, depth)
        seeds['gray_alpha%d.png' % depth] = make_png(4, depth)
        seeds['rgba%d.png' % depth] = make_png(6, depth)
    for depth in (1, 2, 4, 8):
        seeds['palette%d.png' % depth] = make_png(3, depth, palette=min(1 << depth, 12))
    seeds['palette_trns.png'] = make_png(3, 4, palette=12, trns=bytes([0, 128, 255]))
    seeds['gray_key.png'] = make_png(0, 8, trns=struct.pack('>H', 20))
    seeds['rgb_key.png'] = make_png(2, 8, trns=struct.pack('>HHH', 20, 40, 60))
    seeds['interlaced_rgb.png'] = make_png(2, 8, interlace=True)
    seeds['interlaced_gray2.png'] = make_png(0, 2, interlace=True)
    seeds['phys_meter.png'] = make_png(2, 8, extra=((b'pHYs', struct.pack('>IIB', 3780, 2835, 1)),))
    seeds['phys_ratio.png'] = make_png(0, 8, extra=((b'pHYs', struct.pack('>IIB', 2, 1, 0)),))
    seeds['sbit_gamma.png'] = make_png(2, 16, extra=((b'sBIT', bytes([12, 12, 12])),
                                                     (b'gAMA', struct.pack('>I', 45455))))
    seeds['split_idat.png'] = make_png(2, 8, idat_split=20)
    # 16-bit colour keys, masked with all 16 bits.
    seeds['gray16_key.png'] = make_png(0, 16, trns=struct.pack('>H', 20))
    seeds['rgb16_key.png'] = make_png(2, 16, trns=struct.pack('>HHH', 20, 40, 60))
    # IDAT data with a wrong checksum: they cannot pass through, libpng
    # decodes them.
    good = make_png(2, 8)
    idat = good.find(b'IDAT') - 4
    length = struct.unpack('>I', good[idat:idat + 4])[0]
    data = bytearray(good[idat + 8:idat + 8 + length])
    data[-1] ^= 1
    seeds['bad_checksum.png'] = good[:idat] + png_chunk(b'IDAT', bytes(data)) + \
        good[idat + 12 + length:]
    # The target keeps alpha as a soft mask for lengths that are multiples
    # of 4; the padding lies after IEND, where readers stop.
    for name in ('rgba8', 'gray_alpha16', 'palette_trns'):
        data = seeds[name + '.png']
        seeds[name + '_kept.png'] = data + bytes(-len(data) % 4 or 4)
    return seeds


# ---- TIFF -------------------------------------------------------------------

def make_tiff(w, h, bits, samples, photometric, strips, compression=1,
              extra_tags=(), planar=1, tile=0, big=False):
    """A little-endian TIFF (a BigTIFF with `big`). `strips` is the list of
    already encoded strip or tile byte strings; tags are (tag, type, values)."""
    SHORT, LONG, RATIONAL = 3, 4, 5
    tags = [(256, LONG, [w]), (257, LONG, [h]), (258, SHORT, [bits] * samples),
            (259, SHORT, [compression]), (262, SHORT, [photometric]),
            (277, SHORT, [samples]), (284, SHORT, [planar])]
    if tile:
        tags += [(322, LONG, [tile]), (323, LONG, [tile])]
    else:
        rows = h if len(strips) == 1 or planar == 2 else (h + len(strips) - 1) // len(strips)
        tags.append((278, LONG, [rows]))
    tags += list(extra_tags)
    offsets_tag, counts_tag = (324, 325) if tile else (273, 279)
    data = b''
    offsets = []
    for strip in strips:
        offsets.append(8 + len(data))
        data += strip
        if len(data) % 2:
            data += b'\x00'
    tags += [(offsets_tag, LONG, offsets), (counts_tag, LONG, [len(s) for s in strips])]
    tags.sort()
    header = 16 if big else 8
    if header != 8:
        offsets = [o + header - 8 for o in offsets]
        tags = [(t, k, offsets if t == offsets_tag else v) for t, k, v in tags]
    ifd_at = header + len(data)
    # Entry and offset layouts: classic 2-byte counts, 12-byte entries and
    # 4-byte offsets; BigTIFF 8-byte counts, 20-byte entries, 8-byte offsets.
    count_format, entry_size, offset_format = ('<Q', 20, '<Q') if big else ('<H', 12, '<I')
    outside = b''
    outside_at = ifd_at + struct.calcsize(count_format) + entry_size * len(tags) + \
        struct.calcsize(offset_format)
    entries = b''
    for tag, kind, values in tags:
        if kind == RATIONAL:
            payload = b''.join(struct.pack('<II', n, d) for n, d in values)
        else:
            payload = b''.join(struct.pack('<H' if kind == SHORT else '<I', v)
                               for v in values)
        room = struct.calcsize(offset_format)
        if len(payload) <= room:
            field = payload.ljust(room, b'\x00')
        else:
            field = struct.pack(offset_format, outside_at + len(outside))
            outside += payload
        entries += struct.pack('<HH', tag, kind) + struct.pack(
            '<Q' if big else '<I', len(values)) + field
    start = (b'II+\x00' + struct.pack('<HHQ', 8, 0, ifd_at) if big
             else b'II*\x00' + struct.pack('<I', ifd_at))
    return (start + data + struct.pack(count_format, len(tags)) + entries +
            struct.pack(offset_format, 0) + outside)


def old_style_lzw(data):
    """Codes of 9 bits, least significant bit first (short data only)."""
    pending, bits, out = 0, 0, bytearray()
    for code in [256] + list(data) + [257]:
        pending |= code << bits
        bits += 9
        while bits >= 8:
            out.append(pending & 0xFF)
            pending >>= 8
            bits -= 8
    if bits:
        out.append(pending & 0xFF)
    return bytes(out)


def packed_rows(w, h, bits, samples, seed=0):
    rows = []
    top = (1 << bits) - 1
    for y in range(h):
        values = [(x * 5 + y * 11 + c * 3 + seed) % (top + 1)
                  for x in range(w) for c in range(samples)]
        rows.append(png_rows(values, w * samples, 1, 1, bits)[0])
    return rows


def tiff_seeds():
    seeds = {}
    # PIL with libtiff: the codecs.
    seeds['gray_lzw.tif'] = saved(pattern('L'), 'TIFF', compression='tiff_lzw', dpi=(300, 300))
    seeds['rgb_deflate.tif'] = saved(pattern('RGB'), 'TIFF', compression='tiff_adobe_deflate')
    seeds['rgb_packbits.tif'] = saved(pattern('RGB'), 'TIFF', compression='packbits')
    seeds['rgb_jpeg.tif'] = saved(pattern('RGB', 16, 16), 'TIFF', compression='jpeg')
    seeds['cmyk.tif'] = saved(pattern('CMYK'), 'TIFF')
    seeds['rgba.tif'] = saved(pattern('RGBA'), 'TIFF')
    seeds['palette.tif'] = saved(pattern('P'), 'TIFF')
    seeds['gray16.tif'] = saved(pattern('I;16'), 'TIFF')
    seeds['bilevel_g3.tif'] = saved(pattern('1', 24, 9), 'TIFF', compression='group3')
    seeds['bilevel_g4.tif'] = saved(pattern('1', 24, 9), 'TIFF', compression='group4')
    seeds['two_pages.tif'] = saved(pattern('L'), 'TIFF', save_all=True,
                                   append_images=[pattern('RGB')])
    seeds['orientation.tif'] = make_tiff(W, H, 8, 1, 1, [b''.join(packed_rows(W, H, 8, 1))],
                                         extra_tags=((274, 3, [6]),))
    # Written by hand: depths, bands, planes, tiles, predictor, fill order.
    for bits in (1, 2, 4, 8):
        seeds['gray%d_strips.tif' % bits] = make_tiff(
            W, H, bits, 1, 1, [b''.join(packed_rows(W, H, bits, 1)[i:i + 3])
                               for i in range(0, H, 3)])
    seeds['miniswhite1.tif'] = make_tiff(W, H, 1, 1, 0, [b''.join(packed_rows(W, H, 1, 1))],
                                         extra_tags=((266, 3, [2]),))
    seeds['rgb_planar.tif'] = make_tiff(W, H, 8, 3, 2, [b''.join(packed_rows(W, H, 8, 1, c))
                                                         for c in range(3)], planar=2)
    seeds['gray_tiled.tif'] = make_tiff(20, 18, 8, 1, 1, [bytes((i * 7 + t) % 256 for i in range(256))
                                                          for t in range(4)], tile=16)
    rows = packed_rows(W, H, 8, 3)
    diffed = b''
    for row in rows:
        out = bytearray(row)
        for i in range(len(out) - 1, 2, -1):
            out[i] = (out[i] - out[i - 3]) % 256
        diffed += bytes(out)
    seeds['rgb_predictor.tif'] = make_tiff(W, H, 8, 3, 2, [zlib.compress(diffed)], compression=8,
                                           extra_tags=((317, 3, [2]),))
    seeds['gray_resolution_cm.tif'] = make_tiff(
        W, H, 8, 1, 1, [b''.join(packed_rows(W, H, 8, 1))],
        extra_tags=((282, 5, [(118, 1)]), (283, 5, [(59, 1)]), (296, 3, [3])))
    seeds['gray_alpha.tif'] = make_tiff(W, H, 8, 2, 1, [b''.join(packed_rows(W, H, 8, 2))],
                                        extra_tags=((338, 3, [2]),))
    # Decoded through libtiff: 16 and 4 bits, alpha, planes, tiles, YCbCr
    # JPEG, old-style LZW, damaged strips; and a BigTIFF.
    seeds['rgb16_deflate.tif'] = make_tiff(
        W, H, 16, 3, 2, [zlib.compress(b''.join(packed_rows(W, H, 16, 3)))], compression=8)
    seeds['cmyk16.tif'] = make_tiff(W, H, 16, 4, 5, [b''.join(packed_rows(W, H, 16, 4))])
    seeds['rgb4.tif'] = make_tiff(W, H, 4, 3, 2, [b''.join(packed_rows(W, H, 4, 3))])
    seeds['cmyk_alpha_planar.tif'] = make_tiff(
        W, H, 8, 5, 5, [b''.join(packed_rows(W, H, 8, 1, c)) for c in range(5)], planar=2,
        extra_tags=((338, 3, [2]),))
    seeds['rgba_tiled_deflate.tif'] = make_tiff(
        20, 18, 8, 4, 2, [zlib.compress(bytes((i * 7 + t) % 256 for i in range(1024)))
                          for t in range(4)], compression=8, tile=16,
        extra_tags=((338, 3, [1]),))
    ycbcr = saved(pattern('RGB', 16, 16), 'JPEG', quality=90, subsampling=2)
    seeds['ycbcr_jpeg.tif'] = make_tiff(16, 16, 8, 3, 6, [ycbcr], compression=7,
                                        extra_tags=((530, 3, [2, 2]),))
    seeds['ycbcr_old_jpeg.tif'] = make_tiff(16, 16, 8, 3, 6, [ycbcr], compression=6,
                                            extra_tags=((513, 4, [8]), (514, 4, [len(ycbcr)]),
                                                        (530, 3, [2, 2])))
    seeds['gray_old_lzw.tif'] = make_tiff(W, H, 8, 1, 1,
                                          [old_style_lzw(b''.join(packed_rows(W, H, 8, 1)))],
                                          compression=5)
    seeds['gray_bad_deflate.tif'] = make_tiff(
        W, H, 8, 1, 1, [zlib.compress(b''.join(packed_rows(W, H, 8, 1)))[:-9] + b'\xff' * 9],
        compression=8)
    seeds['big_gray_deflate.tif'] = make_tiff(
        W, H, 8, 1, 1, [zlib.compress(b''.join(packed_rows(W, H, 8, 1)))], compression=8,
        big=True)
    return seeds


# ---- GIF --------------------------------------------------------------------

def gif_seeds():
    seeds = {}
    for colors in (2, 4, 16, 256):
        image = pattern('L').point(lambda v, n=colors: v % n).convert('P')
        image.putpalette([(i * 50 + c * 80) % 256 for i in range(colors) for c in range(3)])
        seeds['colors%d.gif' % colors] = saved(image, 'GIF')
    base = pattern('P')
    seeds['interlaced.gif'] = saved(base, 'GIF', interlace=True)
    seeds['plain87a.gif'] = saved(base, 'GIF', interlace=False)
    seeds['transparent.gif'] = saved(base, 'GIF', transparency=3)
    seeds['frames.gif'] = saved(base, 'GIF', save_all=True,
                                append_images=[pattern('RGB').convert('P')], duration=10)
    seeds['wide.gif'] = saved(pattern('P', 70, 3), 'GIF')
    # Decoded instead of re-packed: a table kept full without a clear code,
    # and an interlaced image of code size 3.
    noise = [(x * 7919 + y * 104729 + x * y * x * 31) % 251 for y in range(80) for x in range(80)]
    seeds['deferred_clear.gif'] = make_gif(80, 80, noise, 8, deferred_clear=True)
    seeds['interlaced3.gif'] = make_gif(W, H, [(x + y) % 8 for y in range(H) for x in range(W)], 3,
                                        interlaced=True)
    return seeds


def gif_lzw(pixels, code_size, deferred_clear):
    """GIF's LZW, codes least significant bit first, the width following the
    decoder's count of entries (one behind the encoder's). With
    `deferred_clear` the encoder goes on with a full table."""
    clear = 1 << code_size
    codes, table, encoder_next = [clear], {}, clear + 2
    current = pixels[0]
    for pixel in pixels[1:]:
        if (current, pixel) in table:
            current = table[(current, pixel)]
            continue
        codes.append(current)
        if encoder_next < 4096:
            table[(current, pixel)] = encoder_next
            encoder_next += 1
        elif not deferred_clear:
            codes.append(clear)
            table, encoder_next = {}, clear + 2
        current = pixel
    codes += [current, clear + 1]
    bits = count = 0
    width, decoder_next = code_size + 1, clear + 1
    for code in codes:
        bits |= code << count
        count += width
        if code == clear:
            width, decoder_next = code_size + 1, clear + 1
            continue
        decoder_next = min(decoder_next + 1, 4096)
        if decoder_next == 1 << width and width < 12:
            width += 1
    return bits.to_bytes((count + 7) // 8, "little")


def make_gif(w, h, pixels, code_size, interlaced=False, deferred_clear=False):
    table = bytes((i * 50 + c * 80) % 256 for i in range(1 << code_size) for c in range(3))
    out = b'GIF89a' + struct.pack('<HHBBB', w, h, 0xF0 | (code_size - 1), 0, 0) + table
    if interlaced:
        rows = [y for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)) for y in range(start, h, step)]
        pixels = [pixels[y * w + x] for y in rows for x in range(w)]
    out += b',' + struct.pack('<HHHHB', 0, 0, w, h, 0x40 if interlaced else 0)
    data = gif_lzw(pixels, code_size, deferred_clear)
    out += bytes([code_size])
    for i in range(0, len(data), 255):
        out += bytes([len(data[i:i + 255])]) + data[i:i + 255]
    return out + b'\x00;'


# ---- CCITT ------------------------------------------------------------------

def ccitt_strip(image, compression):
    """The fax data of a one-strip bilevel TIFF written by libtiff."""
    tiff = Image.open(io.BytesIO(saved(image, 'TIFF', compression=compression)))
    offsets = tiff.tag_v2[273]
    counts = tiff.tag_v2[279]
    data = saved(image, 'TIFF', compression=compression)
    return b''.join(data[o:o + c] for o, c in zip(offsets, counts))


def ccitt_seeds():
    image = pattern('1', 32, 12)
    g4 = ccitt_strip(image, 'group4')
    g3 = ccitt_strip(image, 'group3')
    reversed_g4 = bytes(int('{:08b}'.format(b)[::-1], 2) for b in g4)

    def header(w, h, k, flags):
        return struct.pack('>hhbB', w, h, k, flags)
    return {
        'g4.bin': header(32, 12, -1, 0) + g4,
        'g4_black1.bin': header(32, 12, -1, 2) + g4,
        'g4_reversed.bin': header(32, 12, -1, 1) + reversed_g4,
        'g3.bin': header(32, 12, 0, 0) + g3,
        'g3_2d.bin': header(32, 12, 4, 0) + g3,
    }


# ---- Books ------------------------------------------------------------------

def book(options, *pieces):
    return bytes([options]) + b''.join(struct.pack('<H', len(p)) + p for p in pieces)


def book_seeds(jpeg, png, tiff, gif):
    return {
        'four_kinds.bin': book(6 << 2, jpeg['rgb.jpg'], png['rgb8.png'],
                               tiff['gray_lzw.tif'], gif['colors16.gif']),
        'damaged_middle.bin': book(0, png['palette4.png'], jpeg['gray.jpg'][:60],
                                   gif['transparent.gif']),
        'pdf12_uncompressed.bin': book(1, tiff['rgb_planar.tif'], jpeg['cmyk_adobe.jpg']),
        'pdf14.bin': book(2 | 9 << 2, png['rgba8.png'], tiff['two_pages.tif'],
                          png['interlaced_gray2.png']),
        'unknown_piece.bin': book(0, b'not an image', gif['interlaced.gif']),
    }


def main():
    if len(sys.argv) != 2:
        sys.exit('usage: make_seeds.py CORPUS_FOLDER')
    root = sys.argv[1]
    jpeg, png, tiff, gif = jpeg_seeds(), png_seeds(), tiff_seeds(), gif_seeds()
    corpora = {'jpeg': jpeg, 'png': png, 'tiff': tiff, 'gif': gif,
               'ccitt': ccitt_seeds(), 'book': book_seeds(jpeg, png, tiff, gif)}
    for target, seeds in corpora.items():
        folder = os.path.join(root, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(data)
        print('%-6s %3d seeds, %6d bytes' % (target, len(seeds),
                                            sum(len(d) for d in seeds.values())))


if __name__ == '__main__':
    main()
