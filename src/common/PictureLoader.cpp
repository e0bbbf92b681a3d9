#include "common/PictureLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace vl {

namespace {

bool withinLimits(qint64 width, qint64 height)
{
    return width <= kMaxPictureSide && height <= kMaxPictureSide
        && width * height <= kMaxPicturePixels;
}

QString tooLargeMessage(qint64 width, qint64 height)
{
    return QStringLiteral("Picture too large (%1 x %2 pixels)").arg(width).arg(height);
}

QString noMemoryMessage(qint64 width, qint64 height)
{
    return QStringLiteral("Not enough memory for a picture of %1 x %2 pixels").arg(width).arg(height);
}

void setError(QString *error, const QString &message)
{
    if (error)
        *error = message;
}

// ---------------------------------------------------------------------------------------------
// libjpeg reports fatal errors through error_exit, which must not return. It longjmps back to the
// setjmp in whichever of the jpeg* functions below is running. Those functions are written in
// plain C style: no C++ object with a destructor lives in their frames, and everything that must
// survive the jump is stored in the JpegJob, never in a local variable. Each of them arms its own
// setjmp, because a jmp_buf is dead once the function that filled it has returned.

// A progressive file may hold any number of scans, each of which makes libjpeg walk every block
// of its components again; a small hostile file can keep it busy for minutes.
constexpr int kMaxJpegScans = 500;

// So the work is bounded too, in blocks walked over all scans (an 8 x 8 block of one component
// counts once for each scan that holds it), whatever the scan count. The cheapest scans cost
// 20 to 50 ns a block on a modest machine, so a hostile file is stopped after well under a
// second of scans (the first touch of a large coefficient buffer comes on top).
// An 8000 x 6000 progressive photo in the usual ten scans needs 6 million (chroma halved) to
// 10.5 million (full chroma); a single-scan file of the largest size we accept at most 12.5
// million (four components), so only multi-scan files can ever reach the budget.
constexpr qint64 kMaxJpegScanBlocks = 16'000'000;

// libjpeg-turbo has no backing store, so this caps the coefficient buffer of progressive files
// (and libjpeg's other big arrays): beyond it the decode fails instead of swapping the machine.
constexpr long kMaxJpegWorkMemory = 1L << 30;

struct JpegJob
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errorManager;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int countedScan;     // the last scan whose blocks are in scanBlocks
    qint64 scanBlocks;
};

[[noreturn]] void jpegFail(JpegJob *job)
{
    std::longjmp(job->jump, 1);
}

[[noreturn]] void jpegErrorExit(j_common_ptr common)
{
    auto *job = static_cast<JpegJob *>(common->client_data);
    (*common->err->format_message)(common, job->message);
    jpegFail(job);
}

// The default prints warnings and trace output to stderr. Warnings (msg_level < 0) are recoverable
// by design: a file cut short ("Premature end of JPEG file") or with damaged entropy data still
// gives a complete picture, partly grey or smeared, so they are only counted.
void jpegEmitMessage(j_common_ptr common, int msgLevel)
{
    if (msgLevel < 0)
        ++common->err->num_warnings;
}

qint64 jpegBlocks(const jpeg_component_info &component)
{
    return qint64(component.width_in_blocks) * component.height_in_blocks;
}

// libjpeg calls this before each step of reading input (and for each output row). A new scan
// number means that scan's header has just been read and none of its data yet, so the budget
// is checked before the scan costs anything.
void jpegProgress(j_common_ptr common)
{
    auto *info = reinterpret_cast<j_decompress_ptr>(common);
    auto *job = static_cast<JpegJob *>(common->client_data);
    if (info->input_scan_number == job->countedScan)
        return;
    job->countedScan = info->input_scan_number;
    if (info->input_scan_number > kMaxJpegScans) {
        std::snprintf(job->message, sizeof job->message, "Too many scans in progressive JPEG");
        jpegFail(job);
    }
    for (int i = 0; i < info->comps_in_scan; ++i)
        job->scanBlocks += jpegBlocks(*info->cur_comp_info[i]);
    if (job->scanBlocks > kMaxJpegScanBlocks) {
        std::snprintf(job->message, sizeof job->message,
                      "Too many scans for a progressive JPEG of %u x %u pixels",
                      unsigned(info->image_width), unsigned(info->image_height));
        jpegFail(job);
    }
}

// The job must be zero-initialised: jpeg_destroy_decompress then is safe whatever happened here.
bool jpegReadHeader(JpegJob *job, FILE *file)
{
    job->info.err = jpeg_std_error(&job->errorManager);
    job->errorManager.error_exit = jpegErrorExit;
    job->errorManager.emit_message = jpegEmitMessage;
    // jpeg_create_decompress clears the struct but keeps err and client_data.
    job->info.client_data = job;
    if (setjmp(job->jump))
        return false;
    jpeg_create_decompress(&job->info);
    job->info.mem->max_memory_to_use = kMaxJpegWorkMemory;
    job->progress.progress_monitor = jpegProgress;
    job->info.progress = &job->progress;
    jpeg_stdio_src(&job->info, file);
    jpeg_read_header(&job->info, TRUE);
    return true;
}

// For a progressive file this reads all scans, so it is the costly part.
bool jpegStart(JpegJob *job)
{
    if (setjmp(job->jump))
        return false;
    jpeg_start_decompress(&job->info);
    return true;
}

// Colour from CMYK as libjpeg hands it out. Files with an Adobe marker (Photoshop and libjpeg's
// own writer add one to every CMYK or YCCK file) store the components inverted, 255 meaning no
// ink; without the marker 255 means full ink.
void cmykToRgb32(const JSAMPLE *in, unsigned char *out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        const unsigned r = (c * k + 127) / 255;
        const unsigned g = (m * k + 127) / 255;
        const unsigned b = (y * k + 127) / 255;
        const quint32 pixel = 0xff000000u | (r << 16) | (g << 8) | b;
        std::memcpy(out, &pixel, sizeof pixel);
    }
}

// Writes the rows straight into the destination (rows bytesPerLine apart), except for CMYK,
// which goes through one row of libjpeg's own pool memory and is converted into RGB32.
// jpeg_finish_decompress is not called: it only checks what follows the last row, and a picture
// that is complete should not fail on trailing damage.
bool jpegReadRows(JpegJob *job, unsigned char *bits, std::ptrdiff_t bytesPerLine, bool cmyk)
{
    if (setjmp(job->jump))
        return false;
    j_decompress_ptr info = &job->info;
    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                             info->output_width * 4, 1);
    const bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        unsigned char *line = bits + bytesPerLine * std::ptrdiff_t(info->output_scanline);
        if (cmyk) {
            if (jpeg_read_scanlines(info, cmykRow, 1) == 1)
                cmykToRgb32(cmykRow[0], line, info->output_width, inverted);
        } else {
            JSAMPROW row = line;
            jpeg_read_scanlines(info, &row, 1);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

// libjpeg scales by n/8 during the inverse DCT, rounding the output size up. The smallest n whose
// output still covers target in both directions saves the most work and memory, and what is
// stretched to target from there is shrunk, never enlarged.
int jpegScaleNumerator(JDIMENSION width, JDIMENSION height, QSize target)
{
    if (target.isEmpty())
        return 8;
    const auto scaled = [](JDIMENSION size, int n) { return (qint64(size) * n + 7) / 8; };
    for (int n = 1; n < 8; ++n) {
        if (scaled(width, n) >= target.width() && scaled(height, n) >= target.height())
            return n;
    }
    return 8;
}

QString jpegMessage(const JpegJob &job)
{
    return QStringLiteral("JPEG: %1").arg(QString::fromLocal8Bit(job.message));
}

class StdioFile
{
public:
    explicit StdioFile(const QString &path)
        : m_file(std::fopen(QFile::encodeName(path).constData(), "rb"))
    {
    }
    ~StdioFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    StdioFile(const StdioFile &) = delete;
    StdioFile &operator=(const StdioFile &) = delete;
    FILE *get() const { return m_file; }

private:
    FILE *m_file;
};

bool startsLikeJpeg(FILE *file)
{
    unsigned char magic[3] = {};
    const bool jpeg = std::fread(magic, 1, 3, file) == 3 && magic[0] == 0xff && magic[1] == 0xd8
        && magic[2] == 0xff;
    std::rewind(file);
    return jpeg;
}

// Owns the libjpeg state; the jpeg* functions above never release anything themselves, so this
// is the single place where a failed or finished decode is cleaned up.
class JpegDecoder
{
public:
    JpegDecoder() { std::memset(&m_job, 0, sizeof m_job); }
    ~JpegDecoder() { jpeg_destroy_decompress(&m_job.info); }
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;

    // Reads the header and checks that the picture is one we can and want to decode.
    bool readHeader(FILE *file, QString *error)
    {
        if (!jpegReadHeader(&m_job, file)) {
            setError(error, jpegMessage(m_job));
            return false;
        }
        const jpeg_decompress_struct &info = m_job.info;
        if (!withinLimits(info.image_width, info.image_height)) {
            setError(error, tooLargeMessage(info.image_width, info.image_height));
            return false;
        }
        // The scan count is only known while decoding, but every progressive file walks each
        // block at least twice: once for its DC coefficient, once more for the others (which
        // come one component a scan). A picture too large even for that is refused here, by the
        // probe too, before the coefficient buffer is reserved.
        if (info.progressive_mode) {
            qint64 blocks = 0;
            for (int i = 0; i < info.num_components; ++i)
                blocks += jpegBlocks(info.comp_info[i]);
            if (2 * blocks > kMaxJpegScanBlocks) {
                setError(error, QStringLiteral("JPEG: progressive picture too large to decode (%1 x %2 pixels)")
                                    .arg(info.image_width)
                                    .arg(info.image_height));
                return false;
            }
        }
        switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
        case JCS_CMYK:
        case JCS_YCCK:
            return true;
        default:
            setError(error, QStringLiteral("JPEG: unsupported colour space (%1 components)")
                                .arg(info.num_components));
            return false;
        }
    }

    QImage decode(QSize target, QString *error)
    {
        jpeg_decompress_struct &info = m_job.info;
        const bool gray = info.jpeg_color_space == JCS_GRAYSCALE;
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        if (gray)
            info.out_color_space = JCS_GRAYSCALE;
        else if (cmyk)
            info.out_color_space = JCS_CMYK;
        else
            // Straight into QImage::Format_RGB32, which is a native-endian 0xffRRGGBB word;
            // libjpeg-turbo fills the X byte with 0xff.
            info.out_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
        info.scale_num = jpegScaleNumerator(info.image_width, info.image_height, target);
        info.scale_denom = 8;

        if (!jpegStart(&m_job)) {
            setError(error, jpegMessage(m_job));
            return {};
        }
        QImage image(int(info.output_width), int(info.output_height),
                     gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        if (image.isNull()) {
            setError(error, noMemoryMessage(info.output_width, info.output_height));
            return {};
        }
        if (!jpegReadRows(&m_job, image.bits(), image.bytesPerLine(), cmyk)) {
            setError(error, jpegMessage(m_job));
            return {};
        }
        return image;
    }

private:
    JpegJob m_job;
};

// ---------------------------------------------------------------------------------------------

bool jpegSuffix(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe" || suffix == u"jfif";
}

// QImageReader's allocation limit is process-wide and lower than what our own limits accept for
// pictures we have already measured (a 9000 x 9000 PNG is a plausible wallpaper). It is lifted
// for one read at a time; everything runs on the user-interface thread.
class AllocationLimitLift
{
public:
    explicit AllocationLimitLift(QSize size) : m_previous(QImageReader::allocationLimit())
    {
        if (m_previous == 0 || !size.isValid())
            return;
        const qint64 neededMb = (qint64(size.width()) * size.height() * 4 >> 20) + 1;
        if (neededMb > m_previous)
            QImageReader::setAllocationLimit(int(neededMb));
    }
    ~AllocationLimitLift() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimitLift(const AllocationLimitLift &) = delete;
    AllocationLimitLift &operator=(const AllocationLimitLift &) = delete;

private:
    int m_previous;
};

// What the missing part of a picture cut short shows, as libjpeg shows it for a JPEG.
constexpr QRgb kMissingGrey = qRgb(128, 128, 128);

// Reads into the given image. Qt 6.4's BMP reader writes into an image it is handed when size and
// format match what the file holds, so whatever the reader leaves untouched keeps what the image
// held before. Sets *reused to whether that happened; when it did not, the reader made an image
// of its own and nothing is known about pixels it did not write. The image must not be shared,
// or the first write would detach it.
QImage readInto(QImageReader &reader, QImage image, bool *reused, QString *error)
{
    *reused = false;
    const uchar *const before = image.constBits();
    if (!reader.read(&image)) {
        setError(error, reader.errorString());
        return {};
    }
    *reused = image.constBits() == before;
    return image;
}

// The pixels two reads into differently filled images disagree on were never written; they
// turn grey, which takes the picture out of its palette. Rows are compared whole first, so a
// complete picture costs one pass.
QImage greyWhereUnwritten(const QImage &first, const QImage &second)
{
    QImage result;
    for (int y = 0; y < first.height(); ++y) {
        if (std::memcmp(first.constScanLine(y), second.constScanLine(y), size_t(first.bytesPerLine())) == 0)
            continue;
        for (int x = 0; x < first.width(); ++x) {
            if (first.pixelIndex(x, y) == second.pixelIndex(x, y))
                continue;
            if (result.isNull()) {
                result = first.convertToFormat(first.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                       : QImage::Format_RGB32);
                if (result.isNull())
                    return first;
            }
            result.setPixel(x, y, kMissingGrey);
        }
    }
    return result.isNull() ? first : result;
}

// Qt's BMP reader reports success for a file cut short and leaves the rows it never reached (and
// the pixels an RLE file skips) as it found them: uninitialised memory. So the picture is read
// into a grey image. A palette picture cannot hold grey: it is read twice, into images filled
// with different indices, and what differs turns grey. (Qt clears 4-bit files without
// compression itself; their missing rows show palette colour 0.)
QImage readBmp(QImageReader &reader, QSize size, QString *error)
{
    const QImage::Format format = reader.imageFormat();
    if (format == QImage::Format_Invalid) {
        QImage image = reader.read();
        if (image.isNull())
            setError(error, reader.errorString());
        return image;
    }
    QImage first(size, format);
    if (first.isNull()) {
        setError(error, noMemoryMessage(size.width(), size.height()));
        return {};
    }
    const bool palette = format == QImage::Format_Indexed8 || format == QImage::Format_Mono
        || format == QImage::Format_MonoLSB;
    if (palette)
        first.fill(0u); // index 0
    else
        first.fill(QColor(kMissingGrey));
    bool reused = false;
    first = readInto(reader, std::move(first), &reused, error);
    if (first.isNull() || !reused || !palette)
        return first;

    QImage second(size, format);
    if (second.isNull()) {
        setError(error, noMemoryMessage(size.width(), size.height()));
        return {};
    }
    second.fill(~0u); // index 255, or every bit set
    QImageReader again(reader.fileName(), "bmp");
    second = readInto(again, std::move(second), &reused, error);
    if (second.isNull() || !reused) {
        // The file changed between the reads: no telling which pixels are real.
        setError(error, QStringLiteral("The picture changed while it was read"));
        return {};
    }
    return greyWhereUnwritten(first, second);
}

// Reads (or with probeOnly, only checks) a non-JPEG picture. The format is decided by content
// first, so that a PNG called "x.jpg" still loads; the file name's suffix is the fallback for
// formats that carry no signature. A name ending in ".jpg" is not offered to Qt's JPEG plugin:
// its content already failed the JPEG test.
QImage readWithQt(const QString &path, QSize target, QString *error, bool probeOnly, bool *ok)
{
    *ok = false;
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        if (jpegSuffix(path)) {
            setError(error, QStringLiteral("Not a JPEG file"));
            return {};
        }
        reader.setDecideFormatFromContent(false);
        reader.setFileName(path);
        if (!reader.canRead()) {
            setError(error, reader.errorString());
            return {};
        }
    }

    // size() is taken from the header; formats that cannot tell it early are left to Qt's own
    // allocation limit. A handler that can tell it but answers nothing has refused the header
    // (Qt's BMP reader does so for sizes beyond its own limit).
    const QSize size = reader.size();
    if (!size.isValid() && reader.supportsOption(QImageIOHandler::Size)) {
        setError(error, QStringLiteral("Unreadable picture header"));
        return {};
    }
    if (size.isValid() && !withinLimits(size.width(), size.height())) {
        setError(error, tooLargeMessage(size.width(), size.height()));
        return {};
    }
    if (probeOnly) {
        *ok = true;
        return {};
    }

    // Only when the picture exceeds target in both directions, and then never below it, with the
    // aspect ratio kept: the result is stretched to target anyway, so this only saves memory.
    QSize scaled;
    if (size.isValid() && !target.isEmpty() && size.width() > target.width()
        && size.height() > target.height())
        scaled = size.scaled(target, Qt::KeepAspectRatioByExpanding);

    QImage image;
    if (reader.format() == "bmp" && size.isValid()) {
        // Scaled here rather than by the reader, which would hand back a copy of the filled image.
        {
            AllocationLimitLift lift(size);
            image = readBmp(reader, size, error);
        }
        if (image.isNull())
            return {};
        if (scaled.isValid())
            image = image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        if (scaled.isValid())
            reader.setScaledSize(scaled);
        {
            AllocationLimitLift lift(size);
            image = reader.read();
        }
        if (image.isNull()) {
            setError(error, reader.errorString());
            return {};
        }
    }
    *ok = true;
    return image;
}

QImage load(const QString &path, QSize target, QString *error, bool probeOnly, bool *ok)
{
    *ok = false;
    {
        StdioFile file(path);
        if (!file.get()) {
            setError(error, qt_error_string(errno));
            return {};
        }
        if (startsLikeJpeg(file.get())) {
            JpegDecoder decoder;
            if (!decoder.readHeader(file.get(), error))
                return {};
            if (probeOnly) {
                *ok = true;
                return {};
            }
            QImage image = decoder.decode(target, error);
            *ok = !image.isNull();
            return image;
        }
    }
    return readWithQt(path, target, error, probeOnly, ok);
}

} // namespace

QImage loadPicture(const QString &path, QSize target, QString *error)
{
    bool ok = false;
    return load(path, target, error, false, &ok);
}

bool canDecodePicture(const QString &path)
{
    bool ok = false;
    load(path, QSize(), nullptr, true, &ok);
    return ok;
}

QRect pictureRect(QSize picture, QSize page, bool center, bool stretch)
{
    if (picture.isEmpty())
        return {};
    if (stretch)
        return QRect(QPoint(0, 0), page);
    if (center)
        // Integer division truncates toward zero, also for pictures larger than the page.
        return QRect(QPoint((page.width() - picture.width()) / 2,
                            (page.height() - picture.height()) / 2),
                     picture);
    return QRect(QPoint(0, 0), picture);
}

} // namespace vl
