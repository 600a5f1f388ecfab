// generate.h -- deterministic benchmark inputs.
//
// Every picture is a function of its size and seed alone, so that two runs
// (or two machines) measure the same bytes. The colour pictures look like
// photographs to a compressor: smooth gradients that differ from seed to
// seed, soft shapes, and a few bits of noise in every sample, which keeps
// Flate and JPEG from finding long repeats. The fax pages are lines of
// text-like strokes inside page margins.
#ifndef BINDWICK_BENCH_GENERATE_H
#define BINDWICK_BENCH_GENERATE_H

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Fills `row` with row `y` of the colour picture `seed`, `channels` (3 or
// 4; the fourth is an alpha ramp) interleaved samples of 8 bits per pixel.
void PhotoRow(int width, int height, int channels, unsigned seed, int y,
              std::vector<uint8_t> *row);

// Fills `row` with row `y` of the fax page `seed`: 1 bit per pixel, most
// significant bit first, 1 for ink.
void FaxRow(int width, int height, unsigned seed, int y, std::vector<uint8_t> *row);

// Writers of one file each; they end the process with a message when the
// file cannot be written.

// An RGB JPEG (baseline, 4:2:0) at the given quality. Defined only where
// libjpeg is available (BINDWICK_BENCH_HAVE_JPEG).
void WriteJpeg(const std::string &path, int width, int height, unsigned seed,
               int quality);

// A non-interlaced 8-bit RGB (channels 3) or RGBA (channels 4) PNG,
// compressed at level 6.
void WritePng(const std::string &path, int width, int height, int channels,
              unsigned seed);

// An uncompressed, contiguous 8-bit RGB TIFF in strips of 64 rows.
void WriteRawTiff(const std::string &path, int width, int height, unsigned seed);

// A Group 4 fax TIFF, white is zero, the whole page in one strip.
void WriteFaxTiff(const std::string &path, int width, int height, unsigned seed);

}  // namespace bench

#endif  // BINDWICK_BENCH_GENERATE_H
