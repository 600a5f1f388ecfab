// A damaged image in the middle of a book of good ones, through bindwick-cli
// as a user runs it. Two answers are sound: the reader refuses the file (the
// other pages are written, exit status 3), or the damage shows only while the
// image's data are copied (a clear error naming the file, exit status 1, no
// output file). A crash, a hang, a silent success with a page missing or a
// document that fails qpdf --check is never one. Damage in data that pass
// through is found before the image is written, so the first answer is the
// one for them; a TIFF whose strips fail the check but that libtiff decodes
// is bound whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "jpeg_fixture.h"
#include "test_support.h"

namespace {

using testsupport::CommandResult;
using testsupport::Deflate;
using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;
using testsupport::WriteFile;

std::string Be32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (24 - 8 * i));
    return bytes;
}

std::string Le16(uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) { return Le16(value & 0xFFFF) + Le16(value >> 16); }

std::string PngChunk(const std::string &type, const std::string &data) {
    const std::string body = type + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(body.data()),
                            static_cast<uInt>(body.size()));
    return Be32(static_cast<uint32_t>(data.size())) + body + Be32(static_cast<uint32_t>(crc));
}

// An 8-bit RGB PNG of 6 x 4 pixels whose IDAT holds `idat` (checksums
// right, so that only the compressed data can be wrong).
std::string RgbPng(const std::string &idat) {
    const std::string header = Be32(6) + Be32(4) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", header) +
           PngChunk("IDAT", idat) + PngChunk("IEND", "");
}

std::string GoodRgbRows() {
    std::string rows;
    for (int y = 0; y < 4; ++y) {
        rows += '\0';
        for (int x = 0; x < 18; ++x) rows += static_cast<char>(x * 13 + y * 50);
    }
    return rows;
}

// A gray 8 x 4 TIFF with one strip of `strip` and compression `compression`
// (5 LZW, 8 Deflate), little-endian, the directory after the data.
std::string GrayTiff(uint16_t compression, const std::string &strip) {
    std::string data = strip;
    if (data.size() % 2) data += '\0';
    const uint32_t ifd = 8 + static_cast<uint32_t>(data.size());
    std::string out = std::string("II*\0", 4) + Le32(ifd) + data;
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const Entry entries[] = {
        {256, 3, 8}, {257, 3, 4}, {258, 3, 8}, {259, 3, compression}, {262, 3, 1},
        {273, 4, 8}, {277, 3, 1}, {278, 3, 4}, {279, 4, static_cast<uint32_t>(strip.size())},
    };
    out += Le16(sizeof entries / sizeof entries[0]);
    for (const Entry &e : entries) {
        out += Le16(e.tag) + Le16(e.type) + Le32(1);
        out += e.type == 3 ? Le16(static_cast<uint16_t>(e.value)) + Le16(0) : Le32(e.value);
    }
    return out + Le32(0);
}

enum class Answer { kRefused, kStopped, kEither, kRefusedOrBound };

class DamagedInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        first = dir.file("first.jpg");
        last = dir.file("last.jpg");
        ASSERT_TRUE(testfixture::WriteSolidJpeg(first, 16, 12, 200, 40, 40));
        ASSERT_TRUE(testfixture::WriteSolidJpeg(last, 16, 12, 40, 40, 200));
    }

    // Binds first, the damaged file and last, and checks the answer.
    void Check(const std::string &label, const std::string &name,
               const std::string &bytes, Answer expected) {
        SCOPED_TRACE(label);
        const std::string damaged = dir.file(name);
        const std::string out = dir.file(name + ".pdf");
        WriteFile(damaged, bytes);
        const CommandResult result = testsupport::RunCommand(
            ShellQuote(BINDWICK_CLI_PATH) + " -q -o " + ShellQuote(out) + " " +
            ShellQuote(first) + " " + ShellQuote(damaged) + " " + ShellQuote(last));
        struct stat info;
        const bool written = stat(out.c_str(), &info) == 0;

        if (result.status == 0) {
            EXPECT_EQ(expected, Answer::kRefusedOrBound) << result.output;
            EXPECT_TRUE(testsupport::QpdfCheck(out));
            EXPECT_EQ(testsupport::PdfInfoField(out, "Pages"), "3");
            return;
        }
        ASSERT_TRUE(result.status == 3 || result.status == 1)
            << "status " << result.status << "\n" << result.output;
        EXPECT_NE(result.output.find(damaged), std::string::npos)
            << "the message does not name the file:\n" << result.output;
        if (result.status == 3) {
            EXPECT_NE(expected, Answer::kStopped) << result.output;
            ASSERT_TRUE(written);
            std::string report;
            EXPECT_TRUE(testsupport::QpdfCheck(out, &report)) << report;
            EXPECT_EQ(testsupport::PdfInfoField(out, "Pages"), "2");
        } else {
            EXPECT_TRUE(expected == Answer::kStopped || expected == Answer::kEither)
                << result.output;
            EXPECT_FALSE(written) << "a document was left after the error";
            EXPECT_NE(result.output.find("error"), std::string::npos) << result.output;
        }
    }

    TempDir dir;
    std::string first, last;
};

TEST_F(DamagedInputTest, ReaderRefusesTheFile) {
    const std::string jpeg = ReadFile(first);
    Check("JPEG cut before its frame header", "cut.jpg", jpeg.substr(0, 20), Answer::kRefused);
    Check("JPEG with a frame header of zero width", "zero.jpg",
          std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x00\x04\x00\x00\x01\x01\x11\x00", 15),
          Answer::kRefused);
    Check("empty file", "empty.png", "", Answer::kRefused);
    Check("PNG signature only", "signature.png", std::string("\x89PNG\r\n\x1A\n", 8),
          Answer::kRefused);
    Check("TIFF header pointing past the end", "nowhere.tif",
          std::string("II*\0", 4) + Le32(100000), Answer::kRefused);
}

std::string ScrambledIdat() {
    std::string corrupt = Deflate(GoodRgbRows());
    for (size_t i = 2; i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x55);
    return corrupt;
}

TEST_F(DamagedInputTest, DamageInDataThatPassThrough) {
    const std::string whole = Deflate(GoodRgbRows());
    Check("PNG whose image data do not inflate", "corrupt.png", RgbPng(ScrambledIdat()),
          Answer::kRefused);
    Check("PNG whose image data end early", "short.png",
          RgbPng(whole.substr(0, whole.size() - 6)), Answer::kRefused);
    // A whole zlib stream of three rows of four.
    Check("PNG whose image data hold too few rows", "fewrows.png",
          RgbPng(Deflate(GoodRgbRows().substr(0, 3 * 19))), Answer::kRefused);
    // 9-bit code 511 as the first code: beyond the empty table.
    Check("TIFF LZW strip with a code beyond the table", "badcode.tif",
          GrayTiff(5, std::string("\xFF\xC0\x00\x00", 4)), Answer::kRefused);
    Check("TIFF Deflate strip that is no zlib stream", "notzlib.tif",
          GrayTiff(8, std::string(16, '\x07')), Answer::kRefused);
    Check("GIF with garbage after its header", "garbage.gif",
          std::string("GIF89a\x04\x00\x02\x00\x80\x00\x00", 13) + std::string(6, '\0') +
              "," + std::string(9, '\x01') + std::string(40, '\xEE'),
          Answer::kEither);
}

// A book of good pages with a damaged PNG and a damaged TIFF among them:
// the two are left out and named, and every good page is there.
TEST_F(DamagedInputTest, BookKeepsEveryGoodPage) {
    const std::string middle = dir.file("middle.png"), png = dir.file("corrupt.png"),
                      tiff = dir.file("notzlib.tif"), out = dir.file("book.pdf");
    WriteFile(middle, RgbPng(Deflate(GoodRgbRows())));
    WriteFile(png, RgbPng(ScrambledIdat()));
    WriteFile(tiff, GrayTiff(8, std::string(16, '\x07')));
    std::string command = ShellQuote(BINDWICK_CLI_PATH) + " -q -o " + ShellQuote(out);
    for (const std::string &file : {first, png, middle, tiff, last})
        command += " " + ShellQuote(file);
    const CommandResult result = testsupport::RunCommand(command);

    EXPECT_EQ(result.status, 3) << result.output;
    EXPECT_NE(result.output.find(png), std::string::npos) << result.output;
    EXPECT_NE(result.output.find(tiff), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find(middle), std::string::npos) << result.output;
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(out, &report)) << report;
    EXPECT_EQ(testsupport::PdfInfoField(out, "Pages"), "3");
}

// Cuts of good files of each kind, and flipped bytes in their compressed
// data (a flip in a header can make another valid image): whatever the
// reader makes of them, the answer is one of the two sound ones.
TEST_F(DamagedInputTest, CutsAndFlipsOfGoodFiles) {
    struct Source {
        const char *name;
        std::string bytes;
        size_t data_start, data_end;  // where flips land; empty: no flips
        Answer answer;
    };
    const std::string idat = Deflate(GoodRgbRows());
    const std::string strip = Deflate(std::string(32, '\x40'));
    const Source sources[] = {
        {"v.jpg", ReadFile(first), 0, 0, Answer::kEither},  // JPEG data pass through unseen
        {"v.png", RgbPng(idat), 41, 41 + idat.size(), Answer::kEither},
        // A flipped checksum fails the check, but libtiff decodes the data.
        {"v.tif", GrayTiff(8, strip), 8, 8 + strip.size(), Answer::kRefusedOrBound},
    };
    for (const Source &source : sources) {
        const std::string &good = source.bytes;
        for (size_t at = source.data_start; at < source.data_end; at += 3) {
            std::string flipped = good;
            flipped[at] = static_cast<char>(flipped[at] ^ 0xA5);
            Check(std::string(source.name) + " flipped at " + std::to_string(at),
                  "flip" + std::to_string(at) + source.name, flipped, source.answer);
        }
        for (size_t length : {good.size() / 3, good.size() / 2}) {
            Check(std::string(source.name) + " cut to " + std::to_string(length),
                  "cut" + std::to_string(length) + source.name, good.substr(0, length),
                  source.answer);
        }
    }
}

}  // namespace
