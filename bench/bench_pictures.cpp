// vorlane-bench-pictures: what a picture file costs the window, hostile ones
// next to real ones.
//
//   vorlane-bench-pictures [--reps N] [--dir DIR] [--keep] [--timeout SECONDS]
//   vorlane-bench-pictures --child FILE probe|natural|WxH
//
// The parent writes the files below into a temporary folder, then runs every
// case in a fresh child process per repetition (peak memory only ever grows
// within a process), the order rotating, and reports for each case the median
// wall time, the median growth of the child's peak memory (VmHWM) over the
// call, the outcome, and both figures as ratios to decoding a real 12
// megapixel JPEG photo at its natural size. A child that runs past the
// timeout is killed and reported as such.
//
// The hostile files are a few dozen bytes each: a BMP, a GIF and a JPEG whose
// headers claim pictures of 200 million pixels, a PNG whose text chunk claims
// two gigabytes, a progressive JPEG whose header asks for 288 MB of
// coefficients; and a BMP and a JPEG that claim just what a picture may be
// (5792 x 5792 pixels), which are shown, grey. The real ones are noise (so
// they do not compress to nothing) in PNG, JPEG and progressive JPEG.

#include "common/PictureLoader.h"
#include "ProcStatus.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QByteArray le16(int v)
{
    QByteArray b(2, '\0');
    qToLittleEndian<quint16>(quint16(v), b.data());
    return b;
}

QByteArray le32(qint64 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian<quint32>(quint32(v), b.data());
    return b;
}

QByteArray be32(qint64 v)
{
    QByteArray b(4, '\0');
    qToBigEndian<quint32>(quint32(v), b.data());
    return b;
}

// 126 bytes: an 8-bit BMP of two palette colours that claims the given size
// (14142 x 14142 pixels) and holds 64 bytes of its pixels.
QByteArray bmpBomb(int width, int height)
{
    QByteArray b("BM");
    b += le32(126) + le32(0) + le32(14 + 40 + 8);
    b += le32(40) + le32(width) + le32(height) + le16(1) + le16(8) + le32(0) + le32(0) + le32(2835) + le32(2835)
        + le32(2) + le32(0);
    b += QByteArray::fromHex("00000000ffffff00");
    b += QByteArray(64, '\x01');
    return b;
}

// 71 bytes: a 1 x 1 PNG whose tEXt chunk, right after the header, claims
// 2^31 - 16 bytes and holds 30.
QByteArray pngTextBomb()
{
    QByteArray b("\x89PNG\r\n\x1a\n", 8);
    b += be32(13) + "IHDR" + be32(1) + be32(1) + QByteArray("\x08\x02\x00\x00\x00", 5) + be32(0x907753de);
    b += be32(0x7ffffff0) + "tEXt" + QByteArray("Comment\0", 8) + QByteArray(22, 'x');
    return b;
}

// 35 bytes: a GIF whose logical screen and one frame claim 20000 x 10000
// pixels, of which its data paints one.
QByteArray gifBomb()
{
    QByteArray b("GIF89a");
    b += le16(20000) + le16(10000) + QByteArray("\x80\x00\x00", 3) + QByteArray::fromHex("000000ffffff");
    b += QByteArray("\x2c", 1) + le16(0) + le16(0) + le16(20000) + le16(10000) + QByteArray(1, '\0');
    // LZW of minimum code size 2 in one block: clear (4), index 0, end (5), three bits each.
    b += QByteArray::fromHex("0202440100") + ";";
    return b;
}

QByteArray jpegOf(const QImage &image, bool progressive, int quality = 90)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return data;
}

// A small JPEG whose frame header claims another size.
QByteArray jpegClaiming(bool progressive, int width, int height, int yuvHalved)
{
    QImage small(16, 16, QImage::Format_RGB32);
    small.fill(Qt::darkCyan);
    QByteArray j = jpegOf(small, progressive);
    for (qsizetype pos = 2; pos + 9 < j.size();) {
        const uchar marker = uchar(j[pos + 1]);
        if (marker == 0xc0 || marker == 0xc2) {
            qToBigEndian<quint16>(quint16(height), j.data() + pos + 5);
            qToBigEndian<quint16>(quint16(width), j.data() + pos + 7);
            if (!yuvHalved)
                j[pos + 11] = char(0x11); // luma sampled as the colour: every component full size
            break;
        }
        pos += 2 + qFromBigEndian<quint16>(j.constData() + pos + 2);
    }
    return j;
}

QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        // Smooth noise: neighbours alike, as in a photo, so the codecs have
        // work of the usual kind rather than pure entropy.
        quint32 pixel = random.generate();
        for (int x = 0; x < width; ++x) {
            if (x % 4 == 0)
                pixel = random.generate();
            line[x] = 0xff000000u | pixel;
        }
    }
    return image;
}

struct Case {
    const char *name;
    const char *file;
    const char *how; // probe, natural, or a target WxH
};

const Case kCases[] = {
    {"photo 4000x3000 JPEG, natural", "photo.jpg", "natural"},
    {"photo 4000x3000 JPEG, for 1920x1080", "photo.jpg", "1920x1080"},
    {"photo 4000x3000 progressive, natural", "photo-progressive.jpg", "natural"},
    {"picture 4000x3000 PNG, natural", "picture.png", "natural"},
    {"BMP bomb, natural", "bomb.bmp", "natural"},
    {"BMP bomb at the size limit, natural", "bomb-at-limit.bmp", "natural"},
    {"BMP bomb, probe", "bomb.bmp", "probe"},
    {"PNG text bomb, probe", "bomb.png", "probe"},
    {"PNG text bomb, natural", "bomb.png", "natural"},
    {"GIF bomb, natural", "bomb.gif", "natural"},
    {"JPEG bomb, natural", "bomb.jpg", "natural"},
    {"JPEG bomb, for 1920x1080", "bomb.jpg", "1920x1080"},
    {"JPEG bomb at the size limit, natural", "bomb-at-limit.jpg", "natural"},
    {"progressive JPEG bomb, for 1920x1080", "bomb-progressive.jpg", "1920x1080"},
};

int child(const QString &file, const QString &how)
{
    // Plugins and libraries loaded before the measurement.
    QImage warm(8, 8, QImage::Format_RGB32);
    warm.fill(Qt::red);
    const QString warmFile = file + QStringLiteral(".warm.png");
    warm.save(warmFile);
    vl::loadPicture(warmFile);
    QFile::remove(warmFile);

    const long before = vl::bench::statusKiB("VmHWM");
    QElapsedTimer timer;
    timer.start();
    QString error;
    QString outcome;
    if (how == QLatin1String("probe")) {
        outcome = vl::canDecodePicture(file) ? QStringLiteral("probe: yes") : QStringLiteral("probe: no");
    } else {
        QSize target;
        if (how != QLatin1String("natural")) {
            const QStringList wh = how.split(QLatin1Char('x'));
            target = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        }
        const QImage image = vl::loadPicture(file, target, &error);
        outcome = image.isNull() ? QStringLiteral("refused: ") + error
                                 : QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
    }
    const double ms = timer.nsecsElapsed() / 1e6;
    const long after = vl::bench::statusKiB("VmHWM");
    std::printf("%.3f %ld %s\n", ms, after - before, qPrintable(outcome));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args.at(1) == QLatin1String("--child"))
        return child(args.at(2), args.at(3));

    int reps = 5;
    int timeoutS = 60;
    QString dirArg;
    bool keep = false;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--reps") && i + 1 < args.size())
            reps = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--timeout") && i + 1 < args.size())
            timeoutS = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            dirArg = args[++i];
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--reps N] [--dir DIR] [--keep] [--timeout SECONDS]\n", argv[0]);
            return 64;
        }
    }
    QTemporaryDir temp(dirArg.isEmpty() ? QDir::tempPath() + QStringLiteral("/vorlane-bench-pictures-XXXXXX")
                                        : dirArg + QStringLiteral("/vorlane-bench-pictures-XXXXXX"));
    temp.setAutoRemove(!keep);
    const QDir dir(temp.path());
    const auto put = [&](const char *name, const QByteArray &data) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    };
    const QImage photo = noise(4000, 3000);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "PNG");
    }
    if (!put("photo.jpg", jpegOf(photo, false)) || !put("photo-progressive.jpg", jpegOf(photo, true))
        || !put("picture.png", png) || !put("bomb.bmp", bmpBomb(14142, 14142))
        || !put("bomb-at-limit.bmp", bmpBomb(5792, 5792))
        || !put("bomb-at-limit.jpg", jpegClaiming(false, 5792, 5792, true)) || !put("bomb.png", pngTextBomb())
        || !put("bomb.gif", gifBomb()) || !put("bomb.jpg", jpegClaiming(false, 20000, 10000, true))
        || !put("bomb-progressive.jpg", jpegClaiming(true, 8000, 6000, false))) {
        std::fprintf(stderr, "cannot write the files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    std::printf("files in %s%s\n", qPrintable(dir.path()), keep ? " (kept)" : "");

    struct Result {
        std::vector<double> ms, kib;
        QString outcome;
    };
    std::map<int, Result> results;
    const int n = int(std::size(kCases));
    for (int rep = 0; rep < reps; ++rep) {
        for (int k = 0; k < n; ++k) {
            const int c = (k + rep) % n;
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), dir.filePath(QString::fromLatin1(kCases[c].file)),
                     QString::fromLatin1(kCases[c].how)});
            Result &r = results[c];
            if (!p.waitForFinished(timeoutS * 1000)) {
                p.kill();
                p.waitForFinished();
                r.ms.push_back(timeoutS * 1000.0);
                r.outcome = QStringLiteral("killed after %1 s").arg(timeoutS);
                continue;
            }
            const QList<QByteArray> words = p.readAllStandardOutput().trimmed().split(' ');
            if (words.size() < 3) {
                r.outcome = QStringLiteral("child failed (exit %1)").arg(p.exitCode());
                continue;
            }
            r.ms.push_back(words[0].toDouble());
            r.kib.push_back(words[1].toDouble());
            r.outcome = QString::fromUtf8(words.mid(2).join(' '));
        }
    }

    const double refMs = median(results[0].ms);
    const double refKib = std::max(1.0, median(results[0].kib));
    std::printf("%-40s %10s %9s %8s %8s  %s\n", "case", "ms", "MB", "t/ref", "mem/ref", "outcome");
    for (int c = 0; c < n; ++c) {
        const Result &r = results[c];
        const double ms = median(r.ms), kib = median(r.kib);
        std::printf("%-40s %10.1f %9.1f %8.2f %8.2f  %s\n", kCases[c].name, ms, kib / 1024, ms / refMs,
                    kib < 0 ? -1.0 : kib / refKib, qPrintable(r.outcome.left(80)));
    }
    std::printf("(medians of %d runs; ref = %s)\n", reps, kCases[0].name);
    return 0;
}
