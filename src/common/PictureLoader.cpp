#include "common/PictureLoader.h"

#include "platform/SafeFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace vl {

namespace {

// The picture a decoder hands out, at the size it hands it out.
bool withinLimits(qint64 width, qint64 height)
{
    return width <= kMaxPictureSide && height <= kMaxPictureSide
        && width * height <= kMaxPicturePixels;
}

qint64 shownBytes(qint64 width, qint64 height)
{
    return width * height * 4;
}

QString tooLargeMessage(qint64 width, qint64 height)
{
    return QStringLiteral("Picture too large (%1 x %2 pixels)").arg(width).arg(height);
}

QString implausibleMessage(qint64 width, qint64 height, qint64 bytes)
{
    return QStringLiteral("Picture too large for its file (%1 x %2 pixels in %3 bytes)")
        .arg(width)
        .arg(height)
        .arg(bytes);
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

// libjpeg reads through this, from the open file (never by name). Like libjpeg's own file
// source, it ends a file cut short with a made-up end marker and a warning, and the decoder shows
// grey for what never came.
struct JpegSource
{
    jpeg_source_mgr manager;
    QIODevice *device;
    JOCTET buffer[16384];
};

struct JpegJob
{
    jpeg_decompress_struct info;
    jpeg_error_mgr errorManager;
    jpeg_progress_mgr progress;
    JpegSource source;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int countedScan;     // the last scan whose blocks are in scanBlocks
    qint64 scanBlocks;
};

void jpegInitSource(j_decompress_ptr) {}
void jpegTermSource(j_decompress_ptr) {}

boolean jpegFillInput(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<JpegSource *>(info->src);
    const qint64 got = source->device->read(reinterpret_cast<char *>(source->buffer), sizeof source->buffer);
    if (got <= 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = JOCTET(0xFF);
        source->buffer[1] = JOCTET(JPEG_EOI);
        source->manager.bytes_in_buffer = 2;
    } else {
        source->manager.bytes_in_buffer = size_t(got);
    }
    source->manager.next_input_byte = source->buffer;
    return TRUE;
}

void jpegSkipInput(j_decompress_ptr info, long count)
{
    auto *source = reinterpret_cast<JpegSource *>(info->src);
    while (count > 0) {
        if (source->manager.bytes_in_buffer == 0)
            jpegFillInput(info);
        const long step = std::min(count, long(source->manager.bytes_in_buffer));
        source->manager.next_input_byte += step;
        source->manager.bytes_in_buffer -= size_t(step);
        count -= step;
    }
}

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
bool jpegReadHeader(JpegJob *job, QIODevice *device)
{
    job->info.err = jpeg_std_error(&job->errorManager);
    job->errorManager.error_exit = jpegErrorExit;
    job->errorManager.emit_message = jpegEmitMessage;
    // jpeg_create_decompress clears the struct but keeps err and client_data.
    job->info.client_data = job;
    if (setjmp(job->jump))
        return false;
    jpeg_create_decompress(&job->info);
    // libjpeg-turbo has no backing store: beyond this its big arrays fail to be made instead of
    // swapping the machine. Lowered by the size of the picture before the decode starts.
    job->info.mem->max_memory_to_use = long(kMaxDecodeBytes);
    job->progress.progress_monitor = jpegProgress;
    job->info.progress = &job->progress;
    job->source.device = device;
    job->source.manager.init_source = jpegInitSource;
    job->source.manager.fill_input_buffer = jpegFillInput;
    job->source.manager.skip_input_data = jpegSkipInput;
    job->source.manager.resync_to_restart = jpeg_resync_to_restart;
    job->source.manager.term_source = jpegTermSource;
    job->info.src = &job->source.manager;
    jpeg_read_header(&job->info, TRUE);
    return true;
}

bool jpegCalcOutput(JpegJob *job)
{
    if (setjmp(job->jump))
        return false;
    jpeg_calc_output_dimensions(&job->info);
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

// A file with more than one scan (progressive, or one component a scan) is decoded from a buffer
// of every block's coefficients, 128 bytes a block, whatever the scale it is decoded at.
qint64 jpegCoefficientBytes(const jpeg_decompress_struct &info)
{
    qint64 bytes = 0;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info &c = info.comp_info[i];
        const auto roundUp = [](qint64 blocks, int factor) { return (blocks + factor - 1) / factor * factor; };
        bytes += roundUp(c.width_in_blocks, c.h_samp_factor) * roundUp(c.height_in_blocks, c.v_samp_factor)
            * qint64(sizeof(JBLOCK));
    }
    return bytes;
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

    // Reads the header and checks that the picture is one we can and want to decode, at some
    // scale: whether its natural size is too large for the target decode() gets is told there.
    bool readHeader(QIODevice *device, QString *error)
    {
        if (!jpegReadHeader(&m_job, device)) {
            setError(error, jpegMessage(m_job));
            return false;
        }
        jpeg_decompress_struct &info = m_job.info;
        if (info.image_width > JDIMENSION(kMaxPictureSide) || info.image_height > JDIMENSION(kMaxPictureSide)
            || qint64(info.image_width) * info.image_height > kMaxJpegPixels) {
            setError(error, tooLargeMessage(info.image_width, info.image_height));
            return false;
        }
        m_coefficientBytes = jpeg_has_multiple_scans(&info) ? jpegCoefficientBytes(info) : 0;
        if (m_coefficientBytes > kMaxDecodeBytes) {
            setError(error, QStringLiteral("JPEG: picture too large to decode in several scans (%1 x %2 pixels)")
                                .arg(info.image_width)
                                .arg(info.image_height));
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
        if (!jpegCalcOutput(&m_job)) {
            setError(error, jpegMessage(m_job));
            return {};
        }
        if (!withinLimits(info.output_width, info.output_height)
            || m_coefficientBytes + shownBytes(info.output_width, info.output_height) > kMaxDecodeBytes) {
            setError(error, tooLargeMessage(info.output_width, info.output_height));
            return {};
        }
        info.mem->max_memory_to_use = long(kMaxDecodeBytes - shownBytes(info.output_width, info.output_height));

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
    qint64 m_coefficientBytes = 0;
};

// ---------------------------------------------------------------------------------------------

bool jpegSuffix(const QString &suffix)
{
    return suffix == u"jpg" || suffix == u"jpeg" || suffix == u"jpe" || suffix == u"jfif";
}

// Where a picture's bytes come from: a regular file, opened once and read only through this
// device (a name opened again could be another file by then, or a FIFO).
struct Source
{
    QIODevice &device;
    qint64 size;
    QString suffix; // of the file's name, lower case: the format of last resort
};

bool readAt(QIODevice &device, qint64 pos, char *out, qint64 length)
{
    return device.seek(pos) && device.read(out, length) == length;
}

// ---------------------------------------------------------------------------------------------
// What a file can hold. Some formats bound how many pixels a byte of their data can stand for;
// a header claiming more than its file could ever fill is no picture anybody made, only a request
// for memory, and is refused before any decoder sees it.

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

// libpng reserves and clears the length a chunk claims before it reads the chunk: the text chunk
// of a 71-byte file that claims two gigabytes cost two gigabytes and more than a second, at every
// look-up. So each chunk of a PNG (a whole file, or one held in an icon between start and end)
// must lie within the bytes there are; only the last checksum may be missing, which Qt forgives.
// And the rows the header claims must be within what the image data can inflate to: deflate turns
// one byte into at most 1032.
bool pngFits(QIODevice &device, qint64 start, qint64 end, QString *error)
{
    constexpr qint64 kDeflateMaxRatio = 1032;
    const auto refuse = [&](const QString &why) {
        setError(error, why);
        return false;
    };
    char head[8 + 8 + 13];
    if (!readAt(device, start, head, sizeof head) || std::memcmp(head, kPngSignature, 8) != 0
        || std::memcmp(head + 12, "IHDR", 4) != 0 || qFromBigEndian<quint32>(head + 8) != 13)
        return refuse(QStringLiteral("Unreadable picture header"));
    const quint32 width = qFromBigEndian<quint32>(head + 16);
    const quint32 height = qFromBigEndian<quint32>(head + 20);
    if (!withinLimits(width, height))
        return refuse(tooLargeMessage(width, height));
    static const int kChannels[] = {1, 0, 3, 1, 2, 0, 4}; // by colour type; 0: none such
    const int colourType = uchar(head[25]);
    const int channels = colourType < 7 ? kChannels[colourType] : 0;
    if (channels == 0)
        return refuse(QStringLiteral("Unreadable picture header"));
    const qint64 bitsPerPixel = qint64(channels) * uchar(head[24]);

    qint64 imageData = 0;
    for (qint64 pos = start + 8; pos + 8 <= end;) {
        char chunk[8];
        if (!readAt(device, pos, chunk, 8))
            return refuse(QStringLiteral("Unreadable picture"));
        const quint32 length = qFromBigEndian<quint32>(chunk);
        if (length > end - pos - 8)
            return refuse(QStringLiteral("PNG chunk beyond the end of the file (%1 bytes claimed)").arg(length));
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0)
            imageData += length;
        if (std::memcmp(chunk + 4, "IEND", 4) == 0)
            break;
        pos += 12 + qint64(length);
    }
    // Each row: one filter byte, then the pixels; interlaced files hold more, never less.
    const qint64 rows = qint64(height) * (1 + (qint64(width) * bitsPerPixel + 7) / 8);
    if (rows > imageData * kDeflateMaxRatio)
        return refuse(implausibleMessage(width, height, end - start));
    return true;
}

// Qt makes a GIF's picture as large as its logical screen, however little data follows (its size()
// tells the first frame's instead); the first frame may reach beyond the screen, so the larger of
// the two counts. An LZW code stands for at most 4096 pixels and takes 12 bits at that length, so
// no GIF paints more than 4096 pixels per byte of its file.
bool gifFits(QIODevice &device, qint64 size, QString *error)
{
    constexpr qint64 kLzwMaxPixelsPerByte = 4096;
    char head[13];
    if (!readAt(device, 0, head, sizeof head)) {
        setError(error, QStringLiteral("Unreadable picture header"));
        return false;
    }
    qint64 width = qFromLittleEndian<quint16>(head + 6);
    qint64 height = qFromLittleEndian<quint16>(head + 8);
    const uchar flags = uchar(head[10]);
    qint64 pos = 13 + ((flags & 0x80) ? 3 * (qint64(2) << (flags & 7)) : 0);
    // Extensions (comments, animation control) come before the first frame; each is a chain of
    // blocks that ends with an empty one.
    char block[9];
    while (pos < size && readAt(device, pos, block, 1)) {
        if (block[0] == 0x2c) {
            if (readAt(device, pos + 1, block, 9)) {
                const auto at = [&block](int offset) { return qint64(qFromLittleEndian<quint16>(block + offset)); };
                width = std::max(width, at(0) + at(4));
                height = std::max(height, at(2) + at(6));
            }
            break;
        }
        if (block[0] != 0x21)
            break;
        pos += 2;
        while (pos < size && readAt(device, pos, block, 1) && block[0] != 0)
            pos += 1 + uchar(block[0]);
        pos += 1;
    }
    if (!withinLimits(width, height)) {
        setError(error, tooLargeMessage(width, height));
        return false;
    }
    if (width * height > size * kLzwMaxPixelsPerByte) {
        setError(error, implausibleMessage(width, height, size));
        return false;
    }
    return true;
}

// An icon file may hold whole PNG files among its pictures, which Qt hands to libpng as they are,
// with nothing of ours in between. Qt reads the first picture only; if that is a PNG, it gets the
// PNG checks within its own bytes.
bool iconFits(QIODevice &device, qint64 size, QString *error)
{
    char entry[6 + 16];
    char magic[8];
    if (!readAt(device, 0, entry, sizeof entry) || qFromLittleEndian<quint16>(entry + 4) == 0)
        return true; // no picture at all: Qt's own reader refuses it
    const qint64 bytes = qFromLittleEndian<quint32>(entry + 6 + 8);
    const qint64 offset = qFromLittleEndian<quint32>(entry + 6 + 12);
    if (!readAt(device, offset, magic, sizeof magic) || std::memcmp(magic, kPngSignature, 8) != 0)
        return true;
    return pngFits(device, offset, std::min(size, offset + bytes), error);
}

// Format by format, what the file's own bytes allow; true for the formats that bound nothing.
bool fitsItsFile(const QByteArray &format, Source &source, QString *error)
{
    if (format == "png")
        return pngFits(source.device, 0, source.size, error);
    if (format == "gif")
        return gifFits(source.device, source.size, error);
    if (format == "ico" || format == "cur")
        return iconFits(source.device, source.size, error);
    return true;
}

// ---------------------------------------------------------------------------------------------

// QImageReader's allocation limit is process-wide. For one read at a time it is ours, so that a
// picture within our limits loads whatever it was set to, and a handler that could not tell its
// size before reading still cannot go beyond them. Everything runs on the user-interface thread.
class AllocationLimit
{
public:
    AllocationLimit() : m_previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(int(kMaxPictureBytes >> 20));
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimit(const AllocationLimit &) = delete;
    AllocationLimit &operator=(const AllocationLimit &) = delete;

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

// The pixels two reads into differently filled palette images disagree on were never written;
// they turn grey, which takes the picture out of its palette. Rows are compared whole first, so a
// complete picture costs one pass; the rest goes by bytes and bits, not by pixel calls, so that a
// picture at the size limit that is mostly missing still takes a fraction of a second.
QImage greyWhereUnwritten(const QImage &first, const QImage &second)
{
    const bool mono = first.depth() == 1;
    const bool lsbFirst = first.format() == QImage::Format_MonoLSB;
    QImage result;
    for (int y = 0; y < first.height(); ++y) {
        const uchar *a = first.constScanLine(y);
        const uchar *b = second.constScanLine(y);
        if (std::memcmp(a, b, size_t(first.bytesPerLine())) == 0)
            continue;
        if (result.isNull()) {
            result = first.convertToFormat(first.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            if (result.isNull())
                return first;
        }
        auto *out = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < first.width(); ++x) {
            const bool unwritten = mono ? (((a[x >> 3] ^ b[x >> 3]) >> (lsbFirst ? x & 7 : 7 - (x & 7))) & 1) != 0
                                        : a[x] != b[x];
            if (unwritten)
                out[x] = kMissingGrey;
        }
    }
    return result.isNull() ? first : result;
}

// Qt's BMP reader reports success for a file cut short and leaves the rows it never reached (and
// the pixels an RLE file skips) as it found them: uninitialised memory. So the picture is read
// into a grey image. A palette picture cannot hold grey: it is read twice, into images filled
// with different indices, and what differs turns grey. (Qt clears 4-bit files without
// compression itself; their missing rows show palette colour 0.) The two palette images and the
// grey one together take 6 bytes a pixel, within what a decode may hold.
QImage readBmp(QImageReader &reader, Source &source, QSize size, QString *error)
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
    if (!source.device.seek(0)) {
        setError(error, source.device.errorString());
        return {};
    }
    QImageReader again(&source.device, "bmp");
    second = readInto(again, std::move(second), &reused, error);
    if (second.isNull() || !reused) {
        setError(error, QStringLiteral("The picture changed while it was read"));
        return {};
    }
    return greyWhereUnwritten(first, second);
}

// Reads (or with probeOnly, only checks) a non-JPEG picture. The format is decided by content
// first, so that a PNG called "x.jpg" still loads; the file name's suffix is the fallback for
// formats that carry no signature. A name ending in ".jpg" is not offered to Qt's JPEG plugin:
// its content already failed the JPEG test.
QImage readWithQt(Source &source, QSize target, QString *error, bool probeOnly, bool *ok)
{
    *ok = false;
    QImageReader reader(&source.device);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        if (jpegSuffix(source.suffix) || source.suffix.isEmpty() || !source.device.seek(0)) {
            setError(error, jpegSuffix(source.suffix) ? QStringLiteral("Not a JPEG file") : reader.errorString());
            return {};
        }
        reader.setDevice(&source.device);
        reader.setDecideFormatFromContent(false);
        reader.setFormat(source.suffix.toLatin1());
        if (!reader.canRead()) {
            setError(error, reader.errorString());
            return {};
        }
    }

    // Before the reader reads the header: for PNG that is where a hostile chunk costs.
    if (!fitsItsFile(reader.format(), source, error) || !source.device.seek(0))
        return {};

    // size() is taken from the header; formats that cannot tell it early are left to the
    // allocation limit. A handler that can tell it but answers nothing has refused the header
    // (Qt's BMP reader does so for sizes beyond its own limit).
    AllocationLimit limit;
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
        image = readBmp(reader, source, size, error);
        if (image.isNull())
            return {};
        if (scaled.isValid())
            image = image.scaled(scaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        if (scaled.isValid())
            reader.setScaledSize(scaled);
        image = reader.read();
        if (image.isNull()) {
            setError(error, reader.errorString());
            return {};
        }
    }
    *ok = true;
    return image;
}

QImage loadFrom(Source &source, QSize target, QString *error, bool probeOnly, bool *ok)
{
    *ok = false;
    const QByteArray magic = source.device.peek(3);
    if (magic.size() == 3 && uchar(magic[0]) == 0xff && uchar(magic[1]) == 0xd8 && uchar(magic[2]) == 0xff) {
        JpegDecoder decoder;
        if (!decoder.readHeader(&source.device, error))
            return {};
        if (probeOnly) {
            *ok = true;
            return {};
        }
        QImage image = decoder.decode(target, error);
        *ok = !image.isNull();
        return image;
    }
    return readWithQt(source, target, error, probeOnly, ok);
}

QImage load(const QString &path, QSize target, QString *error, bool probeOnly, bool *ok)
{
    *ok = false;
    QString why;
    const std::unique_ptr<QFile> file = openRegularFile(path, &why);
    if (!file) {
        setError(error, why);
        return {};
    }
    Source source{*file, file->size(), QFileInfo(path).suffix().toLower()};
    return loadFrom(source, target, error, probeOnly, ok);
}

} // namespace

QImage loadPictureData(const QByteArray &bytes, const QString &suffix, QSize target, QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        setError(error, buffer.errorString());
        return {};
    }
    Source source{buffer, buffer.size(), suffix.toLower()};
    bool ok = false;
    return loadFrom(source, target, error, false, &ok);
}

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
