#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace vl {

// Pictures beyond these are refused before any pixel memory is reserved. A JPEG header can claim
// 65000 x 65000 pixels in a file of a few hundred bytes, and libjpeg would "decode" it with no
// more than a warning.
inline constexpr int kMaxPictureSide = 32768;
inline constexpr qint64 kMaxPicturePixels = 200'000'000;

// Loads a background or shortcut picture. JPEG files (recognised by their content, whatever the
// file is called) go through libjpeg; everything else through QImageReader (BMP, ICO, PNG, GIF
// (first frame only), ...). No EXIF rotation is applied.
//
// target is the size the picture will be stretched to. A valid, non-empty target lets the loader
// decode a large picture smaller, but never below target in either direction, so stretching still
// only shrinks. Callers that show the picture at natural size (top-left or centred) must pass an
// invalid target, or the picture would appear smaller than it is.
//
// Returns a null image and sets *error on failure; a progressive JPEG whose scans would take too
// long to decode fails too. A JPEG or BMP cut short still loads: the missing part is grey, as any
// viewer shows it. (Qt refuses PNG and ICO files cut short and fills the rest of a GIF itself.)
QImage loadPicture(const QString &path, QSize target = {}, QString *error = nullptr);

// Whether loadPicture would probably succeed, without decoding the pixels where the format allows
// (JPEG: header, size limits, and for progressive files whether even the fewest scans would fit
// the work allowed; others: format detection and size limits).
bool canDecodePicture(const QString &path);

// Where a picture of the given size is drawn on a page: stretch fills the whole page (aspect ratio
// ignored, and it wins over center); center centres it at natural size, with offsets halved
// toward zero and negative when the picture is larger than the page; otherwise it sits at the
// top-left corner at natural size. An empty picture gives an empty rectangle.
QRect pictureRect(QSize picture, QSize page, bool center, bool stretch);

} // namespace vl
