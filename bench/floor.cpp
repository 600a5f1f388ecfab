// bench_floor: the least work a binder must do on a set whose data pass
// through but need more than reading and writing, timed as a contender
// next to cat.
//
//   bench_floor inflate OUT FILE...   (PNG files)
//   bench_floor libtiff OUT FILE...   (single-page TIFF files)
//
// inflate: reads each PNG, writes its bytes to OUT, and decodes its IDAT
// data with zlib, dropping the result: the cost of copying Flate data with
// the check that they decode.
// libtiff: opens each TIFF with libtiff (unmapped) and copies its raw strips
// to OUT, file to file in the kernel as cat does: the cost of a binder that
// finds the strips through libtiff, including loading libtiff and its codec
// libraries.
// Exits with 1 on a file that cannot be read or decoded.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <tiffio.h>
#include <zlib.h>

namespace {

bool WriteAll(int fd, const unsigned char *data, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written <= 0) return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool ReadFile(const char *path, std::vector<unsigned char> *bytes) {
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    bytes->clear();
    unsigned char block[1 << 17];
    ssize_t got;
    while ((got = read(fd, block, sizeof block)) > 0) bytes->insert(bytes->end(), block, block + got);
    close(fd);
    return got == 0;
}

std::uint32_t BigEndian32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// Decodes the concatenated IDAT data of one PNG held in memory.
bool InflateIdat(const std::vector<unsigned char> &png) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) return false;
    static unsigned char scratch[1 << 15];
    int status = Z_OK;
    size_t at = 8;
    while (status != Z_STREAM_END && at + 12 <= png.size()) {
        std::uint32_t length = BigEndian32(&png[at]);
        if (length > png.size() - at - 12) break;
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            stream.next_in = const_cast<unsigned char *>(&png[at + 8]);
            stream.avail_in = length;
            do {
                stream.next_out = scratch;
                stream.avail_out = sizeof scratch;
                status = inflate(&stream, Z_NO_FLUSH);
            } while (status == Z_OK && (stream.avail_in > 0 || stream.avail_out == 0));
            if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) break;
        }
        at += 12 + length;
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END;
}

bool CopyCheckingFlate(int out, const char *path) {
    static std::vector<unsigned char> png;
    return ReadFile(path, &png) && WriteAll(out, png.data(), png.size()) && InflateIdat(png);
}

bool CopyRange(int in, loff_t offset, size_t length, int out) {
    while (length > 0) {
        ssize_t copied = copy_file_range(in, &offset, out, nullptr, length, 0);
        if (copied <= 0) return false;
        length -= static_cast<size_t>(copied);
    }
    return true;
}

bool CopyStripsThroughLibtiff(int out, const char *path) {
    TIFF *tif = TIFFOpen(path, "rm");
    if (tif == nullptr) return false;
    bool sound = true;
    for (std::uint32_t index = 0; sound && index < TIFFNumberOfStrips(tif); index++)
        sound = CopyRange(TIFFFileno(tif), static_cast<loff_t>(TIFFGetStrileOffset(tif, index)),
                          TIFFGetStrileByteCount(tif, index), out);
    TIFFClose(tif);
    return sound;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 4 || (std::strcmp(argv[1], "inflate") != 0 && std::strcmp(argv[1], "libtiff") != 0)) {
        std::fprintf(stderr, "usage: %s inflate|libtiff OUT FILE...\n", argv[0]);
        return 2;
    }
    bool (*copy)(int, const char *) =
        std::strcmp(argv[1], "inflate") == 0 ? CopyCheckingFlate : CopyStripsThroughLibtiff;
    int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        std::perror(argv[2]);
        return 1;
    }
    for (int i = 3; i < argc; i++) {
        if (!copy(out, argv[i])) {
            std::fprintf(stderr, "%s: %s: cannot be read or decoded\n", argv[0], argv[i]);
            return 1;
        }
    }
    return close(out) == 0 ? 0 : 1;
}
