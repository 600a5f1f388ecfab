// The book writer end to end: real JPEG files in, a PDF checked by qpdf,
// pdfinfo and mutool out; the failures and what they leave on disk.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../image/test_png_util.h"
#include "book_writer.h"
#include "jpeg_fixture.h"
#include "test_support.h"

namespace {

using bindwick::BookOutcome;
using bindwick::BookRequest;
using bindwick::BookResult;
using bindwick::BookWriter;
using bindwick::FileEntry;
using testsupport::PdfInfoField;
using testsupport::ReadFile;
using testsupport::TempDir;

// Keeps every report as one line, in order.
class RecordingReporter : public bindwick::BookReporter {
public:
    void ProgressStart(std::size_t count) override {
        events.push_back("start " + std::to_string(count));
    }
    void ProgressStep(std::size_t done) override {
        events.push_back("step " + std::to_string(done));
    }
    void ImageNotOpened(const bindwick::RejectedFile &, const std::string &text) override {
        messages.push_back("none: " + text);
    }
    void OutputNotCreated(const std::string &, const std::string &text) override {
        messages.push_back("stop: " + text);
    }
    void LibraryError(const std::string &, const std::string &text) override {
        messages.push_back("stop: " + text);
    }
    void BookWritten(const std::string &path, const std::string &text) override {
        messages.push_back("info [" + path + "]: " + text);
    }

    std::vector<std::string> events;
    std::vector<std::string> messages;
};

std::vector<std::string> FolderContents(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class BookWriterTest : public ::testing::Test {
protected:
    // A solid-colour JPEG in the input folder.
    std::string Image(const std::string &name, int width, int height,
                      unsigned char r = 200, unsigned char g = 40,
                      unsigned char b = 90, int dpi_x = 0, int dpi_y = 0) {
        const std::string path = inputs.file(name);
        EXPECT_TRUE(
            testfixture::WriteSolidJpeg(path, width, height, r, g, b, dpi_x, dpi_y));
        return path;
    }

    BookResult Run(const BookRequest &request) {
        BookWriter writer(reporter);
        return writer.Write(request);
    }

    TempDir inputs;
    TempDir outputs;
    RecordingReporter reporter;
};

TEST_F(BookWriterTest, PagesFollowListOrderAndImageSizes) {
    struct Page {
        int width, height;
        unsigned char r, g, b;
    };
    const Page pages[] = {
        {40, 30, 250, 10, 10}, {25, 50, 10, 250, 10}, {60, 20, 10, 10, 250}};
    BookRequest request;
    request.output_path = outputs.file("book.pdf");
    for (int i = 0; i < 3; ++i) {
        const Page &p = pages[i];
        request.entries.push_back(
            {Image("p" + std::to_string(i) + ".jpg", p.width, p.height, p.r,
                   p.g, p.b),
             "jpeg"});
    }
    request.title = "The Title";
    request.subtitle = "The Subtitle";
    request.author = "The Author";

    const BookResult result = Run(request);
    ASSERT_EQ(result.outcome, BookOutcome::kWritten);
    EXPECT_EQ(result.pages, 3);
    EXPECT_EQ(reporter.events, (std::vector<std::string>{"start 3", "step 1",
                                                         "step 2", "step 3"}));
    EXPECT_EQ(reporter.messages,
              std::vector<std::string>{"info [" + request.output_path +
                                       "]: PDFファイルの生成に成功しました！！"});

    const std::string &pdf = request.output_path;
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(pdf, &report)) << report;
    EXPECT_EQ(PdfInfoField(pdf, "Pages"), "3");
    EXPECT_EQ(PdfInfoField(pdf, "Title"), "The Title");
    EXPECT_EQ(PdfInfoField(pdf, "Subject"), "The Subtitle");
    EXPECT_EQ(PdfInfoField(pdf, "Author"), "The Author");
    EXPECT_EQ(PdfInfoField(pdf, "Creator"), BookWriter::GetCreatorName() + " ver.0.02");
    EXPECT_EQ(BookWriter::GetCreatorName().size(), 13u);

    for (int i = 0; i < 3; ++i) {
        const Page &p = pages[i];
        EXPECT_EQ(PdfInfoField(pdf, "Page size", i + 1),
                  std::to_string(p.width) + " x " + std::to_string(p.height) + " pts")
            << "page " << i + 1;
        // The image covers its page from the origin: every pixel of the
        // rendering has the image's colour.
        const testsupport::Raster raster = testsupport::RenderMutool(pdf, i + 1);
        ASSERT_EQ(raster.width, p.width);
        ASSERT_EQ(raster.height, p.height);
        const unsigned char colour[3] = {p.r, p.g, p.b};
        int worst = 0;
        for (int y = 0; y < raster.height; ++y)
            for (int x = 0; x < raster.width; ++x)
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(raster.at(x, y, c) - colour[c]));
        EXPECT_LE(worst, 8) << "page " << i + 1;
    }
    EXPECT_EQ(FolderContents(outputs.path()), std::vector<std::string>{"book.pdf"});
}

TEST_F(BookWriterTest, TextsAreRecordedAsGivenOrNotAtAll) {
    BookRequest request;
    request.output_path = outputs.file("book.pdf");
    request.entries = {{Image("a.jpg", 10, 10), "jpeg"}};
    request.title = "\u3000日本語のタイトル \n";  // Unicode text, padded
    request.subtitle = "";
    request.author = " ";  // the window's untouched default
    ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);

    const std::string bytes = ReadFile(request.output_path);
    EXPECT_EQ(PdfInfoField(request.output_path, "Title"), "日本語のタイトル");
    EXPECT_EQ(bytes.find("/Subject"), std::string::npos);
    EXPECT_EQ(bytes.find("/Author"), std::string::npos);
}

TEST(TrimmedText, WhiteSpaceAtBothEnds) {
    const struct { const char *in, *out; } rows[] = {
        {" Sub", "Sub"},
        {"\t a b \r\n", "a b"},
        {"\u3000\u00A0本\u3000の\u00A0", "本\u3000の"},
        {" \u3000 ", ""},
        {"", ""},
        {"\xE3\x80", "\xE3\x80"},  // a cut sequence is no space
    };
    for (const auto &row : rows) EXPECT_EQ(bindwick::TrimmedText(row.in), row.out) << row.in;
}

// A run stopped by its reporter leaves the output folder as it was.
TEST_F(BookWriterTest, StoppedRunLeavesTheFolderAsItWas) {
    class StoppingReporter : public RecordingReporter {
    public:
        bool StopRequested() override { return events.size() > 2; }
    };
    const std::string image = Image("a.jpg", 10, 10);
    const std::string path = outputs.file("book.pdf");
    testsupport::WriteFile(path, "previous contents");
    StoppingReporter stopping;
    BookRequest request;
    request.output_path = path;
    request.entries.assign(5, {image, "jpeg"});
    const BookResult result = BookWriter(stopping).Write(request);
    EXPECT_EQ(result.outcome, BookOutcome::kStopped);
    EXPECT_EQ(stopping.events, (std::vector<std::string>{"start 5", "step 1", "step 2"}));
    EXPECT_TRUE(stopping.messages.empty());
    EXPECT_EQ(FolderContents(outputs.path()), std::vector<std::string>{"book.pdf"});
    EXPECT_EQ(ReadFile(path), "previous contents");
}

TEST(InfoText, AsciiStaysAndOtherTextBecomesUtf16) {
    struct Row {
        std::string in;
        std::string out;
        const char *label;
    };
    using namespace std::string_literals;
    const Row rows[] = {
        {"plain", "plain", "ascii unchanged"},
        {"", "", "empty unchanged"},
        {"日本", "\xFE\xFF\x65\xE5\x67\x2C\0\0"s, "two BMP characters"},
        {"A日", "\xFE\xFF\0A\x65\xE5\0\0"s, "ascii inside unicode"},
        {"\xF0\x9F\x98\x80", "\xFE\xFF\xD8\x3D\xDE\x00\0\0"s, "surrogate pair"},
        {"a\xFF", "\xFE\xFF\0a\xFF\xFD\0\0"s, "invalid byte"},
        {"\xE6\x97", "\xFE\xFF\xFF\xFD\0\0"s, "truncated sequence"},
        {"\xC0\xAF", "\xFE\xFF\xFF\xFD\xFF\xFD\0\0"s, "overlong form"},
        {"\xED\xA0\x80", "\xFE\xFF\xFF\xFD\0\0"s, "encoded surrogate"},
    };
    for (const Row &row : rows) EXPECT_EQ(bindwick::InfoText(row.in), row.out) << row.label;
}

TEST_F(BookWriterTest, UnopenableImagesAreSkippedWithTheirMessage) {
    const std::string good1 = Image("one.jpg", 30, 40);
    const std::string good2 = Image("two.jpg", 50, 20);
    const std::string missing = inputs.file("missing.jpg");
    const std::string not_jpeg = inputs.file("text.jpg");
    testsupport::WriteFile(not_jpeg, "this is not an image\n");

    BookRequest request;
    request.output_path = outputs.file("book.pdf");
    request.entries = {{good1, "jpeg"}, {missing, "jpeg"}, {not_jpeg, "jpeg"},
                       {good2, "jpeg"}};
    const BookResult result = Run(request);
    ASSERT_EQ(result.outcome, BookOutcome::kWritten);
    EXPECT_EQ(result.pages, 2);
    ASSERT_EQ(result.not_opened.size(), 2u);
    EXPECT_EQ(result.not_opened[0].path, missing);
    EXPECT_EQ(result.not_opened[0].problem, bindwick::ImageProblem::kMissing);
    EXPECT_EQ(result.not_opened[1].path, not_jpeg);
    EXPECT_EQ(result.not_opened[1].problem, bindwick::ImageProblem::kNotAnImage);
    EXPECT_EQ(reporter.messages,
              (std::vector<std::string>{
                  "none: " + missing + "を開けませんでした。",
                  "none: " + not_jpeg + "を開けませんでした。",
                  "info [" + request.output_path + "]: PDFファイルの生成に成功しました！！"}));
    EXPECT_EQ(reporter.events.back(), "step 4");
    EXPECT_TRUE(testsupport::QpdfCheck(request.output_path));
    EXPECT_EQ(PdfInfoField(request.output_path, "Pages"), "2");
    EXPECT_EQ(PdfInfoField(request.output_path, "Page size", 2), "50 x 20 pts");
}

// A library error stops the run; neither a partial document nor a staging
// file remains, and a file already at the output path keeps its bytes.
TEST_F(BookWriterTest, LibraryErrorsLeaveNoPartialFile) {
    const std::string good = Image("good.jpg", 20, 20);
    const std::string upper = Image("shout.JPG", 20, 20);
    const std::string plain = Image("readme", 20, 20);
    struct Row {
        const char *label;
        std::vector<FileEntry> entries;
        std::optional<std::string> title;
        std::string expected;  // the library's text, or its start
        bool exact;
    };
    const Row rows[] = {
        {"upper-case type", {{good, "jpeg"}, {upper, "JPG"}, {good, "jpeg"}},
         "t", "Image type JPG", false},
        {"empty type", {{good, "jpeg"}, {plain, ""}}, "t", "", false},
        {"empty list", {}, "t", "Empty document", true},
        {"nothing opened", {{inputs.file("gone.jpg"), "jpeg"}}, "t",
         "Empty document", true},
    };
    for (const Row &row : rows) {
        for (bool previous : {false, true}) {
            SCOPED_TRACE(std::string(row.label) + (previous ? ", previous file" : ""));
            TempDir out;
            const std::string path = out.file("book.pdf");
            if (previous) testsupport::WriteFile(path, "previous contents");
            reporter = RecordingReporter{};

            BookRequest request;
            request.output_path = path;
            request.entries = row.entries;
            request.title = row.title;
            const BookResult result = Run(request);

            ASSERT_EQ(result.outcome, BookOutcome::kLibraryError);
            if (row.exact) {
                EXPECT_EQ(result.library_message, row.expected);
            } else {
                EXPECT_EQ(result.library_message.rfind(row.expected, 0), 0u)
                    << result.library_message;
                EXPECT_FALSE(result.library_message.empty());
            }
            ASSERT_FALSE(reporter.messages.empty());
            EXPECT_EQ(reporter.messages.back(),
                      "stop: Folio においてエラーが発生しました: \n" + result.library_message);
            if (previous) {
                EXPECT_EQ(FolderContents(out.path()), std::vector<std::string>{"book.pdf"});
                EXPECT_EQ(ReadFile(path), "previous contents");
            } else {
                EXPECT_TRUE(FolderContents(out.path()).empty());
            }
        }
    }
}

TEST_F(BookWriterTest, OutputThatCannotBeCreated) {
    const std::string image = Image("a.jpg", 10, 10);
    testsupport::WriteFile(outputs.file("regular"), "x");
    std::filesystem::create_directory(outputs.file("folder"));
    const std::string paths[] = {
        outputs.file("missing/book.pdf"),  // through a missing folder
        outputs.file("regular/book.pdf"),  // through a regular file
        outputs.file("folder"),            // a folder itself
        "",
    };
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        reporter = RecordingReporter{};
        BookRequest request;
        request.output_path = path;
        request.entries = {{image, "jpeg"}};
        EXPECT_EQ(Run(request).outcome, BookOutcome::kOutputNotCreated);
        EXPECT_EQ(reporter.messages,
                  std::vector<std::string>{"stop: " + path + "を作成できません。"});
        EXPECT_TRUE(reporter.events.empty());
    }
    EXPECT_EQ(FolderContents(outputs.path()),
              (std::vector<std::string>{"folder", "regular"}));
    EXPECT_TRUE(std::filesystem::is_empty(outputs.file("folder")));
}

// Replacing an existing output keeps its permissions, and a symbolic link
// at the output path keeps pointing at the replaced file.
TEST_F(BookWriterTest, ReplacesExistingOutputInPlace) {
    const std::string target = outputs.file("real.pdf");
    const std::string link = outputs.file("link.pdf");
    testsupport::WriteFile(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.pdf", link.c_str()), 0);

    BookRequest request;
    request.output_path = link;
    request.entries = {{Image("a.jpg", 10, 10), "jpeg"}};
    ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);

    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(testsupport::QpdfCheck(target));
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderContents(outputs.path()),
              (std::vector<std::string>{"link.pdf", "real.pdf"}));
}

// ---- Page sizes ------------------------------------------------------------

using bindwick::PageSetup;

PageSetup OnPaper(bindwick::PaperSize paper, double margin, bool enlarge = true) {
    PageSetup setup;
    setup.paper = paper;
    setup.margin = margin;
    setup.enlarge = enlarge;
    return setup;
}

struct Rect {
    double x, y, width, height;  // points, y upward
};

// Whether mutool's and poppler's renderings of the page show the image
// colour (200, 40, 90) just inside each edge of `image` and white just
// outside each edge that leaves room on the page.
void ExpectImageAt(const std::string &pdf, double page_width, double page_height,
                   const Rect &image) {
    struct Probe {
        double x, y;
        bool inside;
    };
    const double right = image.x + image.width, top = image.y + image.height;
    const double mid_x = image.x + image.width / 2, mid_y = image.y + image.height / 2;
    const double in_x = std::min(2.0, image.width / 3), in_y = std::min(2.0, image.height / 3);
    std::vector<Probe> probes = {{image.x + in_x, mid_y, true}, {right - in_x, mid_y, true},
                                 {mid_x, image.y + in_y, true}, {mid_x, top - in_y, true}};
    if (image.x > 4) probes.push_back({image.x - 2, mid_y, false});
    if (right + 4 < page_width) probes.push_back({right + 2, mid_y, false});
    if (image.y > 4) probes.push_back({mid_x, image.y - 2, false});
    if (top + 4 < page_height) probes.push_back({mid_x, top + 2, false});

    const unsigned char colour[3] = {200, 40, 90};
    const std::pair<const char *, testsupport::Raster> renderings[] = {
        {"mutool", testsupport::RenderMutool(pdf, 1)},
        {"poppler", testsupport::RenderPoppler(pdf, 1)}};
    for (const auto &[renderer, raster] : renderings) {
        ASSERT_GT(raster.width, 0) << renderer;
        for (const Probe &probe : probes) {
            const int column = static_cast<int>(probe.x * raster.width / page_width);
            const int row = static_cast<int>((page_height - probe.y) * raster.height / page_height);
            int worst = 0;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(raster.at(column, row, c) -
                                                 (probe.inside ? colour[c] : 255)));
            EXPECT_LE(worst, 12) << renderer << " at (" << probe.x << ", " << probe.y << ")";
        }
    }
}

// Each page choice gives the page size pdfinfo reports, with the image where
// the layout puts it. Images beyond the page-size limits, which used to stop
// the book with "Page size incompatible with Acrobat 4", are scaled in.
TEST_F(BookWriterTest, PageChoicesPlaceTheImage) {
    const double mm = bindwick::kPointsPerMillimetre;
    PageSetup resolution;
    resolution.use_resolution = true;
    struct Row {
        int width, height, dpi_x, dpi_y;
        PageSetup setup;
        const char *page_size;  // as pdfinfo reports it
        double page_width, page_height;
        Rect image;
    };
    const Row rows[] = {
        {160, 120, 0, 0, OnPaper(bindwick::kPaperA4, 10 * mm), "841.89 x 595.276 pts (A4)",
         841.89, 595.276, {61.8898, 28.3465, 718.1102, 538.5827}},
        {120, 160, 0, 0, OnPaper(bindwick::kPaperB5, 0), "515.905 x 728.504 pts", 515.906,
         728.504, {0, 20.315, 515.906, 687.874}},
        {40, 20, 0, 0, OnPaper({300, 400}, 20, false), "400 x 300 pts", 400, 300,
         {180, 140, 40, 20}},
        {300, 150, 300, 300, resolution, "72 x 36 pts", 72, 36, {0, 0, 72, 36}},
        {102, 49, 204, 98, resolution, "36 x 36 pts", 36, 36, {0, 0, 36, 36}},
        {1, 1, 0, 0, {}, "3 x 3 pts", 3, 3, {0, 0, 3, 3}},
        {1, 200, 0, 0, {}, "3 x 600 pts", 3, 600, {0, 0, 3, 600}},
        {20000, 30, 0, 0, {}, "14400 x 21.6 pts", 14400, 21.6, {0, 0, 14400, 21.6}},
        {2, 30000, 0, 0, {}, "3 x 14400 pts", 3, 14400, {0, 0, 3, 14400}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.page_size);
        BookRequest request;
        request.output_path = outputs.file("book.pdf");
        request.entries = {{Image("p.jpg", row.width, row.height, 200, 40, 90, row.dpi_x,
                                  row.dpi_y),
                            "jpeg"}};
        request.page = row.setup;
        ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);
        EXPECT_TRUE(testsupport::QpdfCheck(request.output_path));
        EXPECT_EQ(PdfInfoField(request.output_path, "Page size", 1), row.page_size);
        ExpectImageAt(request.output_path, row.page_width, row.page_height, row.image);
    }
}

// The image object of `pdf`, from its "N 0 obj" line to its "endobj".
std::string ImageObject(const std::string &pdf) {
    const std::size_t image = pdf.find("/Subtype/Image");
    const std::size_t begin = pdf.rfind('\n', pdf.rfind(" 0 obj\n", image)) + 1;
    return pdf.substr(begin, pdf.find("endobj\n", image) - begin);
}

// Paper changes only the page size and the placement: the image object is
// the same object with the same bytes, and without paper the page is drawn
// as it always was.
TEST_F(BookWriterTest, PaperLeavesTheImageObjectAlone) {
    BookRequest request;
    request.entries = {{Image("p.jpg", 40, 30), "jpeg"}};
    request.compression = 0;
    request.output_path = outputs.file("plain.pdf");
    ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);
    request.output_path = outputs.file("paper.pdf");
    request.page = OnPaper(bindwick::kPaperA4, 0);
    ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);

    const std::string plain = ReadFile(outputs.file("plain.pdf"));
    const std::string paper = ReadFile(outputs.file("paper.pdf"));
    EXPECT_EQ(ImageObject(plain).rfind("4 0 obj\n", 0), 0u);
    EXPECT_EQ(ImageObject(plain), ImageObject(paper));
    EXPECT_NE(plain.find("/MediaBox[0 0 40 30]"), std::string::npos);
    EXPECT_NE(plain.find("stream\nq\n40 0 0 30 0 0 cm\n/I0 Do\nQ\nendstream"),
              std::string::npos);
    EXPECT_NE(paper.find("stream\nq\n793.7008 0 0 595.2756 24.0945 0 cm\n/I0 Do\nQ\n"),
              std::string::npos);
}

// Decoded images go in with row filters, and the document does not depend
// on the number of threads that compress them.
TEST_F(BookWriterTest, DecodedImagesAreFilteredWhateverTheThreads) {
    pngtest::PngSpec recipe;
    recipe.width = 300;
    recipe.height = 200;  // over one block of 128 KB
    recipe.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    const std::string png = inputs.file("rgba.png");
    testsupport::WriteFile(png, pngtest::EncodePng(recipe));
    std::string first;
    for (int threads : {1, 3}) {
        BookRequest request;
        request.entries = {{png, "png"}};
        request.threads = threads;
        request.output_path = outputs.file("book.pdf");
        ASSERT_EQ(Run(request).outcome, BookOutcome::kWritten);
        const std::string pdf = testsupport::NormalizePdf(ReadFile(request.output_path));
        EXPECT_NE(pdf.find("/Predictor 15"), std::string::npos);
        if (first.empty()) first = pdf;
        EXPECT_TRUE(pdf == first) << threads << " threads";
    }
}

}  // namespace
