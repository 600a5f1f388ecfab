// Raw CCITT fax files: a Group 4 strip made by libtiff goes into the PDF
// unchanged (or bit-reversed) and renders as the bitmap it encodes.
#include <tiffio.h>

#include <fstream>
#include <string>
#include <vector>

#include "image/ccitt.h"
#include "folio_support.h"

using namespace foliotest;
using testsupport::ReadFile;

namespace {

const int kWidth = 64;
const int kHeight = 40;

bool Black(int x, int y) { return ((x / 8 + y / 5) % 2 == 0) || x == y; }

// Encodes the bitmap as a one-strip Group 4 TIFF and returns the strip's
// compressed bytes, most significant bit first.
std::string MakeGroup4Strip(const std::string &tiff_path)
{
    TIFF *out = TIFFOpen(tiff_path.c_str(), "w");
    if (!out) return std::string();
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, kHeight);
    std::vector<unsigned char> row(kWidth / 8);
    for (int y = 0; y < kHeight; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = 0; x < kWidth; ++x)
            if (Black(x, y)) row[x / 8] |= static_cast<unsigned char>(0x80 >> x % 8);
        TIFFWriteScanline(out, row.data(), y, 0);
    }
    TIFFClose(out);

    TIFF *in = TIFFOpen(tiff_path.c_str(), "r");
    if (!in) return std::string();
    std::vector<unsigned char> strip(TIFFRawStripSize(in, 0));
    tmsize_t count = TIFFReadRawStrip(in, 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    TIFFClose(in);
    return count > 0 ? std::string(strip.begin(), strip.begin() + count) : std::string();
}

// Writes a page showing the fax file at scale 1.
void WriteFaxPage(Doc &doc, const std::string &pdf_path, const std::string &fax_path,
                  int reverse)
{
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, pdf_path.c_str()), 1);
    int image = PDF_open_CCITT(doc.pdf, fax_path.c_str(), kWidth, kHeight, reverse, -1, 0);
    ASSERT_EQ(image, 0);
    PDF_begin_page(doc.pdf, kWidth, kHeight);
    PDF_place_image(doc.pdf, image, 0, 0, 1);
    PDF_close_image(doc.pdf, image);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
}

TEST(Ccitt, Group4StripRendersItsBitmap)
{
    testsupport::TempDir dir;
    std::string strip = MakeGroup4Strip(dir.file("fax.tif"));
    ASSERT_FALSE(strip.empty());
    std::string reversed = strip;
    for (char &c : reversed) c = static_cast<char>(pdf_reverse_bits(static_cast<pdf_byte>(c)));
    testsupport::WriteFile(dir.file("fax.g4"), strip);
    testsupport::WriteFile(dir.file("fax_lsb.g4"), reversed);

    struct Case { const char *fax, *pdf; int reverse; };
    for (const Case &c : {Case{"fax.g4", "plain.pdf", 0}, Case{"fax_lsb.g4", "reversed.pdf", 1}}) {
        Doc doc;
        WriteFaxPage(doc, dir.file(c.pdf), dir.file(c.fax), c.reverse);
        std::string report;
        EXPECT_TRUE(testsupport::QpdfCheck(dir.file(c.pdf), &report)) << report;
        testsupport::Raster raster = testsupport::RenderMutool(dir.file(c.pdf), 1);
        ASSERT_EQ(raster.width, kWidth) << c.pdf;
        ASSERT_EQ(raster.height, kHeight) << c.pdf;
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if ((raster.at(x, y, 0) < 128) != Black(x, y)) ++wrong;
        EXPECT_EQ(wrong, 0) << c.pdf;
        // The stream is the strip itself, whatever order the file had.
        EXPECT_NE(ReadFile(dir.file(c.pdf)).find("stream\n" + strip + "endstream"), std::string::npos);
    }
}

TEST(Ccitt, BitReversalMirrorsEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        pdf_byte r = pdf_reverse_bits(static_cast<pdf_byte>(b));
        for (int bit = 0; bit < 8; ++bit)
            ASSERT_EQ((b >> bit) & 1, (r >> (7 - bit)) & 1) << b;
    }
    EXPECT_EQ(pdf_reverse_bits(0x01), 0x80);
    EXPECT_EQ(pdf_reverse_bits(0x03), 0xC0);

    // In the written stream, longer than one read buffer.
    testsupport::TempDir dir;
    std::string bytes;
    for (int i = 0; i < 1500; ++i) bytes += static_cast<char>(i % 2 ? 0x01 : 0x03);
    testsupport::WriteFile(dir.file("bits.g4"), bytes);
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("bits.pdf").c_str()), 1);
    EXPECT_EQ(PDF_open_CCITT(doc.pdf, dir.file("bits.g4").c_str(), 8, 8, 1, 0, 0), 0);
    ShowOnLastPage(doc.pdf, 0, 8, 8);
    std::string expected;
    for (int i = 0; i < 1500; ++i) expected += static_cast<char>(i % 2 ? 0x80 : 0xC0);
    EXPECT_NE(ReadFile(dir.file("bits.pdf")).find("stream\n" + expected + "endstream"),
              std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("bits.pdf")));
}

TEST(Ccitt, DecodeParametersFollowKAndBlackIs1)
{
    struct Case { int width, height, k, black_is_1; const char *parms; };
    const Case cases[] = {
        {1728, 2200, -1, 0, "/DecodeParms[<</K -1/Rows 2200>>]\n"},
        {2048, 2200, -1, 0, "/DecodeParms[<</K -1/Columns 2048/Rows 2200>>]\n"},
        {64, 40, 0, 1, "/DecodeParms[<</BlackIs1 true/Columns 64/Rows 40>>]\n"},
        {64, 40, 4, 1, "/DecodeParms[<</K 4/BlackIs1 true/Columns 64/Rows 40>>]\n"},
        {64, 40, 0, 0, "/DecodeParms[<</Columns 64/Rows 40>>]\n"},
    };
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("any.g4"), std::string(10, '\0'));
    auto run = [&](const Case &c) {
        Doc doc;
        PDF_GUARD(doc);
        ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("p.pdf").c_str()), 1);
        int image = PDF_open_CCITT(doc.pdf, dir.file("any.g4").c_str(), c.width, c.height, 0,
                                   c.k, c.black_is_1);
        PDF_close_image(doc.pdf, image);
        PDF_begin_page(doc.pdf, 10, 10);
        PDF_end_page(doc.pdf);
        PDF_close(doc.pdf);
        std::string pdf = ReadFile(dir.file("p.pdf"));
        EXPECT_NE(pdf.find("/Filter[/CCITTFaxDecode]\n" + std::string(c.parms)), std::string::npos)
            << c.parms << pdf.substr(0, 400);
        EXPECT_TRUE(testsupport::QpdfCheck(dir.file("p.pdf")));
    };
    for (const Case &c : cases) run(c);
}

TEST(Ccitt, MissingFileIsMinusOneAndAWarningOnlyWhenAsked)
{
    testsupport::TempDir dir;
    std::string missing = dir.file("missing.g4");
    Doc doc;
    PDF_GUARD(doc);
    ASSERT_EQ(PDF_open_file(doc.pdf, dir.file("m.pdf").c_str()), 1);
    EXPECT_EQ(PDF_open_CCITT(doc.pdf, missing.c_str(), 8, 8, 0, 0, 0), -1);
    EXPECT_TRUE(doc.recorder.Warnings().empty());
    PDF_set_parameter(doc.pdf, "imagewarning", "true");
    EXPECT_EQ(PDF_open_CCITT(doc.pdf, missing.c_str(), 8, 8, 0, 0, 0), -1);
    ASSERT_EQ(doc.recorder.Warnings().size(), 1u);
    EXPECT_EQ(doc.recorder.Warnings()[0], "Couldn't open CCITT file '" + missing + "'");
    PDF_begin_page(doc.pdf, 8, 8);
    PDF_end_page(doc.pdf);
    PDF_close(doc.pdf);
    EXPECT_TRUE(testsupport::QpdfCheck(dir.file("m.pdf")));
    EXPECT_EQ(ReadFile(dir.file("m.pdf")).find("/Subtype/Image"), std::string::npos);
}

}  // namespace
