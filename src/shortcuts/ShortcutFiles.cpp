#include "shortcuts/ShortcutFiles.h"

#include "platform/Platform.h"
#include "platform/SafeFile.h"
#include "storage/TextConv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>

namespace vl {

bool IsUrl(QStringView text)
{
    static const char *const prefixes[] = {"file://", "ftp://", "gopher://", "http://", "https://",
                                           "mailto:", "news:",  "telnet:",   "wais:"};
    for (const char *p : prefixes) {
        if (text.startsWith(QLatin1StringView(p), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString folderPart(const QString &path)
{
    if (IsUrl(path) || !path.contains(QLatin1Char('/'))) {
        const qsizetype colon = path.lastIndexOf(QLatin1Char(':'));
        return colon < 0 ? QString() : path.left(colon + 1);
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash == 0)
        return QStringLiteral("/");
    const QChar before = path.at(slash - 1);
    if (before == QLatin1Char('/') || before == QLatin1Char(':'))
        return path.left(slash + 1);
    return path.left(slash);
}

namespace {

// Internet shortcut files come in the ANSI code page of the Windows that
// wrote them, or in UTF-16 or UTF-8 with a byte order mark; UTF-8 without
// one is taken when the bytes are valid as such.
QString decodeText(const QByteArray &bytes)
{
    const auto utf16 = [&bytes](QStringConverter::Encoding encoding) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        return QString(decoder(bytes.mid(2)));
    };
    if (bytes.startsWith("\xFF\xFE"))
        return utf16(QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return utf16(QStringConverter::Utf16BE);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    if (isValidUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size()))))
        return QString::fromUtf8(bytes);
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(windows1252Char(static_cast<unsigned char>(bytes.at(i))));
    return text;
}

// A shell link's target as a path of this system: relative ones are taken
// from the link's own folder (not from wherever this program runs), and
// written with Windows separators when only that spelling names a file.
QString linkTargetPath(const QString &linkFile, const QString &target)
{
    if (target.isEmpty() || QDir::isAbsolutePath(target))
        return target;
    const QDir folder = QFileInfo(linkFile).absoluteDir();
    const QString asWritten = QDir::cleanPath(folder.absoluteFilePath(target));
    if (QFileInfo::exists(asWritten) || !target.contains(QLatin1Char('\\')))
        return asWritten;
    QString separated = target;
    separated.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(folder.absoluteFilePath(separated));
}

} // namespace

QString ReadUrlFile(const QString &path)
{
    // An Internet shortcut is a few lines: a larger file is no shortcut and is not read whole,
    // and a FIFO or a device is refused without waiting for it.
    constexpr qint64 kMaxUrlFileBytes = 1 << 20;
    const std::optional<QByteArray> bytes = tryReadRegularFile(path, kMaxUrlFileBytes);
    if (!bytes)
        return path;
    const QString text = decodeText(*bytes);
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (line.left(eq).compare(QLatin1String("URL"), Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).toString();
    }
    return QString();
}

bool hasExtension(const QString &path, QStringView ext) { return path.endsWith(ext, Qt::CaseInsensitive); }

void AttachFile(ShortcutItem &item, const QString &text, Platform &platform)
{
    item.AttachedFile = text;
    // The extension is tested first: loading attaches a hundred thousand
    // files, and only shortcut files are worth a look at the disk.
    if (hasExtension(item.AttachedFile, u".url") && QFileInfo(item.AttachedFile).isFile())
        item.AttachedFile = ReadUrlFile(item.AttachedFile);
    if (hasExtension(item.AttachedFile, u".lnk") && QFileInfo(item.AttachedFile).isFile()) {
        if (const auto link = platform.readLink(item.AttachedFile)) {
            const QString target = linkTargetPath(item.AttachedFile, link->path);
            if (IsInInstallerFolder(target)) {
                item.CommandString = link->arguments;
            } else if (!target.isEmpty() && QFileInfo(target).isFile()) {
                item.AttachedFile = target;
                item.CommandString = link->arguments;
            }
        }
    }
}

BrowserCommand SplitBrowserCommand(const QString &commandLine)
{
    BrowserCommand out;
    QStringList words = QProcess::splitCommand(commandLine);
    // Desktop-entry field codes stand for files and URLs; the address is
    // added by the caller instead.
    static const QRegularExpression fieldCode(QStringLiteral("^%[fFuUdDnNickvm%]$"));
    words.erase(std::remove_if(words.begin(), words.end(),
                               [](const QString &w) { return fieldCode.match(w).hasMatch(); }),
                words.end());
    if (words.isEmpty())
        return out;
    out.program = words.takeFirst();
    out.arguments = words;
    const QString name = QFileInfo(out.program).fileName().toLower();
    static const char *const withNewWindow[] = {"firefox", "chromium", "chrome", "google-chrome", "brave", "vivaldi",
                                                "microsoft-edge", "opera", "epiphany", "falkon", "librewolf",
                                                "waterfox", "iceweasel", "midori"};
    for (const char *b : withNewWindow) {
        if (name.startsWith(QLatin1String(b))) {
            out.newWindowSwitch = QStringLiteral("--new-window");
            break;
        }
    }
    return out;
}

} // namespace vl
