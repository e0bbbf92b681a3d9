#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QDropEvent;
class QMimeData;
class QWidget;

namespace vl {

// The effects a drop target may ever grant.
enum TDragType : unsigned { dtCopy = 1, dtMove = 2, dtLink = 4 };
using TDragTypes = unsigned;

// Answers a drag's effect from the keys held and what the source allows:
// link with Shift+Ctrl when allowed, else copy, else link. A drop only ever
// makes a shortcut and never takes the data over, so move is not granted:
// a source that allows move (Shift alone, or move only) is answered copy,
// which no source takes as leave to delete its original.
Qt::DropAction GetValidDropEffect(Qt::KeyboardModifiers keys, Qt::DropActions allowed, TDragTypes dragTypes);

// What one drop carries, in the order a drop prefers it:
//  1. a web link: "text/x-moz-url" (address and title, UTF-16 from most
//     browsers) or "_NETSCAPE_URL";
//  2. plain text: its first line that is not blank;
//  3. a file list ("text/uri-list"): its first entry only, comment lines
//     skipped; file URIs become local paths, other schemes stay addresses.
// A file manager offers its list as plain text too; that text is the same
// list, so a list whose first entry is a local file wins over it.
struct DropData {
    QString URL;      // an address or text; empty for a local file
    QString Title;    // the caption of the new shortcut
    QString FilePath; // folder of the first dropped file, with its final slash
    QString FileName; // the first dropped file
    bool fetched = false;

    // What the new shortcut points at.
    QString file() const { return URL.isEmpty() ? FileName : URL; }
};

// True when the data offers a format a drop understands.
bool HasValidFormats(const QMimeData &data);
// Reads a drop. Every field starts empty, so a drop that fails to read
// never takes a file from the drop before it. hiddenLink: the source's
// "text/x-moz-url" as it sent it, where the toolkit shows that format only
// as a file list (see ForeignData); it counts as that format.
DropData DoGetData(const QMimeData &data, const QByteArray &hiddenLink = {});

// Where a dropped shortcut goes: 16 pixels left of the pointer P, at its
// height, with the top kept on the desktop: 0 above it, and 10 pixels above
// its bottom below it. The left is never corrected. O is the screen
// position of the desktop's client origin.
QPoint dropPosition(QPoint P, QPoint O, int clientHeight);

// Receives drops over a whole window: the window and every child that does
// not take drops itself. The data is read when the pointer enters, so a
// drag the program cannot use shows the no-drop cursor at once.
class TDropURLTarget : public QObject {
    Q_OBJECT
public:
    explicit TDropURLTarget(QObject *parent = nullptr);
    ~TDropURLTarget() override;

    TDragTypes Dragtypes = dtCopy | dtMove | dtLink;
    bool GetDataOnEnter = true;

    // Reads one format of a drag from another program straight from its
    // source; asked for "text/x-moz-url" when the drag shows a file list
    // and no link, since X11's toolkit folds a link into a list and drops
    // its title. Reads the X11 drag selection unless replaced.
    std::function<std::optional<QByteArray>(const QByteArray &format)> ForeignData;

    // Called once per drop, from inside the drop event, with what the drop
    // carried, the pointer's screen position and the effect granted. The
    // drag's source waits until it returns: a handler that may ask a
    // question defers its work to a later turn of the event loop.
    std::function<void(const DropData &, QPoint screenPos, Qt::DropAction)> OnDrop;
    // Whether drops are taken at all now (unset: always). Asked when a drag
    // enters and again at its drop; a refused drag shows the "no" pointer.
    std::function<bool()> Accepting;

    QWidget *TargetControl() const { return target_; }
    void setTargetControl(QWidget *control);
    void Unregister();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DropData read(const QDropEvent &event) const;

    QPointer<QWidget> target_;
    bool holding_ = false;
    DropData data_;
};

} // namespace vl
