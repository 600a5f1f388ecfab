// Image data that pass through unchanged go from the image file straight
// into an output file where the system allows. Whichever way the bytes
// travel, the document must be the same.
#define _GNU_SOURCE 1
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "folio_support.h"
#include "test_jpeg_util.h"
#include "test_tiff_util.h"

namespace {

using namespace foliotest;
using jpegtest::EncodeJpeg;
using jpegtest::JpegSpec;
using tifftest::TiffSpec;
using tifftest::WriteTiff;
using testsupport::NormalizePdf;
using testsupport::QpdfCheck;
using testsupport::ReadFile;
using testsupport::TempDir;

// Allocations made by the data sources that read image files: none when
// the data were copied file to file.
int source_allocations = 0;

bool IsReadingSource(const char *routine)
{
    return std::strcmp(routine, "jpeg_source_init") == 0 ||
           std::strcmp(routine, "tiff_source_refill") == 0;
}

void *CountingAlloc(pdf_document *, size_t size, const char *routine)
{
    source_allocations += IsReadingSource(routine);
    return std::malloc(size);
}

void *CountingRealloc(pdf_document *, void *block, size_t size, const char *routine)
{
    source_allocations += IsReadingSource(routine);
    return std::realloc(block, size);
}

void Free(pdf_document *, void *block) { std::free(block); }

// Whether this system copies between two files in the folder.
bool KernelCopiesBetweenFiles(const TempDir &dir)
{
    std::string from = dir.file("probe-in"), to = dir.file("probe-out");
    testsupport::WriteFile(from, "probe");
    int in = open(from.c_str(), O_RDONLY);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    loff_t offset = 0;
    bool copies = in >= 0 && out >= 0 && copy_file_range(in, &offset, out, nullptr, 5, 0) == 5;
    close(in);
    close(out);
    return copies;
}

enum class Output { kFile, kAppendingStream, kMemory };

// A JPEG, a Group 4 TIFF in three strips and one with its bits in reverse
// order (which must be changed on the way), one page each. Returns the
// document's bytes.
std::string Bind(const TempDir &dir, Output output)
{
    std::string pdf_path = dir.file("out.pdf");
    std::remove(pdf_path.c_str());
    pdf_document *document = PDF_new_with_handlers(Recorder::Handler, CountingAlloc,
                                                   CountingRealloc, Free, &Log());
    Log().reports.clear();
    FILE *stream = nullptr;
    switch (output) {
    case Output::kFile:
        PDF_open_file(document, pdf_path.c_str());
        break;
    case Output::kAppendingStream:
        stream = std::fopen(pdf_path.c_str(), "ab");
        PDF_open_fp(document, stream);
        break;
    case Output::kMemory:
        PDF_open_file(document, nullptr);
        break;
    }
    const char *images[][2] = {{"jpeg", "in.jpg"}, {"tiff", "strips.tif"}, {"tiff", "reversed.tif"}};
    for (const auto &image : images) {
        int handle = OpenImageFile(document, image[0], dir.file(image[1]));
        EXPECT_GE(handle, 0) << image[1];
        if (handle < 0) break;
        PlaceOnOwnPage(document, handle);
    }
    PDF_close(document);
    std::string bytes;
    if (output == Output::kMemory) {
        long size = 0;
        const char *buffer = PDF_get_buffer(document, &size);
        bytes.assign(buffer, static_cast<size_t>(size));
        testsupport::WriteFile(pdf_path, bytes);
    } else {
        if (stream) std::fclose(stream);
        bytes = ReadFile(pdf_path);
    }
    PDF_delete(document);
    EXPECT_TRUE(Log().reports.empty());
    EXPECT_TRUE(QpdfCheck(pdf_path));
    return NormalizePdf(bytes);
}

TEST(DirectCopy, EveryOutputGetsTheSameBytes)
{
    TempDir dir;
    JpegSpec jpeg;
    jpeg.width = 300;
    jpeg.height = 200;
    testsupport::WriteFile(dir.file("in.jpg"), EncodeJpeg(jpeg));
    TiffSpec strips;
    strips.bits = 1;
    strips.photometric = PHOTOMETRIC_MINISWHITE;
    strips.compression = COMPRESSION_CCITTFAX4;
    strips.width = 120;
    strips.height = 50;
    strips.rows_per_strip = 20;
    ASSERT_TRUE(WriteTiff(dir.file("strips.tif"), strips));
    TiffSpec reversed = strips;
    reversed.rows_per_strip = 0;
    reversed.fill_order = FILLORDER_LSB2MSB;
    ASSERT_TRUE(WriteTiff(dir.file("reversed.tif"), reversed));

    source_allocations = 0;
    std::string through_memory = Bind(dir, Output::kMemory);
    EXPECT_EQ(source_allocations, 1 + 3 + 1) << "every image read through its source";

    // An appending stream refuses the kernel's copy: read as before.
    source_allocations = 0;
    EXPECT_EQ(Bind(dir, Output::kAppendingStream), through_memory);
    EXPECT_EQ(source_allocations, 5);

    source_allocations = 0;
    EXPECT_EQ(Bind(dir, Output::kFile), through_memory);
    if (KernelCopiesBetweenFiles(dir)) {
        EXPECT_EQ(source_allocations, 1) << "only the reversed strip read through its source";
    }
}

}  // namespace
