#include "shell/DropURLTarget.h"

#include "platform/XdndData.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStringDecoder>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace vl {

namespace {

const QString MozUrl = QStringLiteral("text/x-moz-url");
const QString NetscapeUrl = QStringLiteral("_NETSCAPE_URL");
const QString UriList = QStringLiteral("text/uri-list");

// Browsers write "text/x-moz-url" in UTF-16 of the host's order, mostly
// without a byte-order mark; a few write UTF-8. ASCII in UTF-16 has a zero
// in every other byte, which UTF-8 text never has.
QString decodeLinkText(const QByteArray &bytes)
{
    if (bytes.size() >= 2 && bytes.size() % 2 == 0) {
        const auto b0 = static_cast<unsigned char>(bytes[0]);
        const auto b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE)
            return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
        if (b0 == 0xFE && b1 == 0xFF)
            return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
        if (b1 == 0 && b0 != 0)
            return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
        if (b0 == 0 && b1 != 0)
            return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

// Lines of a link's text, ends of lines in any convention, zeros cut off.
QStringList textLines(QString text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text.split(QChar('\n'));
}

// A web link: its address on the first line, its title on the second.
bool readLinkText(const QByteArray &bytes, DropData &out)
{
    const QStringList lines = textLines(decodeLinkText(bytes));
    const QString address = lines.value(0).trimmed();
    if (address.isEmpty())
        return false;
    out.URL = address;
    out.Title = lines.value(1).trimmed();
    return true;
}

bool readLink(const QMimeData &data, const QByteArray &hiddenLink, DropData &out)
{
    if (!hiddenLink.isEmpty() && readLinkText(hiddenLink, out))
        return true;
    for (const QString &format : {MozUrl, NetscapeUrl}) {
        if (data.hasFormat(format) && readLinkText(data.data(format), out))
            return true;
    }
    return false;
}

// The first entry of a file list, comment lines skipped.
QString firstUri(const QMimeData &data)
{
    if (!data.hasFormat(UriList))
        return {};
    const QStringList lines = textLines(QString::fromUtf8(data.data(UriList)));
    for (const QString &line : lines) {
        const QString entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith(QChar('#')))
            return entry;
    }
    return {};
}

QString localPath(const QString &uri)
{
    const QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile())
        return {};
    QString path = url.toLocalFile();
    // A folder may come with its final slash; its name is the part before.
    while (path.size() > 1 && path.endsWith(QChar('/')))
        path.chop(1);
    return path;
}

// The caption of a dropped file: its name without the endings of link
// files, in any letter case.
QString fileTitle(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QChar('/'));
    QString name = slash >= 0 && path.size() > 1 ? path.mid(slash + 1) : path;
    for (const QString &ending : {QStringLiteral(".lnk"), QStringLiteral(".url"), QStringLiteral(".desktop")}) {
        if (name.size() > ending.size() && name.endsWith(ending, Qt::CaseInsensitive)) {
            name.chop(ending.size());
            break;
        }
    }
    return name;
}

void readFile(const QString &path, DropData &out)
{
    out.FileName = path;
    const qsizetype slash = path.lastIndexOf(QChar('/'));
    out.FilePath = slash >= 0 ? path.left(slash + 1) : QString();
    out.Title = fileTitle(path);
}

// Qt lets a drop answer only an effect its source offers and turns any
// other into the source's own choice: a copy answered to a drag that offers
// nothing but a move (a file manager's with Shift held) would reach the
// source as a move, and it would delete the file the new shortcut points
// at. Such a drag is refused instead.
Qt::DropAction answerable(Qt::DropAction effect, Qt::DropActions possible)
{
    return (effect & possible) ? effect : Qt::IgnoreAction;
}

// Qt counts a file list as text too; only real text counts here.
bool hasPlainText(const QMimeData &data)
{
    const QStringList formats = data.formats();
    return std::any_of(formats.begin(), formats.end(),
                       [](const QString &f) { return f.startsWith(QLatin1String("text/plain")); });
}

} // namespace

Qt::DropAction GetValidDropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed, TDragTypes dragTypes)
{
    Qt::DropActions a;
    if ((dragTypes & dtCopy) && (allowed & Qt::CopyAction))
        a |= Qt::CopyAction;
    if ((dragTypes & dtMove) && (allowed & Qt::MoveAction))
        a |= Qt::MoveAction;
    if ((dragTypes & dtLink) && (allowed & Qt::LinkAction))
        a |= Qt::LinkAction;
    const bool shift = keys & Qt::ShiftModifier;
    const bool ctrl = keys & Qt::ControlModifier;
    if (shift && ctrl && (a & Qt::LinkAction))
        return Qt::LinkAction;
    if (a & Qt::CopyAction)
        return Qt::CopyAction;
    if (a & Qt::LinkAction)
        return Qt::LinkAction;
    if (a & Qt::MoveAction)
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

bool HasValidFormats(const QMimeData &data)
{
    return data.hasFormat(MozUrl) || data.hasFormat(NetscapeUrl) || hasPlainText(data) || data.hasFormat(UriList);
}

DropData DoGetData(const QMimeData &data, const QByteArray &hiddenLink)
{
    DropData out;
    if (readLink(data, hiddenLink, out)) {
        if (out.Title.isEmpty())
            out.Title = out.URL;
        out.fetched = true;
        return out;
    }
    const QString uri = firstUri(data);
    const QString path = localPath(uri);
    if (!path.isEmpty()) {
        readFile(path, out);
        out.fetched = true;
        return out;
    }
    if (hasPlainText(data)) {
        // One line at most: a caption or an address never spans lines. A
        // selection dragged from an editor often begins with a blank line.
        for (const QString &line : textLines(data.text())) {
            const QString text = line.trimmed();
            if (text.isEmpty())
                continue;
            out.URL = text;
            out.Title = text;
            out.fetched = true;
            return out;
        }
    }
    if (!uri.isEmpty()) {
        out.URL = uri;
        out.Title = uri;
        out.fetched = true;
    }
    return out;
}

QPoint dropPosition(QPoint P, QPoint O, int clientHeight)
{
    int top = P.y() - O.y();
    if (P.y() < O.y())
        top = 0;
    if (P.y() > O.y() + clientHeight)
        top = clientHeight - 10;
    return {P.x() - O.x() - 16, top};
}

TDropURLTarget::TDropURLTarget(QObject *parent) : QObject(parent)
{
    ForeignData = [](const QByteArray &format) { return readDragTarget(format); };
}

TDropURLTarget::~TDropURLTarget() { Unregister(); }

void TDropURLTarget::setTargetControl(QWidget *control)
{
    if (control == target_)
        return;
    Unregister();
    target_ = control;
    if (target_) {
        target_->setAcceptDrops(true);
        target_->installEventFilter(this);
    }
}

DropData TDropURLTarget::read(const QDropEvent &event) const
{
    const QMimeData *data = event.mimeData();
    if (!data)
        return {};
    QByteArray hiddenLink;
    // Only a drag from another program can have lost a link's title on
    // the way; one of our own shows its formats as they are.
    if (ForeignData && !event.source() && data->hasFormat(UriList) && !data->hasFormat(MozUrl))
        hiddenLink = ForeignData(MozUrl.toLatin1()).value_or(QByteArray());
    return DoGetData(*data, hiddenLink);
}

void TDropURLTarget::Unregister()
{
    if (target_) {
        target_->removeEventFilter(this);
        target_->setAcceptDrops(false);
    }
    target_ = nullptr;
    holding_ = false;
    data_ = {};
}

bool TDropURLTarget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != target_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto *e = static_cast<QDragEnterEvent *>(event);
        data_ = {};
        holding_ = false;
        if (!e->mimeData() || !HasValidFormats(*e->mimeData()) || (Accepting && !Accepting())) {
            e->ignore();
            return true;
        }
        holding_ = true;
        if (GetDataOnEnter)
            data_ = read(*e);
        const Qt::DropAction effect =
            answerable(GetValidDropEffect(e->modifiers(), e->possibleActions(), Dragtypes), e->possibleActions());
        e->setDropAction(effect);
        e->setAccepted(effect != Qt::IgnoreAction);
        return true;
    }
    case QEvent::DragMove: {
        auto *e = static_cast<QDragMoveEvent *>(event);
        const Qt::DropAction effect =
            holding_ ? answerable(GetValidDropEffect(e->modifiers(), e->possibleActions(), Dragtypes),
                                  e->possibleActions())
                     : Qt::IgnoreAction;
        e->setDropAction(effect);
        e->setAccepted(effect != Qt::IgnoreAction);
        return true;
    }
    case QEvent::DragLeave:
        holding_ = false;
        data_ = {};
        return true;
    case QEvent::Drop: {
        auto *e = static_cast<QDropEvent *>(event);
        if (!holding_ || (Accepting && !Accepting())) {
            holding_ = false;
            e->setDropAction(Qt::IgnoreAction);
            e->ignore();
            return true;
        }
        holding_ = false;
        const Qt::DropAction effect =
            answerable(GetValidDropEffect(e->modifiers(), e->possibleActions(), Dragtypes), e->possibleActions());
        // What a source could not yet give when the pointer entered is
        // asked for once more now.
        DropData data = data_;
        if (!GetDataOnEnter || !data.fetched)
            data = read(*e);
        data_ = {};
        if (effect == Qt::IgnoreAction || !data.fetched) {
            e->setDropAction(Qt::IgnoreAction);
            e->ignore();
            return true;
        }
        e->setDropAction(effect);
        e->accept();
        const QPoint screenPos = target_->mapToGlobal(e->position().toPoint());
        if (OnDrop)
            OnDrop(data, screenPos, effect);
        return true;
    }
    default:
        return false;
    }
}

} // namespace vl
