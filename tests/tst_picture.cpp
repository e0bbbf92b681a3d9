#include "common/PictureLoader.h"
#include "support/Fifo.h"
#include "support/TempDir.h"
#include "../bench/ProcStatus.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

using namespace Qt::StringLiterals;
using namespace vl;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

// Four quadrants: red top-left, green top-right, blue bottom-left, white bottom-right.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    const int w2 = width / 2, h2 = height / 2;
    p.fillRect(0, 0, w2, h2, Qt::red);
    p.fillRect(w2, 0, width - w2, h2, Qt::green);
    p.fillRect(0, h2, w2, height - h2, Qt::blue);
    p.fillRect(w2, h2, width - w2, height - h2, Qt::white);
    return image;
}

bool near(QColor actual, QColor expected, int tolerance = 20)
{
    return qAbs(actual.red() - expected.red()) <= tolerance
        && qAbs(actual.green() - expected.green()) <= tolerance
        && qAbs(actual.blue() - expected.blue()) <= tolerance;
}

#define VERIFY_COLOUR(image, x, y, expected)                                                       \
    do {                                                                                           \
        const QColor actual_ = (image).pixelColor((x), (y));                                       \
        QVERIFY2(near(actual_, (expected)),                                                        \
                 qPrintable(u"(%1,%2) is %3, expected %4"_s.arg(x).arg(y).arg(actual_.name(),      \
                                                                         QColor(expected).name()))); \
    } while (false)

// Checks the centre of each quadrant.
#define VERIFY_QUADRANTS(image)                                                                    \
    do {                                                                                           \
        const int w4_ = (image).width() / 4, h4_ = (image).height() / 4;                           \
        VERIFY_COLOUR(image, w4_, h4_, Qt::red);                                                   \
        VERIFY_COLOUR(image, 3 * w4_, h4_, Qt::green);                                             \
        VERIFY_COLOUR(image, w4_, 3 * h4_, Qt::blue);                                              \
        VERIFY_COLOUR(image, 3 * w4_, 3 * h4_, Qt::white);                                         \
    } while (false)

void appendLe16(QByteArray &out, int value)
{
    out += char(value & 0xff);
    out += char((value >> 8) & 0xff);
}

// A GIF with a four-colour palette and one image per frame (one palette index per pixel). The
// LZW stream sends a clear code after every two pixels, so the code width never grows past three
// bits and no real compressor is needed.
QByteArray makeGif(int width, int height, const QList<QRgb> &palette, const QList<QByteArray> &frames)
{
    QByteArray gif("GIF89a");
    appendLe16(gif, width);
    appendLe16(gif, height);
    gif += char(0x80 | 0x01); // global table of 2^(1+1) entries
    gif += char(0);
    gif += char(0);
    for (int i = 0; i < 4; ++i) {
        const QRgb c = palette.value(i);
        gif += char(qRed(c));
        gif += char(qGreen(c));
        gif += char(qBlue(c));
    }
    for (const QByteArray &pixels : frames) {
        gif += QByteArray::fromHex("21f904000a000000"); // graphic control: 0.1 s delay
        gif += char(0x2c);
        appendLe16(gif, 0);
        appendLe16(gif, 0);
        appendLe16(gif, width);
        appendLe16(gif, height);
        gif += char(0);
        gif += char(2); // minimum code size: clear = 4, end = 5

        QByteArray codes;
        quint32 bits = 0;
        int bitCount = 0;
        const auto put = [&](int code) {
            bits |= quint32(code) << bitCount;
            bitCount += 3;
            while (bitCount >= 8) {
                codes += char(bits & 0xff);
                bits >>= 8;
                bitCount -= 8;
            }
        };
        for (qsizetype i = 0; i < pixels.size(); ++i) {
            if (i % 2 == 0)
                put(4);
            put(pixels[i]);
        }
        put(5);
        if (bitCount > 0)
            codes += char(bits & 0xff);
        for (qsizetype i = 0; i < codes.size(); i += 255) {
            const QByteArray block = codes.mid(i, 255);
            gif += char(block.size());
            gif += block;
        }
        gif += char(0);
    }
    gif += char(0x3b);
    return gif;
}

// Encodes raw samples with libjpeg, for the colour spaces and scan scripts Qt's writer does not
// produce. tune, when given, adjusts the settings last.
QByteArray encodeJpeg(int width, int height, J_COLOR_SPACE input, int components,
                      J_COLOR_SPACE stored, bool adobeMarker, const std::vector<JSAMPLE> &samples,
                      void (*tune)(jpeg_compress_struct *) = nullptr)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    info.write_Adobe_marker = adobeMarker;
    jpeg_set_quality(&info, 95, TRUE);
    if (tune)
        tune(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE *>(&samples[size_t(info.next_scanline) * width * components]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// A progressive JPEG in libjpeg's usual ten scans with colour at full resolution, as careful
// encoders write photos (Qt's writer halves it both ways, which is a quarter of the work).
QByteArray progressiveFullColour(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<JSAMPLE> samples;
    for (int y = 0; y < rgb.height(); ++y)
        samples.insert(samples.end(), rgb.constScanLine(y), rgb.constScanLine(y) + rgb.width() * 3);
    return encodeJpeg(rgb.width(), rgb.height(), JCS_RGB, 3, JCS_YCbCr, false, samples,
                      [](jpeg_compress_struct *info) {
                          info->comp_info[0].h_samp_factor = 1;
                          info->comp_info[0].v_samp_factor = 1;
                          jpeg_simple_progression(info);
                      });
}

// Offset of the first marker segment of the given kind (the 0xFF byte), -1 if there is none
// before the scan data.
qsizetype findSegment(const QByteArray &jpeg, const QList<uchar> &markers)
{
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos]) == 0xff) {
        const uchar marker = uchar(jpeg[pos + 1]);
        if (markers.contains(marker))
            return pos;
        if (marker == 0xda)
            return -1;
        pos += 2 + ((uchar(jpeg[pos + 2]) << 8) | uchar(jpeg[pos + 3]));
    }
    return -1;
}

qsizetype findFrameHeader(const QByteArray &jpeg)
{
    return findSegment(jpeg, {0xc0, 0xc1, 0xc2});
}

void putBe16(QByteArray &data, qsizetype pos, int value)
{
    data[pos] = char((value >> 8) & 0xff);
    data[pos + 1] = char(value & 0xff);
}

// Rewrites the picture size in the frame header; the scan data stays that of the small picture.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    const qsizetype sof = findFrameHeader(jpeg);
    if (sof < 0)
        return {};
    putBe16(jpeg, sof + 5, height);
    putBe16(jpeg, sof + 7, width);
    return jpeg;
}

QByteArray qtJpeg(const QImage &image, bool progressive = false)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(92);
    writer.setProgressiveScanWrite(progressive);
    return writer.write(image) ? data : QByteArray();
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, format) ? data : QByteArray();
}

QByteArray bmpClaiming(QSize size)
{
    QByteArray bmp = encoded(quadrants(8, 8), "BMP");
    if (!bmp.startsWith("BM"))
        return {};
    qToLittleEndian<qint32>(size.width(), bmp.data() + 18);
    qToLittleEndian<qint32>(size.height(), bmp.data() + 22);
    return bmp;
}

// Numbers as file formats store them.
template <typename T>
QByteArray le(T v)
{
    QByteArray b(sizeof v, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray be32(quint32 v)
{
    return le(qToBigEndian(v));
}

// A PNG chunk with its checksum (libpng checks it for the critical chunks).
QByteArray pngChunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = QByteArray(type, 4) + data;
    quint32 crc = 0xffffffffu;
    for (char c : typed) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return be32(quint32(data.size())) + typed + be32(~crc);
}

QByteArray pngHeader(quint32 width, quint32 height)
{
    // 8 bits a sample, colour type 2 (RGB), no interlace.
    return QByteArray("\x89PNG\r\n\x1a\n", 8)
        + pngChunk("IHDR", be32(width) + be32(height) + QByteArray("\x08\x02\x00\x00\x00", 5));
}

// What a call raised the process's peak memory by, in MiB. The peak is reset to what is in use
// first where the kernel lets us (/proc/self/clear_refs), so earlier tests do not hide it.
template <typename F>
double peakGrowthMiB(F call)
{
    QFile reset(u"/proc/self/clear_refs"_s);
    if (reset.open(QIODevice::WriteOnly))
        reset.write("5");
    reset.close();
    const long before = vl::bench::statusKiB("VmHWM");
    call();
    return (vl::bench::statusKiB("VmHWM") - before) / 1024.0;
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        return writeAll(path, content) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void qtFormats_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("size");

        // 32 pixels wide: Qt's ICO writer leaves the padding of its mask rows uninitialised.
        QImage halves(32, 24, QImage::Format_ARGB32);
        halves.fill(Qt::red);
        QPainter(&halves).fillRect(16, 0, 16, 24, Qt::blue);
        QTest::newRow("png") << u"p.png"_s << encoded(halves, "PNG") << QSize(32, 24);
        QTest::newRow("bmp") << u"p.bmp"_s << encoded(halves, "BMP") << QSize(32, 24);
        QTest::newRow("ico") << u"p.ico"_s << encoded(halves, "ICO") << QSize(32, 24);
        // The format comes from the content, not from the name.
        QTest::newRow("png named .jpg") << u"png.jpg"_s << encoded(halves, "PNG") << QSize(32, 24);
        QTest::newRow("bmp named .png") << u"bmp.png"_s << encoded(halves, "BMP") << QSize(32, 24);
        QTest::newRow("jpeg named .png")
            << u"jpeg.png"_s << qtJpeg(halves.convertToFormat(QImage::Format_RGB32)) << QSize(32, 24);

        // Only the first frame counts; the second one is all green.
        QByteArray first(8 * 6, 0), second(8 * 6, 2);
        for (int y = 0; y < 6; ++y)
            for (int x = 4; x < 8; ++x)
                first[y * 8 + x] = 1;
        const QList<QRgb> palette{qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(0, 0, 0)};
        QTest::newRow("gif") << u"p.gif"_s << makeGif(8, 6, palette, {first, second}) << QSize(8, 6);
    }

    void qtFormats()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, size);
        QVERIFY(!content.isEmpty());
        const QString path = file(name, content);

        QVERIFY(canDecodePicture(path));
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), size);
        VERIFY_COLOUR(image, 1, 1, Qt::red);
        VERIFY_COLOUR(image, size.width() - 2, size.height() - 2, Qt::blue);
    }

    // Qt formats are decoded smaller only when that cannot change the look: the picture must
    // exceed the target both ways, and the result still covers the target.
    void qtFormatsScaledForTarget_data()
    {
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("no target (natural size)") << QSize() << QSize(800, 600);
        QTest::newRow("empty target") << QSize(0, 0) << QSize(800, 600);
        QTest::newRow("wide target") << QSize(200, 100) << QSize(200, 150);
        QTest::newRow("tall target") << QSize(100, 300) << QSize(400, 300);
        QTest::newRow("same size") << QSize(800, 600) << QSize(800, 600);
        QTest::newRow("wider than picture") << QSize(1000, 100) << QSize(800, 600);
        QTest::newRow("larger than picture") << QSize(1600, 1200) << QSize(800, 600);
    }

    void qtFormatsScaledForTarget()
    {
        QFETCH(QSize, target);
        QFETCH(QSize, expected);
        const QString path = file(u"scaled.png"_s, encoded(quadrants(800, 600), "PNG"));
        QString error;
        const QImage image = loadPicture(path, target, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), expected);
        VERIFY_QUADRANTS(image);
    }

    // Pictures within our limits load even when they exceed Qt's own allocation limit, and the
    // limit is back to what it was afterwards.
    void qtAllocationLimitRestored()
    {
        const QString path = file(u"big.png"_s, encoded(quadrants(1024, 1024), "PNG"));
        const int previous = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(1);
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        const int after = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(previous);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(1024, 1024));
        QCOMPARE(after, 1);
    }

    void qtFormatSizeLimits_data()
    {
        QTest::addColumn<QSize>("claimed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("side too long") << QSize(40000, 10) << false;
        // Below the 16384 x 16384 pixels beyond which Qt's BMP reader refuses the header itself.
        QTest::newRow("too many pixels") << QSize(16000, 13000) << false;
        QTest::newRow("largest side") << QSize(32768, 16) << true;
    }

    // A BMP header states the size in plain numbers; the pixel data stays that of 8 x 8.
    void qtFormatSizeLimits()
    {
        QFETCH(QSize, claimed);
        QFETCH(bool, accepted);
        const QString path = file(u"claims.bmp"_s, bmpClaiming(claimed));
        QCOMPARE(canDecodePicture(path), accepted);
        if (!accepted) {
            QString error;
            QVERIFY(loadPicture(path, QSize(), &error).isNull());
            QVERIFY2(error.contains(u"too large"_s), qPrintable(error));
        }
    }

    // Qt's BMP reader calls a file cut short a success and leaves what it never reached as it
    // found it; that part must come out grey, as in a JPEG cut short. Qt's PNG and ICO readers
    // refuse such files. Black over white: BMP stores the bottom row first, so a file cut after
    // a quarter of its pixel data (and a few bytes of the next row) holds white rows only.
    void qtTruncated_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("loads");

        QImage halves(32, 24, QImage::Format_RGB32);
        halves.fill(Qt::black);
        QPainter(&halves).fillRect(0, 12, 32, 12, Qt::white);
        const auto cutBmp = [](const QByteArray &bmp) {
            const qsizetype pixels = qFromLittleEndian<quint32>(bmp.constData() + 10);
            return bmp.left(pixels + (bmp.size() - pixels) / 4 + 3);
        };
        // More than 16 colours, or Qt writes 4 bits a pixel (a depth its reader clears itself).
        QList<QRgb> palette{qRgb(0, 0, 0), qRgb(255, 255, 255)};
        for (int i = 2; i < 256; ++i)
            palette << qRgb(i, 0, 0);

        QTest::newRow("bmp, 24 bits") << cutBmp(encoded(halves, "BMP")) << true;
        QTest::newRow("bmp, 8-bit palette")
            << cutBmp(encoded(halves.convertToFormat(QImage::Format_Indexed8, palette), "BMP")) << true;
        QTest::newRow("bmp, 1 bit") << cutBmp(encoded(halves.convertToFormat(QImage::Format_Mono), "BMP")) << true;

        const QByteArray png = encoded(halves, "PNG");
        QTest::newRow("png") << png.left(png.size() / 2) << false;
        const QByteArray ico = encoded(halves.convertToFormat(QImage::Format_ARGB32), "ICO");
        QTest::newRow("ico") << ico.left(ico.size() * 3 / 4) << false;
    }

    void qtTruncated()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, loads);
        const QString path = file(u"cut.pic"_s, content);
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        if (!loads) {
            QVERIFY(image.isNull());
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(32, 24));
        const QColor grey(128, 128, 128);
        for (int x : {0, 13, 31}) {
            VERIFY_COLOUR(image, x, 23, Qt::white);
            VERIFY_COLOUR(image, x, 18, Qt::white);
            VERIFY_COLOUR(image, x, 16, grey);
            VERIFY_COLOUR(image, x, 12, grey);
            VERIFY_COLOUR(image, x, 0, grey);
        }
        // Scaled for a target, the same.
        const QImage small = loadPicture(path, QSize(16, 12));
        QCOMPARE(small.size(), QSize(16, 12));
        VERIFY_COLOUR(small, 8, 11, Qt::white);
        VERIFY_COLOUR(small, 8, 2, grey);
    }

    void jpegAtFullSize()
    {
        const QString path = file(u"full.jpg"_s, qtJpeg(quadrants(640, 480)));
        QVERIFY(canDecodePicture(path));
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QVERIFY(error.isEmpty());
        QCOMPARE(image.size(), QSize(640, 480));
        QVERIFY(!image.hasAlphaChannel());
        VERIFY_QUADRANTS(image);
    }

    void jpegReducedForTarget_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("2/8") << QSize(1600, 1200) << QSize(300, 200) << QSize(400, 300);
        QTest::newRow("exactly 4/8") << QSize(1600, 1200) << QSize(800, 600) << QSize(800, 600);
        QTest::newRow("one pixel over 4/8") << QSize(1600, 1200) << QSize(801, 600) << QSize(1000, 750);
        QTest::newRow("height decides") << QSize(1600, 1200) << QSize(100, 1000) << QSize(1400, 1050);
        // libjpeg rounds scaled sizes up: 1001 * 1/8 gives 126, which still covers 126.
        QTest::newRow("rounded up covers") << QSize(1001, 777) << QSize(126, 98) << QSize(126, 98);
        QTest::newRow("rounded up short") << QSize(1001, 777) << QSize(127, 98) << QSize(251, 195);
        QTest::newRow("target wider than picture") << QSize(1600, 1200) << QSize(2000, 100) << QSize(1600, 1200);
        QTest::newRow("no target") << QSize(1600, 1200) << QSize() << QSize(1600, 1200);
        QTest::newRow("empty target") << QSize(1600, 1200) << QSize(0, 0) << QSize(1600, 1200);
    }

    void jpegReducedForTarget()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, target);
        QFETCH(QSize, expected);
        const QString path = file(u"scaled.jpg"_s, qtJpeg(quadrants(picture.width(), picture.height())));
        QString error;
        const QImage image = loadPicture(path, target, &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), expected);
        if (target.isValid() && !target.isEmpty()) {
            QVERIFY(image.width() >= qMin(target.width(), picture.width()));
            QVERIFY(image.height() >= qMin(target.height(), picture.height()));
        }
        VERIFY_QUADRANTS(image);
    }

    void jpegGrayscale()
    {
        std::vector<JSAMPLE> samples(64 * 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x)
                samples[size_t(y) * 64 + x] = x < 32 ? 40 : 200;
        const QByteArray jpeg = encodeJpeg(64, 32, JCS_GRAYSCALE, 1, JCS_GRAYSCALE, false, samples);
        const qsizetype sof = findFrameHeader(jpeg);
        QVERIFY(sof > 0);
        QCOMPARE(int(jpeg[sof + 9]), 1); // one component

        const QString path = file(u"gray.jpg"_s, jpeg);
        QVERIFY(canDecodePicture(path));
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(64, 32));
        QVERIFY(image.isGrayscale());
        VERIFY_COLOUR(image, 8, 16, QColor(40, 40, 40));
        VERIFY_COLOUR(image, 56, 16, QColor(200, 200, 200));
    }

    void jpegCmyk_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("adobe");
        QTest::newRow("CMYK, Adobe (inverted)") << int(JCS_CMYK) << true;
        QTest::newRow("YCCK, Adobe (inverted)") << int(JCS_YCCK) << true;
        QTest::newRow("CMYK, no Adobe marker") << int(JCS_CMYK) << false;
    }

    // Quadrants in ink: red (M+Y), blue (C+M), black (K only), white (no ink).
    void jpegCmyk()
    {
        QFETCH(int, stored);
        QFETCH(bool, adobe);
        struct Ink { JSAMPLE c, m, y, k; };
        const Ink inks[4] = {{0, 255, 255, 0}, {255, 255, 0, 0}, {0, 0, 0, 255}, {0, 0, 0, 0}};
        const int size = 64;
        std::vector<JSAMPLE> samples(size_t(size) * size * 4);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const Ink ink = inks[(y < size / 2 ? 0 : 2) + (x < size / 2 ? 0 : 1)];
                JSAMPLE *px = &samples[(size_t(y) * size + x) * 4];
                const JSAMPLE values[4] = {ink.c, ink.m, ink.y, ink.k};
                for (int i = 0; i < 4; ++i)
                    px[i] = adobe ? JSAMPLE(255 - values[i]) : values[i];
            }
        }
        const QByteArray jpeg =
            encodeJpeg(size, size, JCS_CMYK, 4, J_COLOR_SPACE(stored), adobe, samples);
        QCOMPARE(findSegment(jpeg, {0xee}) > 0, adobe);

        const QString path = file(u"cmyk.jpg"_s, jpeg);
        QVERIFY(canDecodePicture(path));
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(size, size));
        VERIFY_COLOUR(image, 16, 16, Qt::red);
        VERIFY_COLOUR(image, 48, 16, Qt::blue);
        VERIFY_COLOUR(image, 16, 48, Qt::black);
        VERIFY_COLOUR(image, 48, 48, Qt::white);
    }

    // The header is refused on its numbers alone; nothing the size of the claim is reserved.
    // A progressive picture is walked once for each scan; one so large that even the fewest
    // scans a progressive file can have would exceed the work allowed is refused by its header.
    void jpegSizeLimits_data()
    {
        QTest::addColumn<QSize>("claimed");
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("65000 square") << QSize(65000, 65000) << false << false;
        QTest::newRow("side too long") << QSize(40000, 16) << false << false;
        QTest::newRow("too many pixels") << QSize(20000, 15000) << false << false;
        QTest::newRow("largest side, few pixels") << QSize(32768, 16) << false << true;
        // Walked, not held: refused at natural size, but a target lets it be decoded smaller.
        QTest::newRow("at the pixel limit") << QSize(20000, 10000) << false << true;
        QTest::newRow("progressive, 16000 x 12000") << QSize(16000, 12000) << true << false;
        // Full colour: 288 MB of coefficients before a single pixel.
        QTest::newRow("progressive, 8000 x 6000") << QSize(8000, 6000) << true << false;
        QTest::newRow("progressive, 6000 x 4500") << QSize(6000, 4500) << true << true;
    }

    void jpegSizeLimits()
    {
        QFETCH(QSize, claimed);
        QFETCH(bool, progressive);
        QFETCH(bool, accepted);
        const QImage picture = quadrants(16, 16);
        const QByteArray jpeg = withClaimedSize(progressive ? progressiveFullColour(picture) : qtJpeg(picture),
                                                claimed.width(), claimed.height());
        QVERIFY(!jpeg.isEmpty());
        const QString path = file(u"claims.jpg"_s, jpeg);

        QCOMPARE(canDecodePicture(path), accepted);
        if (!accepted) {
            QString error;
            QVERIFY(loadPicture(path, QSize(), &error).isNull());
            QVERIFY2(error.contains(u"too large"_s), qPrintable(error));
        }
    }

    // A picture cut short shows what arrived and grey for the rest (a file cut inside its header
    // is no picture at all: see undecodableFails).
    void jpegTruncated_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<double>("keptShareOfScan");
        QTest::newRow("baseline, quarter of the scan") << false << 0.25;
        QTest::newRow("baseline, no scan data") << false << 0.0;
        QTest::newRow("progressive, half the data") << true << 0.5;
        QTest::newRow("progressive, no scan data") << true << 0.0;
    }

    void jpegTruncated()
    {
        QFETCH(bool, progressive);
        QFETCH(double, keptShareOfScan);
        QImage halves(256, 256, QImage::Format_RGB32);
        halves.fill(Qt::red);
        QPainter(&halves).fillRect(0, 128, 256, 128, Qt::blue);
        const QByteArray jpeg = qtJpeg(halves, progressive);
        QCOMPARE(findSegment(jpeg, {0xc2}) > 0, progressive);

        const qsizetype sos = jpeg.indexOf("\xff\xda");
        QVERIFY(sos > 0);
        const qsizetype scanStart = sos + 2 + ((uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]));
        const qsizetype cut = scanStart + qsizetype((jpeg.size() - scanStart) * keptShareOfScan);
        const QString path = file(u"cut.jpg"_s, jpeg.left(cut));

        QVERIFY(canDecodePicture(path));
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(256, 256));
        if (!progressive && keptShareOfScan > 0) {
            VERIFY_COLOUR(image, 8, 8, Qt::red);
            VERIFY_COLOUR(image, 248, 248, QColor(128, 128, 128));
        }
        if (keptShareOfScan == 0)
            VERIFY_COLOUR(image, 128, 128, QColor(128, 128, 128));
    }

    // Repeating a scan is only a warning for libjpeg, and each repetition walks the whole picture
    // again: a small file could keep the program busy for minutes.
    void jpegWithEndlessScans()
    {
        const QByteArray jpeg = qtJpeg(quadrants(64, 64), true);
        QVERIFY(jpeg.endsWith("\xff\xd9"));
        const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
        QVERIFY(lastScan > 0);
        const QByteArray scan = jpeg.mid(lastScan, jpeg.size() - 2 - lastScan);
        const QByteArray head = jpeg.left(jpeg.size() - 2);
        const QString path = file(u"scans.jpg"_s, head + scan.repeated(600) + "\xff\xd9");

        QString error;
        QVERIFY(loadPicture(path, QSize(), &error).isNull());
        QVERIFY2(error.contains(u"scans"_s), qPrintable(error));

        const QString fewer = file(u"some-scans.jpg"_s, head + scan.repeated(20) + "\xff\xd9");
        error.clear();
        const QImage image = loadPicture(fewer, QSize(), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        VERIFY_QUADRANTS(image);
    }

    // What a progressive file costs is its blocks times its scans. Repeating a scan a few
    // hundred times (below the scan limit) over a few megapixels must be refused; the claimed
    // size keeps the file small, and the decoder skips blocks its data does not reach cheaply.
    // A large photo in the usual ten scans, colour at full resolution, still loads, within the
    // memory its coefficients may take.
    void jpegProgressiveWork()
    {
        const QByteArray jpeg = withClaimedSize(qtJpeg(quadrants(64, 64), true), 2048, 2048);
        const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
        QVERIFY(lastScan > 0);
        const QByteArray scan = jpeg.mid(lastScan, jpeg.size() - 2 - lastScan);
        const QString hostile =
            file(u"costly.jpg"_s, jpeg.left(jpeg.size() - 2) + scan.repeated(300) + "\xff\xd9");
        QString error;
        QVERIFY(loadPicture(hostile, QSize(), &error).isNull());
        QVERIFY2(error.contains(u"scans"_s), qPrintable(error));

        const QString photo =
            file(u"photo.jpg"_s, withClaimedSize(progressiveFullColour(quadrants(64, 48)), 6000, 4500));
        error.clear();
        const QImage image = loadPicture(photo, QSize(1000, 750), &error);
        QVERIFY2(!image.isNull(), qPrintable(error));
        QCOMPARE(image.size(), QSize(1500, 1125));
    }

    void undecodableFails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");

        QRandomGenerator random(20240611);
        QByteArray noise(4096, Qt::Uninitialized);
        for (char &c : noise)
            c = char(random.bounded(256));
        noise[0] = 0;
        QTest::newRow("noise named .jpg") << u"noise.jpg"_s << noise;
        QTest::newRow("noise named .bmp") << u"noise.bmp"_s << noise;
        QTest::newRow("JPEG magic, then noise") << u"magic.jpg"_s << QByteArray("\xff\xd8\xff") + noise;
        QTest::newRow("JPEG magic named .png") << u"magic.png"_s << QByteArray("\xff\xd8\xff") + noise;
        QTest::newRow("JPEG cut inside its header") << u"cut.jpg"_s << qtJpeg(quadrants(16, 16)).left(20);
        QTest::newRow("JPEG magic only") << u"soi.jpg"_s << QByteArray("\xff\xd8\xff");
        QTest::newRow("empty") << u"empty.jpg"_s << QByteArray();
        QTest::newRow("text") << u"note.png"_s << QByteArray("not a picture\n");
        QTest::newRow("BMP claiming 65000 square") << u"huge.bmp"_s << bmpClaiming(QSize(65000, 65000));

        // Only the declared sample precision differs from a good 8-bit file; libjpeg of this
        // build decodes 8-bit samples only.
        QByteArray twelveBit = qtJpeg(quadrants(16, 16));
        const qsizetype sof = findFrameHeader(twelveBit);
        twelveBit[sof + 1] = char(0xc1);
        twelveBit[sof + 4] = 12;
        QTest::newRow("12-bit samples") << u"twelve.jpg"_s << twelveBit;
    }

    void undecodableFails()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = file(name, content);
        QVERIFY(!path.isEmpty());

        QVERIFY(!canDecodePicture(path));
        QString error;
        QVERIFY(loadPicture(path, QSize(), &error).isNull());
        QVERIFY(!error.isEmpty());
        error.clear();
        QVERIFY(loadPicture(path, QSize(100, 100), &error).isNull());
        QVERIFY(!error.isEmpty());
    }

    // A picture file is opened once, without waiting: a FIFO (or a device) named as a picture
    // is refused at once, like a file that cannot be read, instead of freezing the window until
    // somebody writes to it.
    void specialFilesRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("FIFO named as a JPEG") << u"fifo.jpg"_s;
        QTest::newRow("FIFO named as a PNG") << u"fifo.png"_s;
    }

    void specialFilesRefusedAtOnce()
    {
        QFETCH(QString, name);
        vl::test::BlockingFifo fifo(m_dir.filePath(name));
        QVERIFY(fifo.made());
        QVERIFY(!canDecodePicture(fifo.path()));
        QString error;
        QVERIFY(loadPicture(fifo.path(), QSize(800, 600), &error).isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY2(!fifo.released(), "the loader waited for a writer");
    }

    // Files of a few dozen bytes whose headers claim far more than the file holds, or than a
    // picture may cost. Each is refused before the memory it asks for is reserved: refusing costs
    // next to nothing, where these took up to two gigabytes and seconds each.
    void hostileHeadersRefusedCheaply_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<bool>("probeRefuses");

        // "BM", the file's size (126), reserved, pixels at 62: after this header, the info header
        // and a palette of two colours. The info header (40 bytes) claims 14142 x 14142 pixels,
        // one plane, 8 bits a pixel, no compression, no image size, 2835 pixels a metre both
        // ways, two colours, all important. Palette: black, white. Then 64 of the 200 million
        // pixels claimed.
        const QByteArray bmp = "BM" + le(126) + le(0) + le(62) + le(40) + le(14142) + le(14142) + le<quint16>(1)
            + le<quint16>(8) + le(0) + le(0) + le(2835) + le(2835) + le(2) + le(0)
            + QByteArray::fromHex("00000000ffffff00") + QByteArray(64, '\x01');
        QCOMPARE(bmp.size(), 126);
        QTest::newRow("BMP of 200 million pixels") << u"bomb.bmp"_s << bmp << QSize() << true;

        // A 1 x 1 PNG header, then a text chunk claiming 2^31 - 16 bytes of which 30 follow
        // (its key word, "Comment", and 22 letters): libpng reserved and cleared the two
        // gigabytes before it found the file ended.
        const QByteArray png = pngHeader(1, 1) + be32(0x7ffffff0) + "tEXt" + QByteArray("Comment\0", 8)
            + QByteArray(22, 'x');
        QCOMPARE(png.size(), 71);
        QTest::newRow("PNG text chunk of 2 GB") << u"text.png"_s << png << QSize() << true;
        // An icon whose one picture is that PNG: Qt hands it to libpng as it is. Header: no
        // reserved bits, type 1 (icon), one entry; the entry: 1 x 1, no palette, one plane,
        // 32 bits, 71 bytes at offset 22.
        const QByteArray ico = le<quint16>(0) + le<quint16>(1) + le<quint16>(1) + QByteArray("\x01\x01\x00\x00", 4)
            + le<quint16>(1) + le<quint16>(32) + le(int(png.size())) + le(22) + png;
        QTest::newRow("icon holding that PNG") << u"text.ico"_s << ico << QSize() << true;
        // A 4000 x 4000 RGB picture (48 MB of rows) in ten bytes of image data: deflate cannot
        // make more than 1032 bytes of one.
        QTest::newRow("PNG rows beyond deflate")
            << u"rows.png"_s << pngHeader(4000, 4000) + pngChunk("IDAT", QByteArray::fromHex("789c63000000010001ff"))
                                    + pngChunk("IEND", {})
            << QSize() << true;

        // "GIF89a", a logical screen, a global table of two colours (black, white), then one
        // frame at 0,0 of the given size whose LZW data (minimum code size 2, one block) is
        // clear (4), index 0, end (5): it paints one pixel.
        const auto gif = [](int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
            return "GIF89a" + le(quint16(screenWidth)) + le(quint16(screenHeight)) + QByteArray("\x80\x00\x00", 3)
                + QByteArray::fromHex("000000ffffff") + "\x2c" + le<quint32>(0) + le(quint16(frameWidth))
                + le(quint16(frameHeight)) + QByteArray(1, '\0') + QByteArray::fromHex("0202440100") + ";";
        };
        QCOMPARE(gif(1, 1, 1, 1).size(), 35);
        QTest::newRow("GIF of 20000 x 10000") << u"bomb.gif"_s << gif(20000, 10000, 20000, 10000) << QSize() << true;
        QTest::newRow("GIF of 4000 x 4000 in 35 bytes")
            << u"small.gif"_s << gif(4000, 4000, 4000, 4000) << QSize() << true;

        // A JPEG may claim more than a picture may hold when a target lets it be decoded smaller
        // (jpegSizeLimits); at its natural size it is refused.
        QTest::newRow("JPEG of 20000 x 10000 at natural size")
            << u"bomb.jpg"_s << withClaimedSize(qtJpeg(quadrants(16, 16)), 20000, 10000) << QSize() << false;
        // Full colour in several scans: 288 MB of coefficients, whatever the target.
        QTest::newRow("progressive JPEG of 8000 x 6000")
            << u"bomb-progressive.jpg"_s << withClaimedSize(progressiveFullColour(quadrants(16, 16)), 8000, 6000)
            << QSize(1000, 750) << true;
    }

    void hostileHeadersRefusedCheaply()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, target);
        QFETCH(bool, probeRefuses);
        const QString path = file(name, content);
        QVERIFY(!path.isEmpty());
        if (probeRefuses)
            QVERIFY(!canDecodePicture(path));

        QString error;
        QImage image;
        const double growth = peakGrowthMiB([&] { image = loadPicture(path, target, &error); });
        QVERIFY2(image.isNull(), qPrintable(u"loaded as %1 x %2"_s.arg(image.width()).arg(image.height())));
        QVERIFY(!error.isEmpty());
        QVERIFY2(growth < 16, qPrintable(u"peak memory grew by %1 MiB"_s.arg(growth)));

        // The same bytes held inside a help file.
        error.clear();
        const double inMemory =
            peakGrowthMiB([&] { image = loadPictureData(content, QFileInfo(name).suffix(), target, &error); });
        QVERIFY(image.isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY2(inMemory < 16, qPrintable(u"peak memory grew by %1 MiB in memory"_s.arg(inMemory)));
    }

    // Real PNG files, damaged ones included: the loader's own checks of chunks and sizes refuse
    // none that Qt reads, and the pictures are Qt's.
    void realPngFilesAsQtReadsThem_data()
    {
        QTest::addColumn<QString>("path");
        const QDir suite(QStringLiteral(VORLANE_PICTURE_FIXTURES "/pngsuite"));
        const QStringList names = suite.entryList({u"*.png"_s}, QDir::Files, QDir::Name);
        QVERIFY(names.size() >= 40);
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << suite.filePath(name);
    }

    void realPngFilesAsQtReadsThem()
    {
        QFETCH(QString, path);
        QImageReader reader(path);
        const QImage expected = reader.read();
        QString error;
        const QImage image = loadPicture(path, QSize(), &error);
        QCOMPARE(image.isNull(), expected.isNull());
        if (expected.isNull())
            return;
        QVERIFY(canDecodePicture(path));
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
    }

    void missingFileFails()
    {
        const QString path = m_dir.filePath(u"absent.jpg"_s);
        QVERIFY(!canDecodePicture(path));
        QString error;
        QVERIFY(loadPicture(path, QSize(), &error).isNull());
        QVERIFY(!error.isEmpty());
        QVERIFY(loadPicture(m_dir.path()).isNull());
    }

    void pictureRectModes_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("page");
        QTest::addColumn<bool>("center");
        QTest::addColumn<bool>("stretch");
        QTest::addColumn<QRect>("expected");
        const QSize page(300, 200);
        QTest::newRow("top-left") << QSize(100, 50) << page << false << false << QRect(0, 0, 100, 50);
        QTest::newRow("top-left, larger than page")
            << QSize(400, 300) << page << false << false << QRect(0, 0, 400, 300);
        QTest::newRow("centred") << QSize(100, 50) << page << true << false << QRect(100, 75, 100, 50);
        QTest::newRow("centred, odd margin") << QSize(101, 51) << page << true << false << QRect(99, 74, 101, 51);
        QTest::newRow("centred, larger than page")
            << QSize(500, 400) << page << true << false << QRect(-100, -100, 500, 400);
        // Truncated toward zero: -101 / 2 is -50, not -51.
        QTest::newRow("centred, larger, odd overhang")
            << QSize(401, 301) << page << true << false << QRect(-50, -50, 401, 301);
        QTest::newRow("stretched") << QSize(100, 50) << page << false << true << QRect(0, 0, 300, 200);
        QTest::newRow("stretched, larger") << QSize(900, 100) << page << false << true << QRect(0, 0, 300, 200);
        QTest::newRow("stretch wins over centre") << QSize(100, 50) << page << true << true << QRect(0, 0, 300, 200);
        QTest::newRow("empty picture") << QSize(0, 0) << page << true << true << QRect();
    }

    void pictureRectModes()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, page);
        QFETCH(bool, center);
        QFETCH(bool, stretch);
        QFETCH(QRect, expected);
        QCOMPARE(pictureRect(picture, page, center, stretch), expected);
    }
};

QTEST_GUILESS_MAIN(TestPicture)
#include "tst_picture.moc"
