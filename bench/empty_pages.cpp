// bench_empty_pages: how fast the library writes empty pages, and how much
// memory it needs for them.
//
//   bench_empty_pages [--keep] [--output FILE] [COUNT...]
//
// For each COUNT (default 10000 and 100000) a child process writes a document
// of COUNT empty A4 pages to FILE (default: a file in $TMPDIR or /tmp,
// removed afterwards unless --keep) and reports pages per second and its
// peak resident size. Each count runs in its own process so that its peak is
// its own; the difference between counts is what the document's tables cost
// per page, since the pages themselves are written out as they end.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "folio.h"

namespace {

long PeakResidentKiB()
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;  // kilobytes on Linux
}

// Runs in the child: writes the document and prints one result line.
// Library errors end the process through the default handler.
int WritePages(const std::string &path, long count)
{
    long baseline = PeakResidentKiB();
    auto start = std::chrono::steady_clock::now();

    pdf_document *document = PDF_new();
    if (document == nullptr || PDF_open_file(document, path.c_str()) != 1) {
        std::fprintf(stderr, "bench_empty_pages: cannot create %s\n", path.c_str());
        return 1;
    }
    for (long i = 0; i < count; i++) {
        PDF_begin_page(document, 595.0f, 842.0f);
        PDF_end_page(document);
    }
    PDF_close(document);
    PDF_delete(document);

    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long peak = PeakResidentKiB();
    std::printf("%8ld pages  %7.3f s  %10.0f pages/s  peak RSS %7ld KiB  (+%ld KiB over start)\n",
                count, seconds, seconds > 0 ? count / seconds : 0.0, peak, peak - baseline);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    bool keep = false;
    std::string output;
    std::vector<long> counts;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--keep") == 0) {
            keep = true;
        } else if (std::strcmp(argv[i], "--output") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else {
            char *end;
            long count = std::strtol(argv[i], &end, 10);
            if (*end != '\0' || count <= 0) {
                std::fprintf(stderr, "usage: %s [--keep] [--output FILE] [COUNT...]\n", argv[0]);
                return 2;
            }
            counts.push_back(count);
        }
    }
    if (counts.empty())
        counts = {10000, 100000};
    if (output.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        output = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_empty_pages-" +
                 std::to_string(getpid()) + ".pdf";
    }

    int status = 0;
    for (long count : counts) {
        std::fflush(stdout);
        pid_t child = fork();
        if (child < 0) {
            std::perror("bench_empty_pages: fork");
            return 1;
        }
        if (child == 0)
            _exit(WritePages(output, count));
        int child_status = 0;
        waitpid(child, &child_status, 0);
        if (!WIFEXITED(child_status) || WEXITSTATUS(child_status) != 0) {
            std::fprintf(stderr, "bench_empty_pages: run of %ld pages failed\n", count);
            status = 1;
        }
    }
    if (keep)
        std::printf("kept %s\n", output.c_str());
    else
        std::remove(output.c_str());
    return status;
}
