// bench_drawing: writes the drawing benchmark's page (drawing_path.h)
// through Folio.
//
//   bench_drawing OUTPUT.pdf SEGMENTS LEVEL
//
// LEVEL is the compression level, 0 to 9. bench/drawing.sh times it against
// bench_drawing_hpdf, which makes the same page with libharu. Library errors
// end the process through the default handler.
#include <cstdio>
#include <cstdlib>

#include "drawing_path.h"
#include "folio.h"

namespace {

struct FolioCanvas {
    pdf_document *document;
    void moveto(float x, float y) { PDF_moveto(document, x, y); }
    void lineto(float x, float y) { PDF_lineto(document, x, y); }
    void curveto(float x1, float y1, float x2, float y2, float x3, float y3) {
        PDF_curveto(document, x1, y1, x2, y2, x3, y3);
    }
    void stroke() { PDF_stroke(document); }
};

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.pdf SEGMENTS LEVEL\n", argv[0]);
        return 2;
    }
    pdf_document *document = PDF_new();
    if (document == nullptr || PDF_open_file(document, argv[1]) != 1) {
        std::fprintf(stderr, "bench_drawing: cannot create %s\n", argv[1]);
        return 1;
    }
    PDF_set_value(document, "compress", static_cast<float>(std::atoi(argv[3])));
    PDF_begin_page(document, bench::kPageWidth, bench::kPageHeight);
    PDF_setlinewidth(document, 0.5f);
    PDF_setrgbcolor_stroke(document, 0.1f, 0.2f, 0.6f);
    FolioCanvas canvas{document};
    bench::DrawPaths(canvas, std::atol(argv[2]));
    PDF_end_page(document);
    PDF_close(document);
    PDF_delete(document);
    return 0;
}
