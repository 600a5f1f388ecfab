// The book's image options: pages turned as the camera recorded, every page
// of multi-page TIFF files, and transparency kept as soft masks; through the
// book writer and bindwick-cli, judged by independent renderers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "book_writer.h"
#include "image_probe.h"
#include "test_jpeg_util.h"
#include "test_png_util.h"
#include "test_tiff_util.h"

namespace {

using bindwick::BookOutcome;
using bindwick::BookRequest;
using testsupport::Raster;
using testsupport::ShellQuote;

class Reporter : public bindwick::BookReporter {
public:
    void ProgressStart(std::size_t) override {}
    void ProgressStep(std::size_t) override {}
    void ImageNotOpened(const bindwick::RejectedFile &, const std::string &text) override {
        messages.push_back(text);
    }
    void OutputNotCreated(const std::string &, const std::string &) override {}
    void LibraryError(const std::string &, const std::string &) override {}
    void BookWritten(const std::string &, const std::string &) override {}
    std::vector<std::string> messages;
};

class ImageOptions : public ::testing::Test {
protected:
    // A request for one image, written to `pdf`.
    BookRequest Request(const std::string &path, const char *type) {
        BookRequest request;
        request.output_path = pdf;
        request.entries.push_back({path, type});
        return request;
    }
    bindwick::BookResult Bind(const BookRequest &request) {
        return bindwick::BookWriter(reporter).Write(request);
    }
    testsupport::CommandResult Cli(const std::string &arguments) {
        return testsupport::RunCommand(ShellQuote(BINDWICK_CLI_PATH) + " -o " + ShellQuote(pdf) +
                                       " " + arguments);
    }

    testsupport::TempDir dir;
    std::string pdf = dir.file("out.pdf");
    Reporter reporter;
};

// `stored` as it is shown with `orientation` (the Exif and TIFF values).
Raster Shown(const Raster &stored, int orientation) {
    Raster shown;
    const int w = stored.width, h = stored.height;
    shown.width = orientation >= 5 ? h : w;
    shown.height = orientation >= 5 ? w : h;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) {
            const int from[8][2] = {{x, y},         {w - 1 - x, y},         {w - 1 - x, h - 1 - y},
                                    {x, h - 1 - y}, {y, x},                 {y, h - 1 - x},
                                    {w - 1 - y, h - 1 - x}, {w - 1 - y, x}};
            for (int c = 0; c < 3; ++c)
                shown.rgb.push_back(
                    stored.at(from[orientation - 1][0], from[orientation - 1][1], c));
        }
    return shown;
}

// The largest difference between a rendered page and `shown`, each pixel
// of which fills a square cell of the image's rectangle in `layout`,
// sampled at the cells' centres.
int Worst(const Raster &page, const Raster &shown, const bindwick::PageLayout &layout) {
    const double cell = layout.width / shown.width;
    const double top = layout.page_height - layout.y - layout.height;
    int worst = 0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int px = static_cast<int>(layout.x + (x + 0.5) * cell);
                const int py = static_cast<int>(top + (y + 0.5) * cell);
                worst = std::max(worst, std::abs(page.at(px, py, c) - shown.at(x, y, c)));
            }
    return worst;
}

// Every orientation, decoded (uncompressed) and passed through (LZW), on a
// page of the image's size and on A4: with the option the page shows the
// image as the file says, without it as stored, whichever road the data
// took.
TEST_F(ImageOptions, OrientationTurnsThePageAndThePlacement) {
    tifftest::TiffSpec recipe;
    recipe.width = 7;
    recipe.height = 4;
    recipe.samples = 3;
    recipe.photometric = PHOTOMETRIC_RGB;
    Raster stored{7, 4, {}};
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 7; ++x)
            for (int c = 0; c < 3; ++c)
                stored.rgb.push_back(static_cast<uint8_t>(tifftest::Sample(recipe, x, y, c)));
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW})
            for (int choice : {0, 1, 2}) {  // own size, A4, not used
                if (choice == 2 && orientation != 6) continue;
                SCOPED_TRACE(std::to_string(orientation) + " compression " +
                             std::to_string(compression) + " choice " + std::to_string(choice));
                recipe.compression = compression;
                recipe.orientation = static_cast<uint16_t>(orientation);
                ASSERT_TRUE(tifftest::WriteTiff(dir.file("in.tif"), recipe));
                BookRequest request = Request(dir.file("in.tif"), "tiff");
                request.use_orientation = choice != 2;
                if (choice == 1) request.page.paper = bindwick::kPaperA4;
                ASSERT_EQ(Bind(request).outcome, BookOutcome::kWritten);
                const Raster shown = Shown(stored, choice != 2 ? orientation : 1);
                const bindwick::PageLayout layout = bindwick::LayOutPage(
                    {double(shown.width), double(shown.height), 0, 0}, request.page);
                const std::vector<float> box = foliotest::MediaBox(pdf, 1);
                ASSERT_EQ(box.size(), 4u);
                EXPECT_NEAR(box[2], layout.page_width, 0.01);
                EXPECT_NEAR(box[3], layout.page_height, 0.01);
                const int tolerance = choice == 1 ? 2 : 0;
                EXPECT_LE(Worst(testsupport::RenderMutool(pdf, 1), shown, layout), tolerance);
                EXPECT_LE(Worst(testsupport::RenderPoppler(pdf, 1), shown, layout), tolerance);
                EXPECT_TRUE(testsupport::QpdfCheck(pdf));
            }
}

// A JPEG recorded turned a quarter: its bytes go in unchanged, and the page
// shows libjpeg's decoding of them turned upright.
TEST_F(ImageOptions, TurnedJpegKeepsItsBytes) {
    const std::string jpeg =
        jpegtest::WithSegment(jpegtest::EncodeJpeg(jpegtest::JpegSpec()), jpegtest::Exif(6, false));
    testsupport::WriteFile(dir.file("in.jpg"), jpeg);
    BookRequest request = Request(dir.file("in.jpg"), "jpeg");
    request.use_orientation = true;
    ASSERT_EQ(Bind(request).outcome, BookOutcome::kWritten);
    EXPECT_EQ(foliotest::FirstImage(testsupport::ReadFile(pdf)).data, jpeg);
    EXPECT_EQ(foliotest::MediaBox(pdf, 1), (std::vector<float>{0, 0, 32, 48}));
    const Raster expected = Shown(jpegtest::DecodeJpeg(jpeg), 6);
    EXPECT_LE(MaxDifference(testsupport::RenderMutool(pdf, 1), expected), 3);
    EXPECT_LE(MaxDifference(testsupport::RenderPoppler(pdf, 1), expected), 3);
}

// Three pages of different sizes; the middle page of a second file cannot be
// read (CIELab), so it is left out and reported, the others bound.
TEST_F(ImageOptions, AllPagesOfMultiPageTiffs) {
    tifftest::TiffSpec first, second, third;
    second.width = 30;
    second.height = 50;
    second.compression = COMPRESSION_LZW;
    third.width = 20;
    third.height = 10;
    const std::string three = dir.file("three.tif"), damaged = dir.file("damaged.tif");
    ASSERT_TRUE(tifftest::WriteTiff(three, {first, second, third}));
    tifftest::TiffSpec lab = second;
    lab.samples = 3;
    lab.photometric = PHOTOMETRIC_CIELAB;
    ASSERT_TRUE(tifftest::WriteTiff(damaged, {first, lab, third}));
    tifftest::TiffSpec big = first;
    big.big = true;
    ASSERT_TRUE(tifftest::WriteTiff(dir.file("big.tif"), {big, second, third}));
    EXPECT_EQ(bindwick::TiffPageCount(dir.file("big.tif")), 3);

    const struct {
        std::string path;
        bool all_pages;
        std::vector<float> heights;  // of the pages, whose widths are 40, 30, 20
    } rows[] = {{three, true, {24, 50, 10}}, {three, false, {24}}, {damaged, true, {24, 10}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path + (row.all_pages ? " all pages" : ""));
        BookRequest request = Request(row.path, "tiff");
        request.all_pages = row.all_pages;
        reporter.messages.clear();
        const bindwick::BookResult result = Bind(request);
        EXPECT_EQ(result.pages, static_cast<int>(row.heights.size()));
        EXPECT_EQ(testsupport::PdfInfoField(pdf, "Pages"), std::to_string(row.heights.size()));
        for (size_t page = 0; page < row.heights.size(); ++page) {
            const float width = row.heights[page] == 24 ? 40 : row.heights[page] == 50 ? 30 : 20;
            EXPECT_EQ(foliotest::MediaBox(pdf, static_cast<int>(page) + 1),
                      (std::vector<float>{0, 0, width, row.heights[page]}));
        }
        const std::vector<std::string> left_out{damaged + "の2ページ目を開けませんでした。"};
        EXPECT_EQ(reporter.messages, row.path == damaged ? left_out : std::vector<std::string>());
    }
    EXPECT_EQ(Cli("--all-pages " + ShellQuote(three)).status, 0);
    EXPECT_EQ(testsupport::PdfInfoField(pdf, "Pages"), "3");
    const testsupport::CommandResult left_out = Cli("--all-pages " + ShellQuote(damaged));
    EXPECT_EQ(left_out.status, 3);
    EXPECT_NE(left_out.output.find("'" + damaged + "' (page 2)"), std::string::npos);
    EXPECT_TRUE(testsupport::QpdfCheck(pdf));
}

// Transparency kept: a soft mask and PDF 1.4; left alone, neither.
TEST_F(ImageOptions, KeepAlphaReachesTheDocument) {
    pngtest::PngSpec recipe;
    recipe.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    const std::string png = dir.file("in.png");
    testsupport::WriteFile(png, pngtest::EncodePng(recipe));
    BookRequest request = Request(png, "png");
    ASSERT_EQ(Bind(request).outcome, BookOutcome::kWritten);
    EXPECT_EQ(testsupport::ReadFile(pdf).substr(0, 8), "%PDF-1.3");
    EXPECT_EQ(foliotest::CountOf(testsupport::ReadFile(pdf), "/SMask"), 0);
    EXPECT_EQ(Cli("--keep-alpha " + ShellQuote(png)).status, 0);
    EXPECT_EQ(testsupport::ReadFile(pdf).substr(0, 8), "%PDF-1.4");
    EXPECT_EQ(foliotest::CountOf(testsupport::ReadFile(pdf), "/SMask"), 1);
}

// The list's mark follows keep alpha: an image whose transparency becomes a
// soft mask is decoded, so it no longer goes in unchanged.
TEST_F(ImageOptions, ProbeFollowsKeepAlpha) {
    pngtest::PngSpec clear;
    clear.color_type = PNG_COLOR_TYPE_PALETTE;
    clear.alphas = {255, 0, 128};
    pngtest::PngSpec opaque = clear;  // a tRNS chunk of opaque entries only
    opaque.alphas = {255, 255};
    testsupport::WriteFile(dir.file("clear.png"), pngtest::EncodePng(clear));
    testsupport::WriteFile(dir.file("opaque.png"), pngtest::EncodePng(opaque));

    const struct {
        const char *name, *type;
        bool unchanged_without, unchanged_with;
    } rows[] = {
        {"clear.png", "png", true, false},
        {"opaque.png", "png", true, true},
    };
    for (const auto &row : rows) {
        const bindwick::FileEntry entry{dir.file(row.name), row.type};
        EXPECT_EQ(bindwick::ProbeImage(entry, false).unchanged, row.unchanged_without) << row.name;
        const bindwick::ProbedImage with = bindwick::ProbeImage(entry, true);
        EXPECT_TRUE(with.bindable) << row.name;
        EXPECT_EQ(with.unchanged, row.unchanged_with) << row.name;
    }
}

}  // namespace
