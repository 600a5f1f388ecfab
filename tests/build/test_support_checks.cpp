// The helpers every other test relies on, checked against documents and
// images whose content is known: if a renderer's output were read wrongly
// (rows flipped, wrong sampling offset, palette not expanded), image tests
// would pass or fail for the wrong reasons.
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// Assembles a one-page PDF around the given objects 4.. (object 1 catalog,
// 2 page tree, 3 page) with a correct cross-reference table.
std::string MakePdf(const std::string &page_dictionary, const std::vector<std::string> &objects)
{
    std::vector<std::string> all = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        page_dictionary,
    };
    all.insert(all.end(), objects.begin(), objects.end());
    std::string pdf = "%PDF-1.3\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < all.size(); i++) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + all[i] + "\nendobj\n";
    }
    size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(all.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char entry[32];
        snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(all.size() + 1) +
           " /Root 1 0 R /ID [<0123456789abcdef0123456789ABCDEF><0123456789abcdef0123456789ABCDEF>] >>\n"
           "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string Stream(const std::string &dictionary, const std::string &data)
{
    return "<< " + dictionary + " /Length " + std::to_string(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

struct ImageCase {
    const char *label;
    const char *colorspace;
    int bits;
};

// Sample values that differ from pixel to pixel and between channels.
uint8_t Sample(int x, int y, int channel)
{
    return static_cast<uint8_t>((x * 73 + y * 151 + channel * 97 + 11) % 256);
}

class RendererTest : public ::testing::TestWithParam<ImageCase> {};

// An image of 7x5 pixels drawn one pixel per point at (2, 3) on an 11x9
// page; both renderers must give back every sample and white around it.
TEST_P(RendererTest, ReproduceImageSamplesAtTheirPlace)
{
    const ImageCase &c = GetParam();
    const int width = 7, height = 5, left = 2, bottom = 3, page_w = 11, page_h = 9;
    const int components = std::string(c.colorspace) == "DeviceRGB" ? 3 : 1;

    Raster expected;
    expected.width = page_w;
    expected.height = page_h;
    expected.rgb.assign(page_w * page_h * 3, 255);
    std::string data;
    for (int y = 0; y < height; y++) {
        int bit_row = 0, bit_count = 0;
        for (int x = 0; x < width; x++) {
            uint8_t rgb[3];
            if (c.bits == 1) {
                int bit = Sample(x, y, 0) & 1;
                bit_row = bit_row << 1 | bit;
                if (++bit_count == 8) {
                    data += static_cast<char>(bit_row);
                    bit_row = bit_count = 0;
                }
                rgb[0] = rgb[1] = rgb[2] = bit ? 255 : 0;
            } else {
                for (int ch = 0; ch < components; ch++)
                    data += static_cast<char>(Sample(x, y, ch));
                for (int ch = 0; ch < 3; ch++)
                    rgb[ch] = Sample(x, y, components == 3 ? ch : 0);
            }
            int page_y = page_h - bottom - height + y;
            for (int ch = 0; ch < 3; ch++)
                expected.rgb[(page_y * page_w + left + x) * 3 + ch] = rgb[ch];
        }
        if (bit_count > 0)
            data += static_cast<char>(bit_row << (8 - bit_count));
    }

    std::string contents = "q " + std::to_string(width) + " 0 0 " + std::to_string(height) + " " +
                           std::to_string(left) + " " + std::to_string(bottom) + " cm /Im1 Do Q";
    std::string pdf = MakePdf(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(page_w) + " " +
            std::to_string(page_h) + "] /Resources << /XObject << /Im1 5 0 R >> >> /Contents 4 0 R >>",
        {Stream("", contents),
         Stream("/Type /XObject /Subtype /Image /Width " + std::to_string(width) + " /Height " +
                    std::to_string(height) + " /ColorSpace /" + c.colorspace +
                    " /BitsPerComponent " + std::to_string(c.bits),
                data)});
    TempDir dir;
    WriteFile(dir.file("image.pdf"), pdf);

    std::string report;
    ASSERT_TRUE(QpdfCheck(dir.file("image.pdf"), &report)) << report;
    EXPECT_EQ(MaxDifference(RenderMutool(dir.file("image.pdf"), 1), expected), 0);
    EXPECT_EQ(MaxDifference(RenderPoppler(dir.file("image.pdf"), 1), expected), 0);
}

INSTANTIATE_TEST_SUITE_P(Images, RendererTest,
                         ::testing::Values(ImageCase{"rgb8", "DeviceRGB", 8},
                                           ImageCase{"gray8", "DeviceGray", 8},
                                           ImageCase{"gray1", "DeviceGray", 1}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(ReadPng, ExpandsPaletteGrayAndDropsAlpha)
{
    TempDir dir;
    // Debian's own Python carries the imaging module; the first python3 on
    // PATH may not.
    std::string script =
        "from PIL import Image\n"
        "import sys\n"
        "d = sys.argv[1]\n"
        "p = Image.new('P', (3, 2)); p.putpalette([10,20,30, 200,100,50, 0,255,7])\n"
        "p.putdata([0,1,2, 2,1,0]); p.save(d + '/palette.png')\n"
        "g = Image.new('1', (3, 2)); g.putdata([0,1,0, 1,1,0]); g.save(d + '/bilevel.png')\n"
        "a = Image.new('RGBA', (3, 2)); a.putdata([(1,2,3,0),(4,5,6,128),(7,8,9,255)]*2)\n"
        "a.save(d + '/alpha.png')\n"
        "w = Image.new('I;16', (3, 2)); w.putdata([0, 0x1234, 0xffff]*2); w.save(d + '/gray16.png')\n";
    WriteFile(dir.file("make.py"), script);
    CommandResult made = RunCommand("/usr/bin/python3 " + ShellQuote(dir.file("make.py")) + " " +
                                    ShellQuote(dir.path()));
    ASSERT_EQ(made.status, 0) << made.output;

    struct Row {
        const char *file;
        std::vector<uint8_t> rgb;
    };
    const Row rows[] = {
        {"palette.png", {10, 20, 30, 200, 100, 50, 0, 255, 7, 0, 255, 7, 200, 100, 50, 10, 20, 30}},
        {"bilevel.png", {0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255, 0, 0, 0}},
        {"alpha.png", {1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"gray16.png", {0, 0, 0, 0x12, 0x12, 0x12, 255, 255, 255, 0, 0, 0, 0x12, 0x12, 0x12, 255, 255, 255}},
    };
    for (const Row &row : rows) {
        Raster raster = ReadPng(dir.file(row.file));
        EXPECT_EQ(raster.width, 3) << row.file;
        EXPECT_EQ(raster.height, 2) << row.file;
        EXPECT_EQ(raster.rgb, row.rgb) << row.file;
    }
}

TEST(MaxDifference, ComparesSizesAndSamples)
{
    Raster a;
    a.width = 2;
    a.height = 1;
    a.rgb = {0, 10, 20, 30, 40, 50};
    Raster b = a;
    EXPECT_EQ(MaxDifference(a, b), 0);
    b.rgb[4] = 43;
    b.rgb[0] = 2;
    EXPECT_EQ(MaxDifference(a, b), 3);
    Raster c = a;
    c.width = 1;
    c.height = 2;
    EXPECT_EQ(MaxDifference(a, c), 256);
    EXPECT_EQ(MaxDifference(a, Raster()), 256);
}

TEST(NormalizePdf, BlanksOnlyTheDateAndTheIdentifier)
{
    struct Row {
        const char *label;
        std::string input;
        std::string expected;
    };
    const Row rows[] = {
        {"date", "/CreationDate (D:20261208170706)\n", "/CreationDate (D:00000000000000)\n"},
        {"date with zone", "/CreationDate (D:20261208170706+01'00')",
         "/CreationDate (D:00000000000000+01'00')"},
        {"identifier", "/ID[<0a1B><ffee99>]", "/ID[<0000><000000>]"},
        {"identifier with spaces", "/ID [ <ab12>\n<CD34> ]", "/ID [ <0000>\n<0000> ]"},
        {"both and more", "/Title (D:2026) /CreationDate (D:20261208170706)/ID[<a><b>] 12 0 R",
         "/Title (D:2026) /CreationDate (D:00000000000000)/ID[<0><0>] 12 0 R"},
        {"other keys untouched", "/ModDate (D:20261208170706) /IDX[<ab>]",
         "/ModDate (D:20261208170706) /IDX[<ab>]"},
        {"truncated", "/CreationDate (D:2026", "/CreationDate (D:0000"},
        {"truncated identifier", "/ID[<ab", "/ID[<00"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(NormalizePdf(row.input), row.expected) << row.label;
}

TEST(Checkers, QpdfAndPdfinfoReadAHandMadeDocument)
{
    TempDir dir;
    std::string pdf = MakePdf(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /CropBox [10 20 300 400] "
        "/Contents 4 0 R >>",
        {Stream("", "")});
    WriteFile(dir.file("good.pdf"), pdf);
    std::string report;
    EXPECT_TRUE(QpdfCheck(dir.file("good.pdf"), &report)) << report;
    EXPECT_EQ(PdfInfoField(dir.file("good.pdf"), "Pages"), "1");
    EXPECT_EQ(PdfInfoField(dir.file("good.pdf"), "Page size", 1), "290 x 380 pts");  // the crop box
    EXPECT_EQ(PdfInfoField(dir.file("good.pdf"), "MediaBox", 1),
              "0.00     0.00   595.00   842.00");
    EXPECT_EQ(PdfInfoField(dir.file("good.pdf"), "CropBox", 1),
              "10.00    20.00   300.00   400.00");
    EXPECT_EQ(PdfInfoField(dir.file("good.pdf"), "No such field"), "");

    // A wrong stream length and a damaged cross-reference table must both be
    // refused, even though qpdf can repair them.
    std::string bad_length = pdf;
    bad_length.replace(bad_length.find("/Length 0"), 9, "/Length 5");
    WriteFile(dir.file("bad-length.pdf"), bad_length);
    EXPECT_FALSE(QpdfCheck(dir.file("bad-length.pdf")));
    std::string bad_xref = pdf;
    bad_xref.replace(bad_xref.find("0000000009 00000 n"), 1, "1");
    WriteFile(dir.file("bad-xref.pdf"), bad_xref);
    EXPECT_FALSE(QpdfCheck(dir.file("bad-xref.pdf")));
}

TEST(Commands, RunQuoteAndCleanUp)
{
    CommandResult result = RunCommand("echo out; echo err >&2; exit 3");
    EXPECT_EQ(result.status, 3);
    EXPECT_EQ(result.output, "out\nerr\n");

    const std::string awkward = "it's a \"file\" $HOME `x` \\ name";
    EXPECT_EQ(RunCommand("printf %s " + ShellQuote(awkward)).output, awkward);

    std::string kept;
    {
        TempDir dir;
        kept = dir.path();
        WriteFile(dir.file("a"), std::string("x\0y", 3));
        EXPECT_EQ(ReadFile(dir.file("a")), std::string("x\0y", 3));
        std::filesystem::create_directory(dir.file("sub"));
        WriteFile(dir.file("sub/b"), "b");
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
