#include "search/SearchIndex.h"

#include <algorithm>

namespace vl {

namespace {

constexpr int kFields = 4;
constexpr std::uint8_t kNoMatch = 0xFF;
// A key is rank * kFields + field: 0..3 begin a word, 4..7 lie inside one.
constexpr std::uint8_t kInsideWord = kFields;
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

struct SearchIndex::Entry {
    const void *record = nullptr;
    std::uint64_t order = 0;
    bool isNote = false;
    // Copies of the record's texts: they share the record's storage until
    // it changes them, which is how a sync tells what to fold again.
    QString caption, file, command, picture;
    QStringList lines;
    std::uint32_t start[kFields + 1] = {}; // field f is text[start[f], start[f + 1])
    std::uint64_t present[kFields] = {};   // bits of the characters in the field
    std::uint64_t initials[kFields] = {};  // bits of the characters that begin a word
};

struct SearchIndex::Desk {
    const Desktop *desktop = nullptr;
    std::vector<Entry> entries; // in creation order
    std::vector<const void *> records; // entries[i].record, packed for the search of reported records
    QString text;               // every entry's folded fields, one after another
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
    out.records.reserve(count);
    out.text.reserve(previous ? previous->text.size() + 64 : qsizetype(count) * 48);

    const std::vector<Entry> *old = previous ? &previous->entries : nullptr;
    std::size_t j = 0;
    // The entry the record had, if the previous build had it at the same
    // place in creation order (elements only come and go; they never move).
    const auto earlier = [&](const void *record, std::uint64_t order) -> const Entry * {
        if (!old)
            return nullptr;
        while (j < old->size() && (*old)[j].order < order)
            ++j;
        if (j < old->size() && (*old)[j].order == order && (*old)[j].record == record)
            return &(*old)[j];
        return nullptr;
    };
    const auto addField = [&](Entry &e, int f, const Entry *was, bool same, const auto &text) {
        e.start[f] = std::uint32_t(out.text.size());
        if (was && same) {
            out.text.append(QStringView(previous->text).mid(was->start[f], was->start[f + 1] - was->start[f]));
            e.present[f] = was->present[f];
            e.initials[f] = was->initials[f];
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
            e.present[f] = present;
            e.initials[f] = initials;
        }
        e.start[f + 1] = std::uint32_t(out.text.size());
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
            const Entry *was = earlier(&item, item.creationOrder);
            addField(e, 0, was, was && sameText(was->caption, e.caption), [&] { return QStringView(e.caption); });
            addField(e, 1, was, was && sameText(was->file, e.file), [&] { return QStringView(e.file); });
            addField(e, 2, was, was && sameText(was->command, e.command), [&] { return QStringView(e.command); });
            addField(e, 3, nullptr, false, [] { return QStringView(); });
            out.records.push_back(e.record);
            out.entries.push_back(std::move(e));
        },
        [&](const Note &note) {
            Entry e;
            e.record = &note;
            e.order = note.creationOrder;
            e.isNote = true;
            e.lines = note.Lines;
            const Entry *was = earlier(&note, note.creationOrder);
            const bool same = was && sameLines(was->lines, e.lines);
            e.caption = same ? was->caption : firstLine(e.lines);
            for (int f = 0; f < 3; ++f)
                addField(e, f, nullptr, false, [] { return QStringView(); });
            QString joined;
            addField(e, 3, was, same, [&] {
                joined = e.lines.join(QLatin1Char('\n'));
                return QStringView(joined);
            });
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
                                         std::size_t limit, std::size_t *total)
{
    if (total)
        *total = 0;
    sync();
    QString folded = foldForSearch(typed);
    if (folded.isEmpty())
        return {};
    const Needle q(std::move(folded));

    // A query that contains an earlier one matches only what that one did.
    while (!levels_.empty() && !q.text.contains(levels_.back().needle))
        levels_.pop_back();
    const auto classify = [&](const Desk &desk, const Entry &e) -> std::uint8_t {
        std::uint8_t best = kNoMatch;
        for (int f = 0; f < kFields; ++f) {
            if ((e.present[f] & q.all) != q.all)
                continue;
            const bool mayBegin = (e.initials[f] & q.first) != 0;
            if (q.exactOne) {
                if (mayBegin)
                    return std::uint8_t(f);
                if (best == kNoMatch)
                    best = std::uint8_t(kInsideWord + f);
                continue;
            }
            const QStringView span(desk.text.constData() + e.start[f], e.start[f + 1] - e.start[f]);
            qsizetype pos = span.indexOf(q.text);
            if (pos < 0)
                continue;
            if (best == kNoMatch)
                best = std::uint8_t(kInsideWord + f);
            if (!mayBegin)
                continue;
            for (; pos >= 0; pos = span.indexOf(q.text, pos + 1)) {
                if (pos == 0 || !isWordChar(span.at(pos - 1)))
                    return std::uint8_t(f);
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
                for (std::size_t ei = 0; ei < desk.entries.size(); ++ei) {
                    const std::uint8_t key = classify(desk, desk.entries[ei]);
                    if (key != kNoMatch)
                        next.matches.push_back({std::uint32_t(di), std::uint32_t(ei), key});
                }
            }
        } else {
            for (const Level::Match &m : levels_.back().matches) {
                const Desk &desk = desks_[m.desk];
                const std::uint8_t key = classify(desk, desk.entries[m.entry]);
                if (key != kNoMatch)
                    next.matches.push_back({m.desk, m.entry, key});
            }
        }
        if (levels_.size() == kMaxLevels)
            levels_.erase(levels_.begin());
        levels_.push_back(std::move(next));
    }

    std::vector<char> shown(desks_.size());
    for (std::size_t i = 0; i < desks_.size(); ++i)
        shown[i] = visible ? visible(*desks_[i].desktop) : 1;
    std::vector<Level::Match> matches;
    matches.reserve(levels_.back().matches.size());
    for (const Level::Match &m : levels_.back().matches) {
        if (shown[m.desk])
            matches.push_back(m);
    }
    if (total)
        *total = matches.size();

    const auto captionOf = [this](const Level::Match &m) {
        const Desk &desk = desks_[m.desk];
        const Entry &e = desk.entries[m.entry];
        const int f = e.isNote ? 3 : 0;
        return QStringView(desk.text.constData() + e.start[f], e.start[f + 1] - e.start[f]);
    };
    const auto before = [&](const Level::Match &a, const Level::Match &b) {
        if (a.key != b.key)
            return a.key < b.key;
        if (const int c = captionOf(a).compare(captionOf(b)); c != 0)
            return c < 0;
        if (a.desk != b.desk)
            return a.desk < b.desk;
        return a.entry < b.entry;
    };
    const std::size_t k = std::min(limit, matches.size());
    std::partial_sort(matches.begin(), matches.begin() + std::ptrdiff_t(k), matches.end(), before);

    std::vector<SearchHit> hits;
    hits.reserve(k);
    for (std::size_t i = 0; i < k; ++i) {
        const Level::Match &m = matches[i];
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
        h.caption = e.caption;
        h.attachedFile = e.file;
        h.picture = e.picture;
        h.field = FoundIn(m.key % kFields);
        h.wordStart = m.key < kInsideWord;
        hits.push_back(std::move(h));
    }
    return hits;
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
        bytes += d.entries.capacity() * sizeof(Entry) + d.records.capacity() * sizeof(const void *);
        bytes += std::size_t(d.text.capacity()) * sizeof(QChar);
    }
    for (const Level &l : levels_)
        bytes += l.matches.capacity() * sizeof(Level::Match);
    return bytes;
}

} // namespace vl
