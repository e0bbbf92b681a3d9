#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

namespace vl {

// What one picture may cost, whatever its file claims: no picture file may hold up the window for
// more than about a second or grow it by more than 256 MB. A file that would is refused like any
// unreadable picture, before the memory is reserved.
//
// The picture handed out may take 128 MiB, counted at 4 bytes a pixel however it is stored, since
// that is what painting turns it into: an 8K picture (7680 x 4320) fits. A decode may hold
// 224 MiB at its peak, the picture and the decoder's own work together (a progressive JPEG's
// coefficients, the second read of a palette BMP), which leaves room for the rest of the window.
inline constexpr int kMaxPictureSide = 32768;
inline constexpr qint64 kMaxPictureBytes = qint64(128) << 20;
inline constexpr qint64 kMaxPicturePixels = kMaxPictureBytes / 4;
inline constexpr qint64 kMaxDecodeBytes = qint64(224) << 20;
// libjpeg walks every block of a JPEG even when it hands out the picture scaled down for a target,
// so a JPEG may claim more pixels than it is decoded to, up to this: a real photo of 200 million
// pixels takes about half a second to walk at 1/8 (a file with less data than it claims walks its
// missing part for next to nothing). Without these limits libjpeg would "decode" a header of a
// few hundred bytes claiming 65000 x 65000 pixels with no more than a warning.
inline constexpr qint64 kMaxJpegPixels = 200'000'000;

// Loads a background or shortcut picture. JPEG files (recognised by their content, whatever the
// file is called) go through libjpeg; everything else through QImageReader (BMP, ICO, PNG, GIF
// (first frame only), ...). No EXIF rotation is applied.
//
// target is the size the picture will be stretched to. A valid, non-empty target lets the loader
// decode a large picture smaller, but never below target in either direction, so stretching still
// only shrinks. Callers that show the picture at natural size (top-left or centred) must pass an
// invalid target, or the picture would appear smaller than it is.
//
// Only regular files are read: a FIFO or a device is refused at once, never waited on.
//
// Returns a null image and sets *error on failure; so do a picture beyond the limits above and a
// progressive JPEG whose scans would take too long to decode. A JPEG or BMP cut short still loads:
// the missing part is grey, as any viewer shows it. (Qt refuses PNG and ICO files cut short and
// fills the rest of a GIF itself.)
QImage loadPicture(const QString &path, QSize target = {}, QString *error = nullptr);

// As loadPicture, for a picture already in memory (one held inside a help file), with the suffix
// of its name as the format of last resort: the same limits hold.
QImage loadPictureData(const QByteArray &bytes, const QString &suffix, QSize target = {}, QString *error = nullptr);

// Whether loadPicture would probably succeed, without decoding the pixels where the format allows
// (JPEG: header, size limits, and for progressive files whether even the fewest scans would fit
// the work allowed; others: format detection, size limits and, for PNG, GIF and icons, whether
// the file could hold the picture it claims). A JPEG decoded at natural size may still be refused
// as too large where one scaled down for a target would not.
bool canDecodePicture(const QString &path);

// Where a picture of the given size is drawn on a page: stretch fills the whole page (aspect ratio
// ignored, and it wins over center); center centres it at natural size, with offsets halved
// toward zero and negative when the picture is larger than the page; otherwise it sits at the
// top-left corner at natural size. An empty picture gives an empty rectangle.
QRect pictureRect(QSize picture, QSize page, bool center, bool stretch);

} // namespace vl
