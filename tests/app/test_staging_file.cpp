// The staging file: nameless until committed, and a named one removed when a
// signal ends the process.
#include "staging_file.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "test_support.h"

namespace {

using bindwick::StagingFile;
using testsupport::FolderSnapshot;
using testsupport::ReadFile;
using testsupport::TempDir;

void Append(const std::string &path, const std::string &bytes) {
    FILE *file = std::fopen(path.c_str(), "ab");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

TEST(StagingFile, UnnamedUntilCommitted) {
    TempDir dir;
    const std::string target = dir.file("book.pdf");
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "replacing a file" : "new file");
        if (existing) testsupport::WriteFile(target, "old");
        const auto before = FolderSnapshot(dir.path());
        StagingFile staging;
        ASSERT_TRUE(staging.Create(target));
        ASSERT_TRUE(staging.unnamed());
        Append(staging.path(), "new book");
        EXPECT_EQ(FolderSnapshot(dir.path()), before);
        ASSERT_TRUE(staging.CommitTo(target));
        EXPECT_EQ(ReadFile(target), "new book");
        EXPECT_EQ(FolderSnapshot(dir.path()).size(), 1u);
    }
    {
        StagingFile dropped;
        ASSERT_TRUE(dropped.Create(target));
        Append(dropped.path(), "never committed");
    }
    EXPECT_EQ(ReadFile(target), "new book");
}

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

}  // namespace
