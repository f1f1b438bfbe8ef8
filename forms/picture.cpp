#include "forms/picture.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QRect>

#include <future>
#include <utility>

namespace forms {
namespace {
// Qt refuses images over 128 MB by default; an 8000 x 6000 photograph decoded
// whole needs 192 MB. Still bounded, so a crafted header cannot ask for any size.
constexpr int kAllocationLimitMB = 1024;

// The part of a picture of `size` that shows when centred in `viewport`, with
// a pixel to spare on each side for rounding.
QRect visiblePart(QSize size, QSize viewport) {
    const QPoint topLeft((size.width() - viewport.width()) / 2 - 1,
                         (size.height() - viewport.height()) / 2 - 1);
    return QRect(topLeft, viewport + QSize(2, 2)).intersected(QRect(QPoint(0, 0), size));
}

bool decode(const QString& path, Picture* picture, QSize viewport) {
    if (path.isEmpty()) {
        *picture = Picture();
        return true;
    }
    // A directory, a FIFO or a device such as /dev/zero is no picture; reading
    // one could block the lock.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) return false;
    QImageReader reader(path);
    reader.setAllocationLimit(kAllocationLimitMB);
    const QSize size = reader.size();
    if (viewport.isValid() && size.isValid() &&
        (size.width() > viewport.width() || size.height() > viewport.height()) &&
        reader.supportsOption(QImageIOHandler::ClipRect)) {
        const QRect part = visiblePart(size, viewport);
        reader.setClipRect(part);
        QImage image = reader.read();
        if (image.isNull()) return false;
        *picture = Picture(size, std::move(image), part.topLeft());
        picture->setSource(path);
        return true;
    }
    QImage image = reader.read();
    if (image.isNull()) return false;
    *picture = Picture(std::move(image));
    picture->setSource(path);
    return true;
}

// What a file was when it was read: a prefetched picture counts only for the same.
struct FileStamp {
    QString path;
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp& o) const {
        return path == o.path && size == o.size && modified == o.modified;
    }
};

FileStamp stampOf(const QString& path) {
    const QFileInfo info(path);
    return {path, info.size(), info.lastModified()};
}

struct Prefetched {
    FileStamp stamp;
    QSize viewport;
    bool ok = false;
    Picture picture;
};

// Waited for, at the latest, when the program ends.
std::future<Prefetched>& pending() {
    static std::future<Prefetched> future;
    return future;
}
} // namespace

void PrefetchPicture(std::function<QString()> path, QSize viewport) {
    pending() = std::async(std::launch::async, [path = std::move(path), viewport] {
        Prefetched result;
        const QString file = path();
        result.stamp = stampOf(file);
        result.viewport = viewport;
        result.ok = !file.isEmpty() && decode(file, &result.picture, viewport);
        return result;
    });
}

namespace {
bool& skipNext() {
    static bool skip = false;
    return skip;
}
} // namespace

void SkipNextPicture() {
    skipNext() = true;
}

bool LoadPicture(const QString& path, Picture* picture, QSize viewport) {
    if (std::exchange(skipNext(), false) && !path.isEmpty()) return false;
    if (pending().valid()) {
        Prefetched head = pending().get();
        if (!path.isEmpty() && head.viewport == viewport && head.stamp == stampOf(path)) {
            if (head.ok) *picture = std::move(head.picture);
            return head.ok;
        }
    }
    return decode(path, picture, viewport);
}

} // namespace forms
