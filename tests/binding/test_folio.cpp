// The Folio wrapper: error types to exception classes, the error record, the
// constructor's failure path and the destructor that swallows errors.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <type_traits>

#include "folio.hpp"
#include "folio_support.h"
#include "test_support.h"

namespace {

template <typename E>
bool ThrowsExactly(int type) {
    try {
        Folio::throw_error(type, "text", nullptr);
    } catch (const E &) {
        return true;
    } catch (...) {
        return false;
    }
    return false;
}

TEST(FolioErrors, EveryTypeHasItsClass) {
    struct Row {
        int type;
        bool (*check)(int);
        const char *label;
    };
    const Row rows[] = {
        {1, ThrowsExactly<Folio::MemoryException>, "memory"},
        {2, ThrowsExactly<Folio::IOException>, "I/O"},
        {3, ThrowsExactly<Folio::RuntimeException>, "runtime"},
        {4, ThrowsExactly<Folio::IndexException>, "index"},
        {5, ThrowsExactly<Folio::TypeException>, "type"},
        {6, ThrowsExactly<Folio::DivisionByZeroException>, "division"},
        {7, ThrowsExactly<Folio::OverflowException>, "overflow"},
        {8, ThrowsExactly<Folio::SyntaxException>, "syntax"},
        {9, ThrowsExactly<Folio::ValueException>, "value"},
        {10, ThrowsExactly<Folio::SystemException>, "system"},
        {11, ThrowsExactly<Folio::NonfatalException>, "nonfatal"},
        {12, ThrowsExactly<Folio::UnknownException>, "unknown"},
        {0, ThrowsExactly<Folio::UnknownException>, "zero"},
        {99, ThrowsExactly<Folio::UnknownException>, "ninety-nine"},
        {-1, ThrowsExactly<Folio::UnknownException>, "negative"},
    };
    for (const Row &row : rows) EXPECT_TRUE(row.check(row.type)) << row.label;

    // Classes are siblings: a memory error is not caught as a value error.
    EXPECT_FALSE(ThrowsExactly<Folio::ValueException>(1));

    int marker = 0;
    try {
        Folio::throw_error(9, "the text", &marker);
        FAIL() << "no exception";
    } catch (const Folio::Exception &error) {
        EXPECT_EQ(error.get_message(), "the text");
        EXPECT_EQ(error.opaque, &marker);
    }
}

TEST(FolioErrors, NonfatalReportThrowsAndCarriesOpaque) {
    testsupport::TempDir dir;
    int marker = 0;
    bool caught = false;
    {
        Folio folio(nullptr, nullptr, nullptr, &marker);
        ASSERT_EQ(folio.open_file(dir.file("a.pdf")), 1);
        try {
            folio.set_info("Title", "");
        } catch (const Folio::NonfatalException &error) {
            caught = true;
            EXPECT_EQ(error.get_message(), "Empty key or value in PDF_set_info");
            EXPECT_EQ(error.opaque, &marker);
        }
        // Destroying the object after the exception must not throw.
    }
    EXPECT_TRUE(caught);
}

// A long library text reaches the caller cut to 255 characters.
TEST(FolioErrors, LongLibraryTextIsCut) {
    testsupport::TempDir dir;
    Folio folio;
    ASSERT_EQ(folio.open_file(dir.file("a.pdf")), 1);
    const std::string name = dir.path() + "/" + std::string(1900, 'n');
    try {
        folio.open_image_file("nosuchtype", name, "", 0);
        FAIL() << "no exception";
    } catch (const Folio::ValueException &error) {
        const std::string message = error.get_message();
        EXPECT_EQ(message.size(), 255u) << message;
        EXPECT_EQ(message.rfind("Image type nosuchtype for image file " + dir.path(), 0), 0u)
            << message;
    }
    static_assert(std::is_base_of_v<Folio::Exception, Folio::ValueException>);
}

// A refused image comes back as -1 with the reader's reason and leaves the
// document usable; nonfatal reports outside that call still throw.
TEST(FolioErrors, RefusedImageGivesTheReadersReason) {
    using namespace std::string_literals;
    testsupport::TempDir dir;
    const std::string gif =
        "GIF89a\x01\0\x01\0\x80\0\0\xFF\xFF\xFF\0\0\0,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;"s;
    testsupport::WriteFile(dir.file("dot.gif"), gif);
    testsupport::WriteFile(dir.file("cut.gif"), gif.substr(0, 20));
    testsupport::WriteFile(dir.file("notes.jpg"), "plain text");
    const struct { const char *file, *type, *reason; } rows[] = {
        {"dot.gif", "gif", ""},
        {"cut.gif", "gif", "GIF file"},
        {"notes.jpg", "jpeg", "JPEG file"},
    };
    Folio folio;
    ASSERT_EQ(folio.open_file(dir.file("a.pdf")), 1);
    for (const auto &row : rows) {
        std::string reason = "stale";
        const int image = folio.open_image_file(row.type, dir.file(row.file), "", 0, reason);
        if (*row.reason == '\0') {
            EXPECT_GE(image, 0) << row.file;
            EXPECT_EQ(reason, "") << row.file;
        } else {
            EXPECT_EQ(image, -1) << row.file;
            EXPECT_NE(reason.find(row.reason), std::string::npos) << row.file << ": " << reason;
        }
    }
    folio.begin_page(10, 10);
    folio.end_page();
    EXPECT_THROW(folio.set_info("Title", ""), Folio::NonfatalException);
}

// ---- Memory hooks ----------------------------------------------------------

// Hooks that fail the allocation numbered `fail_at` (from 1) and count the
// blocks alive, so every failure can be checked for a leak.
struct HookState {
    long allocations = 0;
    long fail_at = 0;  // 0: never fail
    long live = 0;
};
HookState hooks;

bool NextAllocationFails() {
    ++hooks.allocations;
    return hooks.fail_at != 0 && hooks.allocations == hooks.fail_at;
}

void *CountingAlloc(pdf_document *, size_t size, const char *) {
    if (NextAllocationFails()) return nullptr;
    void *block = std::malloc(size ? size : 1);
    if (block) ++hooks.live;
    return block;
}

void *CountingRealloc(pdf_document *, void *block, size_t size, const char *) {
    if (NextAllocationFails()) return nullptr;
    void *moved = std::realloc(block, size ? size : 1);
    if (moved && block == nullptr) ++hooks.live;
    return moved;
}

void CountingFree(pdf_document *, void *block) {
    if (block) --hooks.live;
    std::free(block);
}

TEST(FolioMemory, FailedDocumentAllocationThrowsMemoryException) {
    hooks = HookState{};
    hooks.fail_at = 1;
    int marker = 0;
    try {
        Folio folio(CountingAlloc, CountingRealloc, CountingFree, &marker);
        FAIL() << "no exception";
    } catch (const Folio::MemoryException &error) {
        EXPECT_EQ(error.get_message(), "Couldn't allocate Folio object");
        EXPECT_EQ(error.opaque, &marker);
    }
    EXPECT_EQ(hooks.live, 0);
}

// Runs `use` with allocation 1, 2, 3, ... failing until a run gets through.
// Every failing run must end in MemoryException and leave no block behind
// once the object is gone.
void FailEachAllocation(const std::function<void(Folio &)> &use) {
    for (long n = 1;; ++n) {
        hooks = HookState{};
        hooks.fail_at = n;
        bool failed = false;
        try {
            Folio folio(CountingAlloc, CountingRealloc, CountingFree, nullptr);
            use(folio);
        } catch (const Folio::MemoryException &) {
            failed = true;
        } catch (const Folio::Exception &error) {
            ADD_FAILURE() << "allocation " << n << ": " << error.get_message();
            failed = true;
        }
        EXPECT_EQ(hooks.live, 0) << "leak when allocation " << n << " fails";
        if (!failed) break;
        ASSERT_LT(n, 10000) << "never succeeded";
    }
}

// In memory mode the library refuses to delete a document whose output was
// never fetched; the destructor swallows that error and still frees it all.
TEST(FolioMemory, DestructorSwallowsDeleteErrorWithoutLeak) {
    hooks = HookState{};
    {
        Folio folio(CountingAlloc, CountingRealloc, CountingFree, nullptr);
        ASSERT_EQ(folio.open_file(""), 1);
        folio.begin_page(100, 100);
        folio.end_page();
        folio.close();
    }
    EXPECT_EQ(hooks.live, 0);
}

TEST(FolioMemory, ConstructorReleasesDocumentOnFailure) {
    FailEachAllocation([](Folio &) {});
}

TEST(FolioMemory, WholeRunSurvivesEveryFailedAllocation) {
    testsupport::TempDir dir;
    const std::string path = dir.file("a.pdf");
    FailEachAllocation([&](Folio &folio) {
        ASSERT_EQ(folio.open_file(path), 1);
        folio.set_value("compress", 6);
        folio.set_info("Title", "A title");
        folio.begin_page(200, 100);
        folio.end_page();
        folio.close();
    });
    EXPECT_TRUE(testsupport::QpdfCheck(path));
}

// Each drawing method writes its own call's operator; an error of any
// kind, warnings included, comes back as the exception of its type.
TEST(FolioDrawing, EveryMethodForwardsToItsCall) {
    testsupport::TempDir dir;
    const std::string path = dir.file("drawing.pdf");
    {
        Folio folio;
        ASSERT_EQ(folio.open_file(path), 1);
        folio.set_value("compress", 0);
        folio.setcolor("fill", "cmyk", 0, 0.2f, 1, 0);
        const int gold = folio.makespotcolor("Deep Gold");
        folio.begin_page(100, 100);
        folio.save();
        folio.translate(10, 20);
        folio.setmatrix(1, 0, 0, 1, 3, 4);
        folio.initgraphics();
        folio.scale(2, 2);
        folio.rotate(90);
        folio.skew(45, 0);
        folio.concat(1, 0, 0, 1, 5, 5);
        folio.restore();
        folio.setlinewidth(2);
        folio.setlinecap(1);
        folio.setlinejoin(1);
        folio.setmiterlimit(5);
        folio.setflat(3);
        folio.setdash(2, 1);
        folio.setpolydash({3, 1, 1, 1});
        folio.setgray_fill(0.1f);
        folio.setgray_stroke(0.2f);
        folio.setgray(0.3f);
        folio.setrgbcolor_fill(1, 0, 0);
        folio.setrgbcolor_stroke(0, 1, 0);
        folio.setrgbcolor(0, 0, 1);
        folio.setcolor("fill", "spot", static_cast<float>(gold), 1);
        folio.moveto(0, 0);
        folio.lineto(1, 1);
        folio.curveto(1, 2, 3, 4, 5, 6);
        folio.closepath();
        folio.endpath();
        folio.rect(0, 0, 1, 1);
        folio.stroke();
        folio.circle(0, 0, 0);
        folio.closepath_stroke();
        folio.set_parameter("fillrule", "evenodd");
        folio.arc(0, 0, 0, 0, 90);
        folio.fill();
        folio.arcn(0, 0, 0, 90, 0);
        folio.fill_stroke();
        folio.rect(0, 0, 1, 1);
        folio.closepath_fill_stroke();
        folio.rect(0, 0, 1, 1);
        folio.clip();
        folio.end_page();
        folio.close();
    }
    const std::string pdf = testsupport::ReadFile(path);
    const std::string zero_curve = "0 0 0 0 y\n";
    EXPECT_EQ(foliotest::StreamAround(pdf, pdf.find("/Length")).data,
              "q\n1 0 0 1 10 20 cm\n1 0 0 1 -10 -20 cm\n1 0 0 1 3 4 cm\n1 0 0 1 -3 -4 cm\n"
              "2 0 0 2 0 0 cm\n0 1 -1 0 0 0 cm\n1 1 0 1 0 0 cm\n1 0 0 1 5 5 cm\nQ\n"
              "2 w\n1 J\n1 j\n5 M\n3 i\n[2 1] 0 d\n[3 1 1 1 ] 0 d\n"
              "0.1 g\n0.2 G\n0.3 g\n0.3 G\n1 0 0 rg\n0 1 0 RG\n0 0 1 rg\n0 0 1 RG\n/CS0 cs 1 scn\n"
              "0 0 m\n1 1 l\n1 2 3 4 5 6 c\nh\nn\n0 0 1 1 re\nS\n"
              "0 0 m\n" + zero_curve + zero_curve + zero_curve + zero_curve + "h\ns\n"
              "0 0 m\n" + zero_curve + "f*\n0 0 m\n" + zero_curve + "B*\n"
              "0 0 1 1 re\nb*\n0 0 1 1 re\nW* n\n");
    EXPECT_TRUE(testsupport::QpdfCheck(path));

    auto on_a_page = [&](const std::function<void(Folio &)> &call) {
        Folio folio;
        folio.open_file(dir.file("error.pdf"));
        folio.begin_page(100, 100);
        call(folio);
    };
    EXPECT_THROW(on_a_page([](Folio &f) { f.lineto(1, 1); }), Folio::RuntimeException);
    EXPECT_THROW(on_a_page([](Folio &f) { f.circle(0, 0, -1); }), Folio::ValueException);
    EXPECT_THROW(on_a_page([](Folio &f) { f.setlinewidth(0); }), Folio::NonfatalException);
    EXPECT_THROW(on_a_page([](Folio &f) { f.makespotcolor(std::string(127, 'n')); }),
                 Folio::ValueException);
}

// The pattern, template and annotation methods forward to their calls; an
// attachment that cannot be read throws from the end of its page.
TEST(FolioDrawing, DefinitionsAndAnnotationsForward) {
    testsupport::TempDir dir;
    const std::string path = dir.file("annotated.pdf");
    testsupport::WriteFile(dir.file("notes.txt"), "notes");
    {
        Folio folio;
        ASSERT_EQ(folio.open_file(path), 1);
        const int pattern = folio.begin_pattern(4, 4, 4, 4, 1);
        folio.end_pattern();
        const int form = folio.begin_template(10, 10);
        folio.end_template();
        folio.set_border_style("dashed", 2);
        folio.set_border_color(0, 0, 1);
        folio.set_border_dash(1, 1);
        folio.begin_page(100, 100);
        folio.place_image(form, 5, 5, 1);
        folio.setcolor("fill", "pattern", static_cast<float>(pattern));
        folio.add_note(0, 0, 1, 1, "text", "", "help", 0);
        folio.add_locallink(0, 0, 1, 1, 1, "");
        folio.add_pdflink(0, 0, 1, 1, "other.pdf", 2, "fitbbox");
        folio.add_weblink(0, 0, 1, 1, "http://localhost/");
        folio.add_launchlink(0, 0, 1, 1, "other.pdf");
        folio.attach_file(0, 0, 1, 1, dir.file("notes.txt"), "", "", "text/plain", "");
        folio.end_page();
        folio.close();
    }
    EXPECT_EQ(foliotest::CountOf(testsupport::ReadFile(path), "/C[0 0 1]\n"), 6);
    EXPECT_TRUE(testsupport::QpdfCheck(path));

    Folio folio;
    folio.open_file(dir.file("error.pdf"));
    folio.begin_page(100, 100);
    folio.attach_file(0, 0, 1, 1, dir.file("missing.txt"), "", "", "", "");
    EXPECT_THROW(folio.end_page(), Folio::IOException);
}

}  // namespace
