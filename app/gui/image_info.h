// What the list shows about each image beyond its path: a thumbnail, the
// page size, the pages of a TIFF file and whether the data go into the book
// unchanged. All of it is made on a worker thread and kept per file (path,
// size and time of last change), so the window never waits for a decoder.
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

// Probes `entry` with the library and decodes a thumbnail with Qt's image
// readers. Runs on any thread.
ImageInfo MakeImageInfo(const FileEntry &entry);

class ImageInfoCache : public QObject {
    Q_OBJECT

public:
    using Maker = std::function<ImageInfo(const FileEntry &)>;

    // `maker` is run on the worker thread (tests give one that records
    // where it ran).
    explicit ImageInfoCache(QObject *parent = nullptr, Maker maker = MakeImageInfo);
    // Drops the work not started yet and waits for the work under way.
    ~ImageInfoCache() override;

    // The information on `entry` when it is known and the file has not
    // changed since; otherwise null, and the information is made in the
    // background (once) and announced by ready().
    const ImageInfo *find(const FileEntry &entry);

signals:
    void ready(const QString &path);

private:
    struct Key {
        QString path;
        qint64 size;
        QDateTime modified;
    };
    static Key KeyOf(const FileEntry &entry);
    void store(const QString &path, const Key &key, const ImageInfo &info);

    Maker maker_;
    QHash<QString, std::pair<Key, ImageInfo>> known_;
    QHash<QString, Key> pending_;
    QThreadPool pool_;
};

}  // namespace bindwick
