// An error that leaves the library while an image is being copied must not
// leave the image file open or its copy buffer allocated once the document
// is released.
#include <gtest/gtest.h>

#include <csetjmp>
#include <string>

#include "test_jpeg_util.h"

namespace {

std::jmp_buf jump;
int reported_type = 0;

void LeaveOnError(pdf_document *, int type, const char *) {
    if (type == PDF_ERR_NONFATAL) return;
    reported_type = type;
    std::longjmp(jump, 1);
}

// Accepts the header, then fails every write.
size_t FailAfterHeader(pdf_document *, void *, size_t count) {
    static int calls = 0;
    return ++calls == 1 && count < 100 ? count : 0;
}

TEST(InterruptedWrite, FileAndBufferAreReleased) {
    testsupport::TempDir dir;
    // Bytes after the end of the JPEG are copied too: they make the image
    // data larger than the output buffer, so the sink is called mid-copy.
    std::string jpeg = jpegtest::EncodeJpeg(jpegtest::JpegSpec{}) + std::string(300000, '\0');
    std::string path = dir.file("big.jpg");
    testsupport::WriteFile(path, jpeg);

    int descriptors = foliotest::OpenDescriptors();
    pdf_document *volatile document =
        PDF_new_with_handlers(LeaveOnError, nullptr, nullptr, nullptr, nullptr);
    PDF_set_parameter(document, "flush", "heavy");
    if (setjmp(jump) == 0) {
        PDF_open_mem(document, FailAfterHeader);
        PDF_open_image_file(document, "jpeg", path.c_str(), "", 0);
        FAIL() << "the failing sink was not noticed";
    }
    EXPECT_EQ(reported_type, PDF_ERR_IO);
    EXPECT_EQ(foliotest::OpenDescriptors(), descriptors + 1);  // the JPEG is still open
    PDF_close(document);
    PDF_delete(document);
    EXPECT_EQ(foliotest::OpenDescriptors(), descriptors);
}

}  // namespace
