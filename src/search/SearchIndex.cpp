#include "search/SearchIndex.h"

#include <algorithm>

namespace vl {

namespace {

constexpr int kFields = 4;
constexpr int kSlots = 3;
constexpr std::uint32_t kNoteBit = std::uint32_t(1) << 31;
constexpr std::uint8_t kNoMatch = 0xFF;
// A key orders a match: those that begin a word (0..7) before those inside
// one (8..15), then by field, then those where the field's whole text
// begins with the query (even keys) before the rest.
constexpr std::uint8_t kInsideWord = 2 * kFields;
inline std::uint8_t keyOf(bool inside, std::uint8_t field, bool textStart)
{
    return std::uint8_t((inside ? kInsideWord : 0) + field * 2 + (textStart ? 0 : 1));
}
inline bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
// Earlier queries kept for lengthening and shortening the current one.
constexpr std::size_t kMaxLevels = 24;

// One bit per folded character: letters and digits have bits of their own
// (a field's summary then answers a one-letter query exactly), everything
// else shares the remaining bits (a clear bit still proves absence).
inline bool exactBit(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); }
inline std::uint64_t bitOf(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return std::uint64_t(1) << (c - u'a');
    if (c >= u'0' && c <= u'9')
        return std::uint64_t(1) << (26 + c - u'0');
    return std::uint64_t(1) << (36 + c % 28);
}

inline bool isWordChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
    return c.isLetterOrNumber();
}

inline bool sameText(const QString &a, const QString &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

inline bool sameLines(const QStringList &a, const QStringList &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

QString firstLine(const QStringList &lines)
{
    for (const QString &l : lines) {
        const QString t = l.trimmed();
        if (!t.isEmpty())
            return t;
    }
    return {};
}

// The line of a note that shows why it was found: the one where the first
// match that begins a word begins, else where the first match begins. The
// folded note is its folded lines joined by blanks, as the index folds it.
QString matchingLine(const QStringList &lines, const QString &needle)
{
    QString joined;
    std::vector<std::pair<qsizetype, qsizetype>> starts; // where in joined, which line
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString folded = foldForSearch(lines[i]);
        if (folded.isEmpty())
            continue;
        if (!joined.isEmpty())
            joined += QLatin1Char(' ');
        starts.emplace_back(joined.size(), i);
        joined += folded;
    }
    qsizetype at = -1;
    for (qsizetype p = joined.indexOf(needle); p >= 0; p = joined.indexOf(needle, p + 1)) {
        if (at < 0)
            at = p;
        if (p == 0 || !isWordChar(joined.at(p - 1))) {
            at = p;
            break;
        }
    }
    if (at < 0)
        return firstLine(lines);
    qsizetype line = starts.front().second;
    for (const auto &[from, index] : starts) {
        if (from > at)
            break;
        line = index;
    }
    return lines.at(line).trimmed();
}

struct Needle {
    QString text;
    std::uint64_t all = 0;   // bits of every character
    std::uint64_t first = 0; // bit of the first one
    bool exactOne = false;   // one character whose bit is its own

    explicit Needle(QString folded) : text(std::move(folded))
    {
        for (QChar c : text)
            all |= bitOf(c.unicode());
        first = bitOf(text.at(0).unicode());
        exactOne = text.size() == 1 && exactBit(text.at(0).unicode());
    }
};

} // namespace

QString foldForSearch(QStringView text)
{
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    QString decomposed;
    QStringView source = text;
    if (!ascii) {
        // Folded before decomposing: some foldings bring marks of their own
        // (the capital I with a dot folds to i and a combining dot).
        decomposed = text.toString().toCaseFolded().normalized(QString::NormalizationForm_KD);
        source = decomposed;
    }
    QString out;
    out.reserve(source.size());
    bool blank = false;
    for (QChar c : source) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            if (u == u' ' || (u >= u'\t' && u <= u'\r')) {
                blank = true;
                continue;
            }
        } else {
            const QChar::Category cat = c.category();
            if (cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining || cat == QChar::Mark_Enclosing)
                continue;
            if (c.isSpace()) {
                blank = true;
                continue;
            }
            // The one full folding that matters to Latin text: the sharp s
            // is typed as "ss" at least as often.
            if (u == 0x00DF) {
                if (blank && !out.isEmpty())
                    out.append(QLatin1Char(' '));
                blank = false;
                out.append(QLatin1String("ss"));
                continue;
            }
        }
        if (blank && !out.isEmpty())
            out.append(QLatin1Char(' '));
        blank = false;
        out.append(u >= u'A' && u <= u'Z' ? QChar(u + 32) : c);
    }
    return out;
}

// What a query reads of an element: where its folded texts lie and which
// characters they hold, packed into one cache line. A keystroke walks these
// in order; the heavier Entry is read only for the results shown.
struct alignas(64) SearchIndex::Summary {
    // Where slot 0 begins in the desk's text; the top bit marks a note.
    std::uint32_t start = 0;
    std::uint32_t end[kSlots] = {};       // where slot k ends and slot k + 1 begins
    std::uint64_t present[kSlots] = {};   // bits of the characters in the slot
    std::uint64_t initials[kSlots] = {};  // bits of the characters that begin a word
};

struct SearchIndex::Entry {
    const void *record = nullptr;
    std::uint64_t order = 0;
    bool isNote = false;
    // Copies of the record's texts: they share the record's storage until
    // it changes them, which is how a sync tells what to fold again.
    QString caption, file, command, picture;
    QStringList lines;
};

struct SearchIndex::Desk {
    const Desktop *desktop = nullptr;
    std::vector<Entry> entries;        // in creation order
    std::vector<Summary> sums;         // one per entry
    std::vector<const void *> records; // entries[i].record, packed for the search of reported records
    QString text;                      // every entry's folded slots, one after another
};

struct SearchIndex::Level {
    struct Match {
        std::uint32_t desk;
        std::uint32_t entry;
        std::uint8_t key;
    };
    QString needle;
    std::vector<Match> matches; // on every desktop, shown or not
};

SearchIndex::SearchIndex(const Workspace &ws) : ws_(ws) {}
SearchIndex::~SearchIndex() = default;

void SearchIndex::invalidateQueries() { levels_.clear(); }

void SearchIndex::recordChanged(const void *record)
{
    pending_.insert(record);
    if (onChanged)
        onChanged();
}

void SearchIndex::desktopChanged(const Desktop *d)
{
    if (d)
        dirty_.insert(d);
    if (onChanged)
        onChanged();
}

void SearchIndex::desktopRemoving(const Desktop *d)
{
    // Forgotten by address at once: a desktop made later at the same
    // address is a new one.
    deskAt_.erase(d);
    dirty_.erase(d);
    invalidateQueries();
    if (onChanged)
        onChanged();
}

void SearchIndex::clear()
{
    desks_.clear();
    deskAt_.clear();
    dirty_.clear();
    pending_.clear();
    invalidateQueries();
    built_ = false;
    if (onChanged)
        onChanged();
}

SearchIndex::Desk SearchIndex::buildDesk(const Desktop &d, Desk *previous)
{
    Desk out;
    out.desktop = &d;
    const std::size_t count = d.items.size() + d.notes.size();
    out.entries.reserve(count);
    out.sums.reserve(count);
    out.records.reserve(count);
    out.text.reserve(previous ? previous->text.size() + 64 : qsizetype(count) * 48);

    std::size_t j = 0;
    // The index the record had, if the previous build had it at the same
    // place in creation order (elements only come and go; they never move).
    const auto earlier = [&](const void *record, std::uint64_t order) -> std::ptrdiff_t {
        if (!previous)
            return -1;
        const std::vector<Entry> &old = previous->entries;
        while (j < old.size() && old[j].order < order)
            ++j;
        if (j < old.size() && old[j].order == order && old[j].record == record)
            return std::ptrdiff_t(j);
        return -1;
    };
    const auto addSlot = [&](Summary &sum, int k, const Summary *was, const auto &text) {
        if (was) {
            const std::uint32_t from = k == 0 ? was->start & ~kNoteBit : was->end[k - 1];
            out.text.append(QStringView(previous->text).mid(from, was->end[k] - from));
            sum.present[k] = was->present[k];
            sum.initials[k] = was->initials[k];
        } else {
            const QString folded = foldForSearch(text());
            std::uint64_t present = 0, initials = 0;
            for (qsizetype i = 0; i < folded.size(); ++i) {
                const std::uint64_t bit = bitOf(folded.at(i).unicode());
                present |= bit;
                if (i == 0 || !isWordChar(folded.at(i - 1)))
                    initials |= bit;
            }
            out.text.append(folded);
            sum.present[k] = present;
            sum.initials[k] = initials;
        }
        sum.end[k] = std::uint32_t(out.text.size());
    };

    d.forEachElement(
        [&](const ShortcutItem &item) {
            Entry e;
            e.record = &item;
            e.order = item.creationOrder;
            e.caption = item.Label_Caption;
            e.file = item.AttachedFile;
            e.command = item.CommandString;
            e.picture = item.Picture;
            const std::ptrdiff_t w = earlier(&item, item.creationOrder);
            const Entry *was = w >= 0 ? &previous->entries[std::size_t(w)] : nullptr;
            const Summary *wasSum = w >= 0 ? &previous->sums[std::size_t(w)] : nullptr;
            Summary sum;
            sum.start = std::uint32_t(out.text.size());
            addSlot(sum, 0, was && sameText(was->caption, e.caption) ? wasSum : nullptr,
                    [&] { return QStringView(e.caption); });
            addSlot(sum, 1, was && sameText(was->file, e.file) ? wasSum : nullptr, [&] { return QStringView(e.file); });
            addSlot(sum, 2, was && sameText(was->command, e.command) ? wasSum : nullptr,
                    [&] { return QStringView(e.command); });
            out.sums.push_back(sum);
            out.records.push_back(e.record);
            out.entries.push_back(std::move(e));
        },
        [&](const Note &note) {
            Entry e;
            e.record = &note;
            e.order = note.creationOrder;
            e.isNote = true;
            e.lines = note.Lines;
            const std::ptrdiff_t w = earlier(&note, note.creationOrder);
            const bool same = w >= 0 && sameLines(previous->entries[std::size_t(w)].lines, e.lines);
            e.caption = same ? previous->entries[std::size_t(w)].caption : firstLine(e.lines);
            Summary sum;
            sum.start = std::uint32_t(out.text.size()) | kNoteBit;
            QString joined;
            addSlot(sum, 0, same ? &previous->sums[std::size_t(w)] : nullptr, [&] {
                joined = e.lines.join(QLatin1Char('\n'));
                return QStringView(joined);
            });
            addSlot(sum, 1, nullptr, [] { return QStringView(); });
            addSlot(sum, 2, nullptr, [] { return QStringView(); });
            out.sums.push_back(sum);
            out.records.push_back(e.record);
            out.entries.push_back(std::move(e));
        });
    return out;
}

void SearchIndex::sync()
{
    bool changed = !built_;
    built_ = true;
    if (!pending_.empty()) {
        for (const Desk &desk : desks_) {
            if (dirty_.count(desk.desktop) || !deskAt_.count(desk.desktop))
                continue;
            for (const void *r : desk.records) {
                if (pending_.count(r)) {
                    dirty_.insert(desk.desktop);
                    break;
                }
            }
        }
        pending_.clear();
    }
    const int n = ws_.desktopCount();
    std::vector<Desk> next;
    next.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        const Desktop *d = &ws_.desktop(i);
        const auto at = deskAt_.find(d);
        if (at == deskAt_.end()) {
            next.push_back(buildDesk(*d, nullptr));
            changed = true;
            continue;
        }
        Desk &old = desks_[at->second];
        if (dirty_.count(d)) {
            next.push_back(buildDesk(*d, &old));
            changed = true;
        } else {
            next.push_back(std::move(old));
        }
        if (at->second != std::size_t(i))
            changed = true;
    }
    dirty_.clear();
    changed = changed || next.size() != desks_.size();
    desks_ = std::move(next);
    if (changed) {
        deskAt_.clear();
        for (std::size_t i = 0; i < desks_.size(); ++i)
            deskAt_.emplace(desks_[i].desktop, i);
        invalidateQueries();
    }
}

std::vector<SearchHit> SearchIndex::find(const QString &typed, const std::function<bool(const Desktop &)> &visible,
                                         std::size_t limit, std::size_t *total, std::size_t *leftOut)
{
    if (total)
        *total = 0;
    if (leftOut)
        *leftOut = 0;
    sync();
    QString folded = foldForSearch(typed);
    if (folded.isEmpty())
        return {};
    const Needle q(std::move(folded));

    // A query that contains an earlier one matches only what that one did.
    while (!levels_.empty() && !q.text.contains(levels_.back().needle))
        levels_.pop_back();
    // A plain loop over the field: the fields are short, and a call into a
    // general substring search per field costs more than the scan itself.
    const char16_t *needle = reinterpret_cast<const char16_t *>(q.text.utf16());
    const qsizetype m = q.text.size();
    const char16_t head = needle[0];
    const auto classify = [&](const Desk &desk, const Summary &sum) -> std::uint8_t {
        std::uint8_t best = kNoMatch;
        const char16_t *base = reinterpret_cast<const char16_t *>(desk.text.utf16());
        const bool note = (sum.start & kNoteBit) != 0;
        for (int k = 0; k < kSlots; ++k) {
            if ((sum.present[k] & q.all) != q.all)
                continue;
            const std::uint8_t field = note ? std::uint8_t(FoundIn::NoteText) : std::uint8_t(k);
            const bool mayBegin = (sum.initials[k] & q.first) != 0;
            const char16_t *from = base + (k == 0 ? sum.start & ~kNoteBit : sum.end[k - 1]);
            const char16_t *to = base + sum.end[k];
            if (q.exactOne) {
                if (mayBegin)
                    return keyOf(false, field, from < to && *from == head);
                if (best == kNoMatch)
                    best = keyOf(true, field, false);
                continue;
            }
            if (to - from < m)
                continue;
            const char16_t *last = to - m;
            for (const char16_t *p = from; p <= last; ++p) {
                if (*p != head || !std::equal(needle + 1, needle + m, p + 1))
                    continue;
                if (best == kNoMatch)
                    best = keyOf(true, field, false);
                if (!mayBegin)
                    break;
                if (p == from)
                    return keyOf(false, field, true);
                if (!isWordChar(QChar(p[-1])))
                    return keyOf(false, field, false);
            }
        }
        return best;
    };

    if (levels_.empty() || levels_.back().needle != q.text) {
        Level next;
        next.needle = q.text;
        if (levels_.empty()) {
            for (std::size_t di = 0; di < desks_.size(); ++di) {
                const Desk &desk = desks_[di];
                for (std::size_t ei = 0; ei < desk.sums.size(); ++ei) {
                    const std::uint8_t key = classify(desk, desk.sums[ei]);
                    if (key != kNoMatch)
                        next.matches.push_back({std::uint32_t(di), std::uint32_t(ei), key});
                }
            }
        } else {
            for (const Level::Match &m : levels_.back().matches) {
                const Desk &desk = desks_[m.desk];
                const std::uint8_t key = classify(desk, desk.sums[m.entry]);
                if (key != kNoMatch)
                    next.matches.push_back({m.desk, m.entry, key});
            }
        }
        if (levels_.size() == kMaxLevels)
            levels_.erase(levels_.begin());
        levels_.push_back(std::move(next));
    }

    std::vector<char> shown(desks_.size());
    for (std::size_t i = 0; i < desks_.size(); ++i) {
        shown[i] = visible ? visible(*desks_[i].desktop) : 1;
        if (leftOut && !shown[i])
            ++*leftOut;
    }
    std::vector<Level::Match> matches;
    matches.reserve(levels_.back().matches.size());
    for (const Level::Match &m : levels_.back().matches) {
        if (shown[m.desk])
            matches.push_back(m);
    }
    if (total)
        *total = matches.size();

    // Sorted by a key that settles most comparisons without reading text.
    struct Ranked {
        std::uint64_t caption;
        std::uint8_t key;
        std::uint32_t desk, entry;
    };
    // A caption is slot 0, a note's text its slot 0 too.
    const auto captionOf = [this](std::uint32_t desk, std::uint32_t entry) {
        const Desk &d = desks_[desk];
        const Summary &sum = d.sums[entry];
        const std::uint32_t from = sum.start & ~kNoteBit;
        return QStringView(d.text.constData() + from, sum.end[0] - from);
    };
    std::vector<Ranked> ranked;
    ranked.reserve(matches.size());
    for (const Level::Match &m : matches) {
        // Four characters in order of their code, the first the most
        // significant: comparing keys compares the beginnings as text would.
        // From the first digit on, numbers decide: the key holds a '0' there
        // and nothing after, which orders it against any other character as
        // every digit would, and leaves two numbers to the full comparison.
        const QStringView caption = captionOf(m.desk, m.entry);
        std::uint64_t key = 0;
        bool number = false;
        for (qsizetype i = 0; i < 4; ++i) {
            char16_t c = number || i >= caption.size() ? 0 : caption[i].unicode();
            if (isDigit(c)) {
                c = u'0';
                number = true;
            }
            key = (key << 16) | c;
        }
        ranked.push_back({key, m.key, m.desk, m.entry});
    }
    const auto before = [&](const Ranked &a, const Ranked &b) {
        if (a.key != b.key)
            return a.key < b.key;
        if (a.caption != b.caption)
            return a.caption < b.caption;
        if (const int c = naturalCompare(captionOf(a.desk, a.entry), captionOf(b.desk, b.entry)); c != 0)
            return c < 0;
        if (a.desk != b.desk)
            return a.desk < b.desk;
        return a.entry < b.entry;
    };
    const std::size_t k = std::min(limit, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + std::ptrdiff_t(k), ranked.end(), before);

    std::vector<SearchHit> hits;
    hits.reserve(k);
    for (std::size_t i = 0; i < k; ++i) {
        const Ranked &m = ranked[i];
        const Desk &desk = desks_[m.desk];
        const Entry &e = desk.entries[m.entry];
        SearchHit h;
        h.desktop = desk.desktop;
        h.desktopIndex = int(m.desk);
        h.desktopCaption = desk.desktop->Desktop_Caption;
        if (e.isNote)
            h.note = static_cast<const Note *>(e.record);
        else
            h.item = static_cast<const ShortcutItem *>(e.record);
        h.caption = e.isNote ? matchingLine(e.lines, q.text) : e.caption;
        h.attachedFile = e.file;
        h.picture = e.picture;
        h.field = FoundIn((m.key % kInsideWord) / 2);
        h.wordStart = m.key < kInsideWord;
        hits.push_back(std::move(h));
    }
    return hits;
}

int naturalCompare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char16_t x = a[i].unicode(), y = b[j].unicode();
        if (isDigit(x) && isDigit(y)) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isDigit(a[endA].unicode()))
                ++endA;
            while (endB < b.size() && isDigit(b[endB].unicode()))
                ++endB;
            // Leading zeros say nothing of the value.
            while (i + 1 < endA && a[i] == u'0')
                ++i;
            while (j + 1 < endB && b[j] == u'0')
                ++j;
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            if (const int c = a.mid(i, endA - i).compare(b.mid(j, endB - j)); c != 0)
                return c < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

SearchIndex::Resolved SearchIndex::resolve(Workspace &ws, const SearchHit &hit)
{
    Resolved r;
    const int di = ws.indexOf(hit.desktop);
    if (di < 0)
        return r;
    Desktop &d = ws.desktop(di);
    if (hit.item) {
        const int k = d.indexOfItem(hit.item);
        if (k < 0)
            return r;
        r.item = d.items[std::size_t(k)].get();
    } else {
        const auto it = std::find_if(d.notes.begin(), d.notes.end(), [&](const auto &n) { return n.get() == hit.note; });
        if (it == d.notes.end())
            return r;
        r.note = it->get();
    }
    r.desktop = &d;
    r.desktopIndex = di;
    return r;
}

std::size_t SearchIndex::entryCount() const
{
    std::size_t n = 0;
    for (const Desk &d : desks_)
        n += d.entries.size();
    return n;
}

std::size_t SearchIndex::memoryBytes() const
{
    std::size_t bytes = desks_.capacity() * sizeof(Desk);
    for (const Desk &d : desks_) {
        bytes += d.entries.capacity() * sizeof(Entry) + d.sums.capacity() * sizeof(Summary)
            + d.records.capacity() * sizeof(const void *);
        bytes += std::size_t(d.text.capacity()) * sizeof(QChar);
    }
    for (const Level &l : levels_)
        bytes += l.matches.capacity() * sizeof(Level::Match);
    return bytes;
}

} // namespace vl
