#pragma once

#include <QImage>
#include <QString>

namespace platform {

// The picture loader: BMP, JPEG, GIF, PNG. An empty path gives an empty
// picture. Returns false (and leaves *picture alone) when the file is missing,
// not a regular file, or not a picture that can be decoded.
bool LoadPicture(const QString& path, QImage* picture);

} // namespace platform
