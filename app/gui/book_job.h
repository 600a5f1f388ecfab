// BookJob: one book written on a thread of its own, so that the window keeps
// answering while it is written. The Folio document is made, used and
// dropped on that thread alone. What the run reports reaches the window as
// signals, delivered on the window's thread in the order they happened.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

#include "book_writer.h"

namespace bindwick {

class BookJob : public QObject {
    Q_OBJECT

public:
    explicit BookJob(QObject *parent = nullptr);
    // Stops a run still going and waits for its thread.
    ~BookJob() override;

    // Starts writing `request`; nothing happens while a run is going.
    void start(const BookRequest &request);
    bool running() const { return worker_.joinable(); }

    // Asks the run to stop before its next page; finished() follows with
    // the outcome kStopped (or another one if the run was already done).
    void stop() { stop_requested_ = true; }
    // Blocks until the thread has ended; finished() is still delivered
    // through the event loop.
    void wait();

signals:
    // `done` of `count` entries are bound; `current` is the file being
    // bound now, empty between entries.
    void progress(int done, int count, const QString &current);
    void finished(const bindwick::BookResult &result);

private:
    class ThreadReporter;

    // Called on the window's thread when the run's result arrives.
    void deliver(const BookResult &result);

    std::thread worker_;
    std::atomic<bool> stop_requested_{false};
};

}  // namespace bindwick
