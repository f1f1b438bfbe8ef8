#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

#include <functional>

namespace forms {

// A picture as the image control holds it: the size of the whole picture, in
// its own pixels, and its decoded pixels, which may be only the part that
// falls on the screen. Once something else shows the pixels (the X server),
// they may be dropped; the picture keeps its size and where its part was.
class Picture {
public:
    Picture() = default;
    explicit Picture(QImage whole)
        : size_(whole.size()), part_(std::move(whole)), partRect_(QPoint(), size_) {}
    Picture(QSize size, QImage part, QPoint offset)
        : size_(size), part_(std::move(part)), partRect_(offset, part_.size()) {}

    // The file it was read from, and whether only a part of it was decoded.
    const QString& source() const { return source_; }
    void setSource(const QString& path) { source_ = path; }
    bool isPartial() const { return partRect_.size() != size_; }

    bool isNull() const { return size_.isEmpty(); }
    QSize size() const { return size_; }
    const QImage& part() const { return part_; } // null once dropped
    QRect partRect() const { return partRect_; } // where the part sits in the whole
    void dropPixels() { part_ = QImage(); }

private:
    QSize size_;
    QImage part_;
    QRect partRect_;
    QString source_;
};

// The picture loader: BMP, JPEG, GIF, PNG. An empty path gives an empty
// picture. Returns false (and leaves *picture alone) when the file is missing,
// not a regular file, or not a picture that can be decoded.
//
// With a viewport, a picture larger than it is decoded only where it shows
// when centred in it (for formats that can decode a part: JPEG), so a
// 48-megapixel photograph costs a screenful of memory.
bool LoadPicture(const QString& path, Picture* picture, QSize viewport = QSize());

// A head start for a picture that will be asked for soon: it is read on a
// thread of its own meanwhile, and LoadPicture takes the result when it asks
// for the same, unchanged file with the same viewport (otherwise it reads the
// file itself). `path` is called on that thread.
void PrefetchPicture(std::function<QString()> path, QSize viewport);

// The next picture asked for is taken for one that cannot be read (the locks
// before this one died on it: the owner gets in and chooses another).
void SkipNextPicture();

} // namespace forms
