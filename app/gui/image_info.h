// What the list shows about each image beyond its path: a thumbnail, the
// page size, the pages of a TIFF file and whether the data go into the book
// unchanged. All of it is made on a worker thread and kept per file (path,
// size and time of last change) and per image choice that decides whether
// data go in unchanged (keep alpha), so the window never waits for a
// decoder.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>

#include "file_list.h"
#include "image_probe.h"

namespace bindwick {

struct ImageInfo {
    ProbedImage facts;
    QImage thumbnail;  // null when no decoder for the format is installed
};

// The longest side of a thumbnail, in pixels: room for a list icon of 48
// points on a screen of twice the usual density.
constexpr int kThumbnailSide = 96;

// Probes `entry` with the library, keeping alpha as the book would with
// `keep_alpha`, and decodes a thumbnail with Qt's image readers. Runs on any
// thread.
ImageInfo MakeImageInfo(const FileEntry &entry, bool keep_alpha);

class ImageInfoCache : public QObject {
    Q_OBJECT

public:
    using Maker = std::function<ImageInfo(const FileEntry &, bool keep_alpha)>;

    // `maker` is run on the worker thread (tests give one that records
    // where it ran).
    explicit ImageInfoCache(QObject *parent = nullptr, Maker maker = MakeImageInfo);
    // Drops the work not started yet and waits for the work under way.
    ~ImageInfoCache() override;

    // The information on `entry` when it is known for the file as it is and
    // the current keep-alpha choice; otherwise null, and the information is
    // made in the background (once) and announced by ready().
    const ImageInfo *find(const FileEntry &entry);

    // Sets the keep-alpha choice the information is made for. Returns true
    // when it changed: what is known is then out of date, and find() makes
    // it anew; work queued for the old choice is dropped.
    bool setKeepAlpha(bool on);

signals:
    void ready(const QString &path);

private:
    struct Key {
        QString path;
        qint64 size;
        QDateTime modified;
        bool keep_alpha;
    };
    Key KeyOf(const FileEntry &entry) const;
    void store(const QString &path, const Key &key, const ImageInfo &info);

    Maker maker_;
    QHash<QString, std::pair<Key, ImageInfo>> known_;
    QHash<QString, Key> pending_;
    QThreadPool pool_;
    bool keep_alpha_ = false;
};

}  // namespace bindwick
