// bindwick-cli as a user runs it: exit statuses, messages, texts, content
// sniffing, standard output and a long book.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "jpeg_fixture.h"
#include "test_support.h"

namespace {

using testsupport::CommandResult;
using testsupport::PdfInfoField;
using testsupport::ReadFile;
using testsupport::ShellQuote;
using testsupport::TempDir;

class CliTest : public ::testing::Test {
protected:
    std::string Image(const std::string &name, int width = 16, int height = 12) {
        const std::string path = dir.file(name);
        EXPECT_TRUE(testfixture::WriteSolidJpeg(path, width, height, 30, 120, 200));
        return path;
    }

    // Runs the program with `arguments`, already quoted where needed.
    CommandResult Cli(const std::string &arguments) {
        return testsupport::RunCommand(ShellQuote(BINDWICK_CLI_PATH) + " " + arguments);
    }

    TempDir dir;
};

TEST_F(CliTest, ExitStatuses) {
    const std::string a = ShellQuote(Image("a.jpg"));
    const std::string b = ShellQuote(Image("b.jpg"));
    const std::string missing = ShellQuote(dir.file("missing.jpg"));
    const std::string out = ShellQuote(dir.file("out.pdf"));
    testsupport::WriteFile(dir.file("notes.txt"), "not an image\n");
    testsupport::WriteFile(dir.file("broken.jpg"), "\xFF\xD8\xFF\xE0 no segments");
    const std::string broken = dir.file("broken.jpg");
    struct Row {
        const char *label;
        std::string arguments;
        int status;
        std::string says;  // expected in the output; empty: no output at all
    };
    const Row rows[] = {
        {"all pages", "-o " + out + " " + a + " " + b, 0, ""},
        {"quiet", "--quiet --compress 0 -o " + out + " " + a, 0, ""},
        {"one missing", "-o " + out + " " + a + " " + missing + " " + b, 3,
         "cannot open image '" + dir.file("missing.jpg") + "'"},
        {"nothing opened", "-o " + out + " " + missing, 1,
         "none of the images could be bound; nothing was written"},
        {"only non-images", "-o " + out + " " + ShellQuote(dir.file("notes.txt")), 1,
         "none of the images could be bound"},
        {"empty title", "--title '' -o " + out + " " + a, 0, ""},
        {"not an image", "-o " + out + " " + a + " " + ShellQuote(dir.file("notes.txt")), 3,
         "cannot open image '" + dir.file("notes.txt") + "': not a JPEG, PNG, TIFF or GIF image"},
        {"damaged image, the reader's reason", "-o " + out + " " + a + " " + ShellQuote(broken), 3,
         "cannot open image '" + broken + "': JPEG file '" + broken + "' is damaged; it was left out"},
        {"uncreatable output", "-o " + ShellQuote(dir.file("no/out.pdf")) + " " + a, 1,
         "cannot create"},
        {"no output option", a, 2, "no output file"},
        {"no images", "-o " + out, 2, "no images"},
        {"level too high", "--compress 12 -o " + out + " " + a, 2, "--compress"},
        {"level not a number", "--compress=x -o " + out + " " + a, 2, "--compress"},
        {"seven threads", "--threads 7 -o " + out + " " + a, 0, ""},
        {"no threads", "--threads 0 -o " + out + " " + a, 2, "--threads needs a count from 1 to 32"},
        {"too many threads", "--threads=33 -o " + out + " " + a, 2, "--threads"},
        {"unknown option", "--colour -o " + out + " " + a, 2, "unknown option"},
        {"value missing", "-o " + out + " " + a + " --title", 2, "needs a value"},
        {"unknown paper", "--pagesize A5 -o " + out + " " + a, 2, "--pagesize 'A5'"},
        {"bad length", "--pagesize 1e3x9km -o " + out + " " + a, 2, "--pagesize '1e3x9km'"},
        {"paper too small", "--pagesize 1x1mm -o " + out + " " + a, 2, "from 3pt to 14400pt"},
        {"margin too wide", "--pagesize A4 --margin 53mm -o " + out + " " + a, 2,
         "at most a quarter of the paper's shorter side, 148.819pt (52.5mm)"},
        {"margin without paper", "--margin 5mm -o " + out + " " + a, 2, "needs a paper size"},
        {"bad fit", "--pagesize B5 --fit fill -o " + out + " " + a, 2, "into or shrink"},
        {"two orientations", "--pagesize B5 --portrait --landscape -o " + out + " " + a, 2,
         "exclude each other"},
        {"turned and fixed", "--pagesize A4^T --portrait -o " + out + " " + a, 2, "^T"},
        {"resolution on paper", "--pagesize A4 --use-resolution -o " + out + " " + a, 2,
         "--use-resolution"},
        // The finished book would replace the photo.
        {"output is an image", "-o " + ShellQuote(dir.file("./a.jpg")) + " " + b + " " + a, 2,
         "is the image '" + dir.file("a.jpg") + "'"},
        {"help", "--help", 0, "Usage:"},
        {"version", "--version", 0, "0.02"},
    };
    for (const Row &row : rows) {
        const CommandResult result = Cli(row.arguments);
        EXPECT_EQ(result.status, row.status) << row.label << "\n" << result.output;
        if (row.says.empty()) {
            EXPECT_EQ(result.output, "") << row.label;
        } else {
            EXPECT_NE(result.output.find(row.says), std::string::npos)
                << row.label << "\n" << result.output;
        }
    }
    EXPECT_EQ(ReadFile(dir.file("a.jpg")).compare(0, 3, "\xFF\xD8\xFF"), 0);
}

TEST_F(CliTest, TextsGivenAreRecordedOthersNot) {
    const std::string out = dir.file("out.pdf");
    const CommandResult result =
        Cli("--title 'Ein Buch über Katzen 日本語' --author 'Plain Author' -o " +
            ShellQuote(out) + " " + ShellQuote(Image("a.jpg")));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(PdfInfoField(out, "Title"), "Ein Buch über Katzen 日本語");
    EXPECT_EQ(PdfInfoField(out, "Author"), "Plain Author");
    EXPECT_EQ(PdfInfoField(out, "Creator").substr(13), " ver.0.02");
    const std::string bytes = ReadFile(out);
    EXPECT_NE(bytes.find("(Plain Author)"), std::string::npos);  // stays 8-bit
    EXPECT_EQ(bytes.find("/Subject"), std::string::npos);
}

// The file's content decides its type, so names the library would refuse
// still work; a folder gives its images in natural order.
TEST_F(CliTest, TypeComesFromContentAndFoldersGiveTheirImages) {
    const std::string out = dir.file("out.pdf");
    std::filesystem::create_directory(dir.file("scans"));
    Image("scans/p10.jpg", 10, 10);
    Image("scans/p2.jpg", 20, 20);
    const CommandResult result =
        Cli("-o " + ShellQuote(out) + " " + ShellQuote(Image("upper.JPG")) + " " +
            ShellQuote(Image("noextension")) + " " + ShellQuote(Image("wrong.png")) + " " +
            ShellQuote(dir.file("scans")));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(PdfInfoField(out, "Pages"), "5");
    EXPECT_EQ(PdfInfoField(out, "Page size", 4), "20 x 20 pts");
    EXPECT_EQ(PdfInfoField(out, "Page size", 5), "10 x 10 pts");
}

// Page options: A4 across by ^T, B5 turning with the image, and pages at
// the images' resolution.
TEST_F(CliTest, PageOptions) {
    const std::string landscape = ShellQuote(Image("wide.jpg", 40, 20));
    const std::string portrait = ShellQuote(Image("tall.jpg", 20, 40));
    struct Row {
        std::string options;
        const char *first, *second;  // page sizes as pdfinfo gives them
    };
    const Row rows[] = {
        {"--pagesize a4^T", "841.89 x 595.276 pts (A4)", "841.89 x 595.276 pts (A4)"},
        {"--pagesize B5 --margin 0", "728.504 x 515.905 pts", "515.905 x 728.504 pts"},
        {"--pagesize 100mmx2in --portrait", "144 x 283.465 pts", "144 x 283.465 pts"},
        {"--use-resolution", "40 x 20 pts", "20 x 40 pts"},
    };
    const std::string out = dir.file("out.pdf");
    for (const Row &row : rows) {
        const CommandResult result =
            Cli(row.options + " -o " + ShellQuote(out) + " " + landscape + " " + portrait);
        ASSERT_EQ(result.status, 0) << row.options << "\n" << result.output;
        EXPECT_TRUE(testsupport::QpdfCheck(out)) << row.options;
        EXPECT_EQ(PdfInfoField(out, "Page size", 1), row.first) << row.options;
        EXPECT_EQ(PdfInfoField(out, "Page size", 2), row.second) << row.options;
    }
}

// Killed in the middle of a long book, the program leaves the output's
// folder exactly as it was: the book being written has no name yet.
TEST_F(CliTest, KilledMidwayLeavesTheFolderAsItWas) {
    TempDir out;
    testsupport::WriteFile(out.file("book.pdf"), "the previous book");
    const auto before = testsupport::FolderSnapshot(out.path());
    // Decoded and compressed again for every page: slow enough to be caught.
    std::vector<std::string> argv = {BINDWICK_CLI_PATH, "-o", out.file("book.pdf")};
    argv.insert(argv.end(), 300, std::string(BINDWICK_SAMPLES_DIR) + "/03-overlay.png");
    const int pid = testsupport::StartProcess(argv);
    ASSERT_GT(pid, 0);
    const bool caught = testsupport::WaitForOpenFileGrowth(pid, out.path(), 200000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(caught);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(testsupport::FolderSnapshot(out.path()), before);
}

// Standard output redirected to a file takes the image data file to file;
// a pipe cannot, and gets them by reading. Both documents are the same.
TEST_F(CliTest, StandardOutput) {
    const std::string images = ShellQuote(Image("a.jpg")) + " " + ShellQuote(Image("b.jpg", 30, 20));
    const std::string redirected = dir.file("redirected.pdf");
    const std::string piped = dir.file("piped.pdf");
    CommandResult result = Cli("-o - " + images + " > " + ShellQuote(redirected));
    ASSERT_EQ(result.status, 0) << result.output;
    result = Cli("-o - " + images + " | cat > " + ShellQuote(piped));
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(testsupport::QpdfCheck(redirected));
    EXPECT_TRUE(testsupport::QpdfCheck(piped));
    EXPECT_EQ(testsupport::NormalizePdf(ReadFile(redirected)),
              testsupport::NormalizePdf(ReadFile(piped)));
}

TEST_F(CliTest, ThousandPages) {
    const std::string image = ShellQuote(Image("small.jpg", 8, 8));
    const std::string out = dir.file("long.pdf");
    std::string arguments = "-o " + ShellQuote(out);
    for (int i = 0; i < 1000; ++i) arguments += " " + image;
    const CommandResult result = Cli(arguments);
    ASSERT_EQ(result.status, 0) << result.output;
    std::string report;
    EXPECT_TRUE(testsupport::QpdfCheck(out, &report)) << report.substr(0, 2000);
    EXPECT_EQ(PdfInfoField(out, "Pages"), "1000");
    EXPECT_EQ(PdfInfoField(out, "Page size", 1000), "8 x 8 pts");
}

}  // namespace
