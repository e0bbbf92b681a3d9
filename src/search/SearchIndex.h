#pragma once

#include "model/Model.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vl {

// Text as the search compares it: compatibility decomposition, combining
// marks dropped, case folded, every run of white space one blank, no blanks
// at the ends. "Crème Brûlée" and "CREME  brulee" fold alike.
QString foldForSearch(QStringView text);

// Where a result matched, best first.
enum class FoundIn : std::uint8_t { Caption, File, Command, NoteText };

// One result. The record pointers identify the element; they may be stale
// by the time somebody acts on the result, so whoever does resolves them
// against the workspace first (SearchIndex::resolve).
struct SearchHit {
    const Desktop *desktop = nullptr;
    const ShortcutItem *item = nullptr; // null for a note
    const Note *note = nullptr;
    int desktopIndex = -1;
    QString desktopCaption;
    QString caption; // a note's line where the query matched
    QString attachedFile;
    QString picture;
    FoundIn field = FoundIn::Caption;
    bool wordStart = false; // the text begins a word there (else it lies inside one)
};

// Texts compared as people read numbers in them: "Item 2" before "Item 10". Runs of digits
// compare by their value, everything else character by character.
int naturalCompare(QStringView a, QStringView b);

// Finds shortcuts and notes of every desktop by their texts, as the user
// types. The folded texts of each desktop are kept in one buffer with a
// little summary per field, so that a keystroke scans memory rather than
// records, and a keystroke that only lengthens the query scans only what
// matched before.
//
// The index never reads a record it has not just found in the workspace:
// the owner reports changes (which only mark what to look at again) and
// the next query brings the marked desktops up to date, folding again only
// the fields whose text differs. Desktop captions and order are read anew
// at every query, so renaming or moving a desktop needs no report.
class SearchIndex {
public:
    explicit SearchIndex(const Workspace &ws);
    ~SearchIndex();

    // A shortcut or note whose texts changed, or which is about to be destroyed.
    void recordChanged(const void *record);
    // Elements were added to or removed from the desktop.
    void desktopChanged(const Desktop *d);
    // The desktop is about to be destroyed.
    void desktopRemoving(const Desktop *d);
    // Every desktop is about to be destroyed (a reload, an import).
    void clear();

    // Called after every report, e.g. to refresh a list that is showing.
    std::function<void()> onChanged;

    // The best results for the typed text on the desktops that visible
    // accepts, at most limit of them; total receives how many there are,
    // leftOut how many desktops visible refused.
    // Ranked by: the text beginning a word before lying inside one, then
    // the field (caption, file, command string, note text), then the field
    // beginning with the text before only a word in it doing so, then
    // caption order (numbers by value), then desktop order and creation
    // order.
    std::vector<SearchHit> find(const QString &typed, const std::function<bool(const Desktop &)> &visible,
                                std::size_t limit, std::size_t *total = nullptr, std::size_t *leftOut = nullptr);

    // Whether the hit's element still exists; the live records when it does.
    struct Resolved {
        Desktop *desktop = nullptr;
        int desktopIndex = -1;
        ShortcutItem *item = nullptr;
        Note *note = nullptr;
        explicit operator bool() const { return desktop && (item || note); }
    };
    static Resolved resolve(Workspace &ws, const SearchHit &hit);

    // Brings every desktop up to date now (find does it anyway).
    void sync();
    std::size_t entryCount() const;
    // What the index holds, in bytes (its own buffers, not the shared texts).
    std::size_t memoryBytes() const;

private:
    struct Summary;
    struct Entry;
    struct Desk;
    struct Level;
    Desk buildDesk(const Desktop &d, Desk *previous);
    void invalidateQueries();

    const Workspace &ws_;
    std::vector<Desk> desks_; // in desktop order after a sync
    std::unordered_map<const Desktop *, std::size_t> deskAt_;
    std::unordered_set<const Desktop *> dirty_;
    std::unordered_set<const void *> pending_;
    bool built_ = false;
    std::vector<Level> levels_; // earlier queries the current one lengthens
};

} // namespace vl
