// book_job.cpp -- the book writer on a worker thread.
#include "book_job.h"

#include <QFile>
#include <QMetaObject>

namespace bindwick {

// Runs on the worker thread: turns the writer's reports into queued calls
// on the job, and tells the writer when to stop. Messages are not shown
// from here; the window builds them from the result.
class BookJob::ThreadReporter : public BookReporter {
public:
    ThreadReporter(BookJob &job, std::atomic<bool> &stop) : job_(job), stop_(stop) {}

    void ProgressStart(std::size_t count) override {
        count_ = static_cast<int>(count);
        post(0, QString());
    }
    void EntryStarted(std::size_t index, const std::string &path) override {
        post(static_cast<int>(index), QFile::decodeName(QByteArray::fromStdString(path)));
    }
    void ProgressStep(std::size_t done) override { post(static_cast<int>(done), QString()); }
    bool StopRequested() override { return stop_.load(); }

    void ImageNotOpened(const RejectedFile &, const std::string &) override {}
    void OutputNotCreated(const std::string &, const std::string &) override {}
    void LibraryError(const std::string &, const std::string &) override {}
    void BookWritten(const std::string &, const std::string &) override {}

private:
    void post(int done, const QString &current) {
        BookJob *job = &job_;
        const int count = count_;
        QMetaObject::invokeMethod(
            job, [job, done, count, current] { emit job->progress(done, count, current); },
            Qt::QueuedConnection);
    }

    BookJob &job_;
    std::atomic<bool> &stop_;
    int count_ = 0;
};

BookJob::BookJob(QObject *parent) : QObject(parent) {
    qRegisterMetaType<bindwick::BookResult>("bindwick::BookResult");
}

BookJob::~BookJob() {
    stop();
    wait();
}

void BookJob::start(const BookRequest &request) {
    if (running()) return;
    stop_requested_ = false;
    worker_ = std::thread([this, request] {
        ThreadReporter reporter(*this, stop_requested_);
        const BookResult result = BookWriter(reporter).Write(request);
        QMetaObject::invokeMethod(
            this, [this, result] { deliver(result); }, Qt::QueuedConnection);
    });
}

void BookJob::wait() {
    if (worker_.joinable()) worker_.join();
}

void BookJob::deliver(const BookResult &result) {
    // The worker posted this as its last act; joining waits at most for the
    // thread to unwind.
    wait();
    emit finished(result);
}

}  // namespace bindwick
