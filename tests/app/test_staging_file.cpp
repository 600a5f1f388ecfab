// The named staging file, used where a file cannot be made without a name,
// is removed when a signal ends the process. (The unnamed one is tested by
// killing whole programs in the command-line and window tests.)
#include "staging_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "folio.hpp"
#include "test_support.h"

namespace {

using bindwick::StagingFile;
using testsupport::FolderSnapshot;
using testsupport::TempDir;

// Where only a named file can be had, SIGINT, SIGTERM and SIGHUP remove it
// and still end the process by that signal.
TEST(StagingFile, NamedFileRemovedBySignals) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir;
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            StagingFile staging;
            if (!staging.Create(dir.file("book.pdf"), StagingFile::Kind::kNamed)) _exit(1);
            const char byte = 'x';
            if (write(ready[1], &byte, 1) != 1) _exit(2);
            pause();
            _exit(3);
        }
        close(ready[1]);
        char byte;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        EXPECT_EQ(FolderSnapshot(dir.path()).size(), 1u);  // the hidden file
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_TRUE(FolderSnapshot(dir.path()).empty());
    }
}

// A document that fails while a page ends (its attachment cannot be read)
// leaves nothing on disk when written the way the book writer writes: into
// a staging file that is committed only after the document was closed.
TEST(StagingFile, FailedDocumentLeavesNoFile) {
    TempDir dir;
    {
        StagingFile staging;
        ASSERT_TRUE(staging.Create(dir.file("book.pdf")));
        try {
            Folio folio;
            ASSERT_EQ(folio.open_file(staging.path()), 1);
            folio.begin_page(100, 100);
            folio.attach_file(0, 0, 10, 10, dir.file("gone.txt"), "", "", "", "");
            folio.end_page();
            ADD_FAILURE() << "the page ended";
        } catch (const Folio::IOException &error) {
            EXPECT_EQ(error.get_message(), "Couldn't open file '" + dir.file("gone.txt") + "'");
        }
    }
    EXPECT_TRUE(FolderSnapshot(dir.path()).empty());
}

}  // namespace
