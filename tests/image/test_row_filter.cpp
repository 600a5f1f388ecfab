// Decoded images written with PNG row filters and deflated in blocks on
// several threads: the filter each row gets, what viewers show, the bytes
// for any thread count, and allocation failures on the way.
#include <gtest/gtest.h>

#include "image/row_filter.h"
#include "test_png_util.h"

using namespace foliotest;
using namespace pngtest;
using namespace testsupport;

namespace {

// The row filtered plainly, one byte at a time, under each filter in turn;
// the one of least sum of sizes (bytes taken as signed) is the expected.
std::vector<pdf_byte> PlainlyFiltered(const std::vector<pdf_byte> &row,
                                      const std::vector<pdf_byte> &above, size_t step)
{
    std::vector<pdf_byte> best;
    long best_sum = -1;
    for (int type = 0; type < 5; type++) {
        std::vector<pdf_byte> out{static_cast<pdf_byte>(type)};
        long sum = 0;
        for (size_t i = 0; i < row.size(); i++) {
            int a = i >= step ? row[i - step] : 0, b = above[i], c = i >= step ? above[i - step] : 0;
            int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            int predicted[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
            auto filtered = static_cast<pdf_byte>(row[i] - predicted[type]);
            out.push_back(filtered);
            sum += std::abs(static_cast<signed char>(filtered));
        }
        if (best_sum < 0 || sum < best_sum) {
            best_sum = sum;
            best = out;
        }
    }
    return best;
}

TEST(RowFilter, AnyLengthAndStepGivesThePlainResult)
{
    unsigned seed = 7;
    auto next = [&seed] { return static_cast<pdf_byte>((seed = seed * 1103515245 + 12345) >> 16); };
    for (size_t step : {1, 2, 3, 4, 6, 8})
        for (size_t length = 1; length < 80; length += 3)
            for (int kind = 0; kind < 3; kind++) {
                SCOPED_TRACE(testing::Message() << step << " " << length << " " << kind);
                std::vector<pdf_byte> above(length), row(length), out(length + 1);
                for (size_t i = 0; i < length; i++) {
                    above[i] = next();
                    int left = i >= step ? row[i - step] : 0;
                    // Noise; a row near the one above; each byte the mean of
                    // its left and upper neighbours, rounded down.
                    int bytes[] = {next(), above[i] + next() % 9, (left + above[i]) >> 1};
                    row[i] = static_cast<pdf_byte>(bytes[kind]);
                }
                pdf_filter_row(row.data(), above.data(), length, step, out.data());
                EXPECT_TRUE(out == PlainlyFiltered(row, above, step));
            }
}

// ---- Documents --------------------------------------------------------------

// Writes the PNG at `png` as a one-page document at level 6, with row
// filters and `threads` threads when `threads` is not 0.
void Bind(const std::string &png, const std::string &pdf, int threads)
{
    pdf_document *document = NewDocument(pdf, 6);
    if (threads != 0) {
        PDF_set_parameter(document, "imagepredictor", "true");
        PDF_set_value(document, "compressthreads", static_cast<float>(threads));
    }
    int image = OpenImageFile(document, "png", png);
    ASSERT_EQ(image, 0);
    FinishWithPage(document, image);
    EXPECT_TRUE(Log().reports.empty());
}

struct FilteredCase {
    const char *label;
    int color_type;
    int bit_depth;
    bool key;  // a colour key: for 16 bits, a stencil mask stream of its own
};

class FilteredRender : public ::testing::TestWithParam<FilteredCase> {};

// Interlaced files are always decoded; large enough for several blocks of
// 8-bit samples.
TEST_P(FilteredRender, ViewersShowWhatTheUnfilteredDocumentShows)
{
    const FilteredCase &c = GetParam();
    PngSpec recipe;
    recipe.width = 420;
    recipe.height = 330;
    recipe.color_type = c.color_type;
    recipe.bit_depth = c.bit_depth;
    recipe.interlace = true;
    recipe.key = c.key;
    TempDir dir;
    std::string png = dir.file("in.png"), plain = dir.file("plain.pdf");
    std::string filtered = dir.file("filtered.pdf");
    WriteFile(png, EncodePng(recipe));
    Bind(png, plain, 0);
    Bind(png, filtered, 2);

    // The image's samples are filtered; a stencil mask's bits are not.
    std::string pdf = ReadFile(filtered);
    EXPECT_EQ(CountOf(pdf, "/Predictor 15"), 1);
    size_t mask = pdf.find("/ImageMask true");
    if (mask != std::string::npos) {
        EXPECT_EQ(StreamAround(pdf, mask).dictionary.find("/DecodeParms"), std::string::npos);
    }
    std::string report;
    EXPECT_TRUE(QpdfCheck(filtered, &report)) << report;
    EXPECT_EQ(MaxDifference(RenderMutool(filtered, 1), RenderMutool(plain, 1)), 0);
    EXPECT_EQ(MaxDifference(RenderPoppler(filtered, 1), RenderPoppler(plain, 1)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FilteredRender,
    ::testing::Values(FilteredCase{"gray", PNG_COLOR_TYPE_GRAY, 8, false},
                      FilteredCase{"gray_1bit", PNG_COLOR_TYPE_GRAY, 1, false},
                      FilteredCase{"gray_alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false},
                      FilteredCase{"rgb", PNG_COLOR_TYPE_RGB, 8, false},
                      FilteredCase{"rgba", PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
                      FilteredCase{"rgb_16bit", PNG_COLOR_TYPE_RGB, 16, false},
                      FilteredCase{"rgb_16bit_stencil", PNG_COLOR_TYPE_RGB, 16, true},
                      FilteredCase{"palette_4bit", PNG_COLOR_TYPE_PALETTE, 4, false}),
    ByLabel());

TEST(ParallelFlate, TheBytesDoNotDependOnTheThreadCount)
{
    PngSpec recipe;
    recipe.width = 700;
    recipe.height = 520;  // about 1 MB of samples: 9 blocks
    recipe.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    TempDir dir;
    std::string png = dir.file("in.png");
    WriteFile(png, EncodePng(recipe));
    std::string first;
    for (int threads : {1, 2, 7}) {
        SCOPED_TRACE(threads);
        std::string pdf = dir.file("out.pdf");
        Bind(png, pdf, threads);
        std::string report;
        EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
        std::string bytes = NormalizePdf(ReadFile(pdf));
        if (first.empty())
            first = bytes;
        EXPECT_TRUE(bytes == first) << "differs from the document written with 1 thread";
    }
}

// The threads deflate a file's first rows while libpng decodes the rest; a
// CRC error late in the IDAT data still leaves the image out with nothing
// written, and the next image binds.
TEST(ParallelFlate, DamageLateInTheDataLeavesTheImageOut)
{
    PngSpec recipe;
    recipe.width = 700;
    recipe.height = 520;
    recipe.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    std::string good = EncodePng(recipe), damaged = good;
    std::vector<ChunkInfo> idat;
    for (const ChunkInfo &chunk : Chunks(good))
        if (chunk.type == "IDAT")
            idat.push_back(chunk);
    ASSERT_GT(idat.size(), 8u);
    damaged[idat[idat.size() * 3 / 4].offset + 20] ^= 0x55;
    TempDir dir;
    std::string good_path = dir.file("good.png"), damaged_path = dir.file("damaged.png");
    std::string pdf = dir.file("out.pdf"), plain = dir.file("plain.pdf");
    WriteFile(good_path, good);
    WriteFile(damaged_path, damaged);

    pdf_document *document = NewDocument(pdf, 6);
    PDF_set_parameter(document, "imagepredictor", "true");
    PDF_set_value(document, "compressthreads", 2);
    EXPECT_EQ(OpenImageFile(document, "png", damaged_path), -1);
    ASSERT_EQ(Log().reports.size(), 1u);
    EXPECT_EQ(Log().reports[0].type, PDF_ERR_NONFATAL);
    Log().reports.clear();
    int image = OpenImageFile(document, "png", good_path);
    ASSERT_GE(image, 0);
    FinishWithPage(document, image);
    EXPECT_TRUE(Log().reports.empty());
    EXPECT_EQ(CountOf(ReadFile(pdf), "/Subtype/Image"), 1);
    std::string report;
    EXPECT_TRUE(QpdfCheck(pdf, &report)) << report;
    Bind(good_path, plain, 0);
    EXPECT_EQ(MaxDifference(RenderMutool(pdf, 1), RenderMutool(plain, 1)), 0);
}

TEST(ParallelFlate, EveryAllocationFailureOfATwoThreadRunIsCleanAndLeakFree)
{
    PngSpec recipe;
    recipe.width = 300;
    recipe.height = 200;  // 180 KB of samples: two blocks
    TempDir dir;
    std::string png = dir.file("in.png");
    // Interlaced rows are decoded whole; the others (decoded for their
    // alpha channel) are deflated as they come.
    for (bool interlace : {true, false}) {
        SCOPED_TRACE(interlace);
        recipe.interlace = interlace;
        recipe.color_type = interlace ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA;
        WriteFile(png, EncodePng(recipe));
        long n = 1;
        for (; n < 400; ++n) {
            std::string left;
            auto build = [&](pdf_document *pdf, FailingHeap &heap) {
                PDF_open_mem(pdf, [](pdf_document *, void *, size_t count) { return count; });
                PDF_set_parameter(pdf, "imagepredictor", "true");
                PDF_set_value(pdf, "compressthreads", 2);
                heap.Arm();
                int image = PDF_open_image_file(pdf, "png", png.c_str(), "", 0);
                PDF_begin_page(pdf, 300, 200);
                PDF_place_image(pdf, image, 0, 0, 1);
                PDF_end_page(pdf);
                PDF_close(pdf);
            };
            bool finished = BuildOnFailingHeap(n, build, &left);
            EXPECT_EQ(left, "") << "blocks left after failure at allocation " << n;
            if (finished)
                break;
        }
        EXPECT_LT(n, 400);
        EXPECT_GT(n, 20) << "too few allocations to reach the blocks";
    }
}

}  // namespace
