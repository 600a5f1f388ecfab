// Image files told by content, folders of images in natural order, and what
// binding an image will do (probe), judged by the files and by the library.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image_files.h"
#include "image_probe.h"
#include "jpeg_fixture.h"
#include "test_support.h"
#include "test_tiff_util.h"

namespace {

using bindwick::ImageProblem;
using testsupport::TempDir;
using testsupport::WriteFile;

std::string Sample(const std::string &name) {
    return std::string(BINDWICK_SAMPLES_DIR) + "/" + name;
}

TEST(ImageFiles, TypeFromSignature) {
    using namespace std::string_literals;
    const struct { std::string head; const char *type; } rows[] = {
        {"\xFF\xD8\xFF\xE0rest"s, "jpeg"}, {"\x89PNG\r\n\x1A\n"s, "png"},
        {"II*\0\x08\0\0\0"s, "tiff"},      {"MM\0*\0\0\0\x08"s, "tiff"},
        {"II+\0\x08\0\0\0"s, "tiff"},      {"MM\0+\0\x08\0\0"s, "tiff"},  // BigTIFF
        {"GIF87a"s, "gif"},                {"GIF89a\x01"s, "gif"},
        {"\x89PNG\r\n\x1A"s, ""},  // cut short
        {"GIF90a"s, ""},
        {std::string(768, 'm') + "\xFF\xD8\xFF\xE0"s, "jpeg"},  // after a MacBinary header
        {std::string(769, 'm') + "\xFF\xD8\xFF\xE0"s, ""},
    };
    for (const auto &row : rows)
        EXPECT_EQ(bindwick::ImageTypeOfContent(row.head), row.type) << row.head;
}

TEST(ImageFiles, CheckNamesTheProblem) {
    TempDir dir;
    WriteFile(dir.file("photo.txt"), "GIF89a...");
    WriteFile(dir.file("scan.JPG"), "plain text");
    WriteFile(dir.file("empty.png"), "");
    const std::string fifo = dir.file("pipe.jpg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct { std::string path; const char *type; ImageProblem problem; } rows[] = {
        {dir.file("photo.txt"), "gif", ImageProblem::kNone},
        {dir.file("scan.JPG"), "", ImageProblem::kNotAnImage},
        {dir.file("empty.png"), "", ImageProblem::kNotAnImage},
        {dir.file("gone.jpg"), "", ImageProblem::kMissing},
        {dir.file("photo.txt/x.jpg"), "", ImageProblem::kMissing},
        {fifo, "", ImageProblem::kNotAFile},  // and no waiting for a writer
        {"/dev/zero", "", ImageProblem::kNotAFile},
    };
    for (const auto &row : rows) {
        const bindwick::ImageCheck check = bindwick::CheckImageFile(row.path);
        EXPECT_EQ(check.type, row.type) << row.path;
        EXPECT_EQ(check.problem, row.problem) << row.path;
    }
    EXPECT_STREQ(bindwick::ImageProblemText(ImageProblem::kMissing), "ファイルが見つかりません");
}

TEST(ImageFiles, NaturalOrder) {
    const std::vector<std::string> ordered = {
        "a",     "A2",     "a010",  "a10",   "a10b", "b",  "page1.jpg", "page2.jpg",
        "page9.jpg", "Page10.jpg", "page10.jpg", "page11.jpg", "page100.jpg",
    };
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        for (std::size_t j = 0; j < ordered.size(); ++j) {
            EXPECT_EQ(bindwick::NaturalLess(ordered[i], ordered[j]), i < j)
                << ordered[i] << " / " << ordered[j];
        }
    }
}

TEST(ImageFiles, GatherFilesAndFolders) {
    TempDir dir;
    const std::string folder = dir.file("scans");
    std::filesystem::create_directories(folder + "/inner");
    for (const char *name : {"p10.jpg", "p2.jpg", "p1.jpg", ".hidden.jpg", "inner/p0.jpg"})
        ASSERT_TRUE(testfixture::WriteSolidJpeg(folder + "/" + name, 4, 4, 1, 2, 3));
    WriteFile(folder + "/notes.txt", "not an image");
    std::filesystem::create_directory(dir.file("empty"));
    const std::string single = dir.file("single.PNG");
    std::filesystem::copy_file(Sample("02-drawing.png"), single);

    const bindwick::GatheredImages gathered = bindwick::GatherImages(
        {single, folder, dir.file("empty"), dir.file("missing.jpg"), folder + "/notes.txt"});
    std::vector<std::string> images;
    for (const auto &entry : gathered.images) images.push_back(entry.path + " " + entry.type);
    EXPECT_EQ(images, (std::vector<std::string>{
                          single + " png", folder + "/p1.jpg jpeg", folder + "/p2.jpg jpeg",
                          folder + "/p10.jpg jpeg"}));
    std::vector<std::string> rejected;
    for (const auto &file : gathered.rejected)
        rejected.push_back(file.path + " " + bindwick::ImageProblemTextEnglish(file.problem));
    EXPECT_EQ(rejected, (std::vector<std::string>{
                            dir.file("empty") + " no image files in the folder",
                            dir.file("missing.jpg") + " no such file",
                            folder + "/notes.txt not a JPEG, PNG, TIFF or GIF image"}));
}

// The mark in the list must say what the book will hold: each row is an
// image whose road through the library is known.
TEST(ImageProbe, SizeAndWhetherTheDataGoInUnchanged) {
    TempDir dir;
    tifftest::TiffSpec raw;  // uncompressed RGB strips: decoded, deflated
    raw.samples = 3;
    raw.photometric = PHOTOMETRIC_RGB;
    raw.width = 30;
    raw.height = 20;
    ASSERT_TRUE(tifftest::WriteTiff(dir.file("raw.tif"), raw));
    tifftest::TiffSpec fax;
    fax.bits = 1;
    fax.compression = COMPRESSION_CCITTFAX4;
    fax.photometric = PHOTOMETRIC_MINISWHITE;
    ASSERT_TRUE(tifftest::WriteTiff(dir.file("three.tif"), {fax, raw, fax}));
    WriteFile(dir.file("broken.jpg"), std::string("\xFF\xD8\xFF\xE0 nothing more", 17));
    ASSERT_TRUE(testfixture::WriteSolidJpeg(dir.file("wide.jpg"), 20000, 8, 9, 9, 9));

    const struct {
        std::string path;
        const char *type;
        bool bindable, unchanged;
        int width, height, pages;
    } rows[] = {
        {Sample("01-cover.jpg"), "jpeg", true, true, 240, 160, 1},
        {Sample("02-drawing.png"), "png", true, true, 240, 160, 1},     // palette
        {Sample("03-overlay.png"), "png", true, false, 240, 160, 1},    // RGBA
        {Sample("04-scan.tif"), "tiff", true, true, 480, 320, 1},       // Group 4
        {Sample("05-pattern.gif"), "gif", true, true, 240, 160, 1},
        {dir.file("raw.tif"), "tiff", true, false, 30, 20, 1},
        {dir.file("three.tif"), "tiff", true, true, 40, 24, 3},
        {dir.file("broken.jpg"), "jpeg", false, false, 0, 0, 1},
        {dir.file("wide.jpg"), "jpeg", true, true, 20000, 8, 1},  // scaled onto its page
    };
    for (const auto &row : rows) {
        const bindwick::ProbedImage facts = bindwick::ProbeImage({row.path, row.type});
        EXPECT_EQ(facts.bindable, row.bindable) << row.path;
        EXPECT_EQ(facts.unchanged, row.unchanged) << row.path;
        EXPECT_EQ(facts.width, row.width) << row.path;
        EXPECT_EQ(facts.height, row.height) << row.path;
        EXPECT_EQ(facts.pages, row.pages) << row.path;
        if (!row.bindable) {
            EXPECT_EQ(facts.problem, ImageProblem::kDamaged) << row.path;
        }
    }
}

}  // namespace
