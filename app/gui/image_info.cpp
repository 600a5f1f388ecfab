// image_info.cpp -- thumbnails and image facts, made off the window's thread.
#include "image_info.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace bindwick {

ImageInfo MakeImageInfo(const FileEntry &entry, bool keep_alpha) {
    ImageInfo info;
    info.facts = ProbeImage(entry, keep_alpha);
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(entry.path)));
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    // Readers that can decode at a smaller size (JPEG) do far less work.
    if (size.isValid())
        reader.setScaledSize(size.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio)
                                 .expandedTo(QSize(1, 1)));
    info.thumbnail = reader.read();
    if (!info.thumbnail.isNull() &&
        (info.thumbnail.width() > kThumbnailSide || info.thumbnail.height() > kThumbnailSide)) {
        info.thumbnail = info.thumbnail.scaled(kThumbnailSide, kThumbnailSide,
                                               Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return info;
}

ImageInfoCache::ImageInfoCache(QObject *parent, Maker maker)
    : QObject(parent), maker_(std::move(maker)) {
    // One worker: the machine's other core stays with the window and a save.
    pool_.setMaxThreadCount(1);
}

ImageInfoCache::~ImageInfoCache() {
    pool_.clear();
    pool_.waitForDone();
}

ImageInfoCache::Key ImageInfoCache::KeyOf(const FileEntry &entry) const {
    const QString path = QFile::decodeName(QByteArray::fromStdString(entry.path));
    const QFileInfo file(path);
    return {path, file.size(), file.lastModified(), keep_alpha_};
}

const ImageInfo *ImageInfoCache::find(const FileEntry &entry) {
    const Key key = KeyOf(entry);
    const auto same = [&key](const Key &other) {
        return other.size == key.size && other.modified == key.modified &&
               other.keep_alpha == key.keep_alpha;
    };
    const auto known = known_.constFind(key.path);
    if (known != known_.constEnd() && same(known->first)) return &known->second;
    const auto pending = pending_.constFind(key.path);
    if (pending != pending_.constEnd() && same(*pending)) return nullptr;

    pending_.insert(key.path, key);
    const Maker maker = maker_;
    pool_.start([this, maker, entry, key] {
        const ImageInfo info = maker(entry, key.keep_alpha);
        QMetaObject::invokeMethod(
            this, [this, key, info] { store(key.path, key, info); }, Qt::QueuedConnection);
    });
    return nullptr;
}

bool ImageInfoCache::setKeepAlpha(bool on) {
    if (on == keep_alpha_) return false;
    keep_alpha_ = on;
    pool_.clear();
    pending_.clear();
    return true;
}

void ImageInfoCache::store(const QString &path, const Key &key, const ImageInfo &info) {
    // Made for a keep-alpha choice changed since: find() has asked for the
    // information anew, and that request stays pending.
    if (key.keep_alpha != keep_alpha_) return;
    pending_.remove(path);
    known_.insert(path, {key, info});
    emit ready(path);
}

}  // namespace bindwick
