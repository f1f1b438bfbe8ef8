#include "platform/picture.h"

#include <QFileInfo>
#include <QImageReader>

namespace platform {
namespace {
// Qt refuses images over 128 MB by default; an 8000 x 6000 photograph needs
// 192 MB. Still bounded, so a crafted header cannot ask for any size at all.
constexpr int kAllocationLimitMB = 1024;
} // namespace

bool LoadPicture(const QString& path, QImage* picture) {
    if (path.isEmpty()) {
        *picture = QImage();
        return true;
    }
    // A directory, a FIFO or a device such as /dev/zero is no picture; reading
    // one could block the lock.
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    QImageReader reader(path);
    reader.setAllocationLimit(kAllocationLimitMB);
    QImage image = reader.read();
    if (image.isNull())
        return false;
    *picture = std::move(image);
    return true;
}

} // namespace platform
