#include "surface/Arrangement.h"

#include "shortcuts/TImageLabel.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <numeric>

namespace vl {

namespace {

constexpr long long PictureSide = TImageLabel::PictureSize;
// Every grid row keeps this much free above its pictures.
constexpr long long RowMargin = 8;

// The cell sides come straight from the settings file; a side below one
// pixel would divide by zero, so it counts as one pixel.
long long cellSide(int side) { return std::max(1, side); }

// The integer nearest to a / b (b > 0); exact halves go to the even
// neighbour, also for negative a (-0.5 -> 0, -1.5 -> -2).
long long nearestQuotient(long long a, long long b)
{
    long long q = a / b;
    long long r = a % b;
    if (r < 0) { // floor division, so that r lies in [0, b)
        r += b;
        --q;
    }
    if (2 * r > b || (2 * r == b && q % 2 != 0))
        ++q;
    return q;
}

int toInt(long long v)
{
    return static_cast<int>(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Left of a picture w pixels wide centred in grid column col; the halving
// truncates toward zero, also when the picture is wider than the cell.
long long cellLeft(long long col, long long cw, long long w) { return col * cw + (cw - w) / 2; }
long long cellTop(long long row, long long ch) { return row * ch + RowMargin; }

// Only a to z are folded: other letters keep their own codes, so "é" and
// "É" are two different captions that sort by code.
QString sortKey(const QString &caption)
{
    QString key = caption;
    for (QChar &c : key) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    }
    return key;
}

// Floor and ceiling of a / b for b > 0, also for negative a.
long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && (a < 0)); }
long long ceilDiv(long long a, long long b) { return a / b + ((a % b != 0) && (a > 0)); }

// The grid cells the notes cover, found without trying the cells one by
// one: a note a million pixels tall over cells one pixel high covers a
// million rows, and "By Name" must step over them at once.
//
// A cell is covered exactly when CheckOverlapNote would find its picture
// rectangle touching a note. For one note the covered columns form one
// range, and so do the covered rows (the cell's left and top grow with its
// column and row), so each note covers a block of cells.
class CoveredCells {
public:
    CoveredCells(const Desktop &d, long long columns, long long cw, long long ch, long long w, long long h)
        : columns_(std::max(columns, 1LL))
    {
        const long long offset = (cw - w) / 2; // as cellLeft() centres
        for (const auto &n : d.notes) {
            const long long nl = n->Note_Left, nt = n->Note_Top;
            // left <= nl + width and left + w >= nl, left = col * cw + offset;
            // top <= nt + height and top + h >= nt, top = row * ch + RowMargin.
            Block b{std::max(0LL, ceilDiv(nl - w - offset, cw)), floorDiv(nl + n->Note_Width - offset, cw),
                    std::max(0LL, ceilDiv(nt - h - RowMargin, ch)), floorDiv(nt + n->Note_Height - RowMargin, ch)};
            b.lastCol = std::min(b.lastCol, columns_ - 1);
            if (b.firstCol <= b.lastCol && b.firstRow <= b.lastRow)
                blocks_.push_back(b);
        }
    }

    // The first cell at or after (col, row), in the order "By Name" walks
    // them, that no note covers.
    void nextFree(long long &col, long long &row) const
    {
        for (;;) {
            const std::vector<const Block *> &here = blocksOn(row);
            long long c = col;
            for (const Block *b : here) {
                if (b->firstCol <= c && c <= b->lastCol)
                    c = b->lastCol + 1;
            }
            if (c < columns_) {
                col = c;
                return;
            }
            // Nothing free in the rest of this row. A row covered from its
            // first column on stays covered until a note ends or begins.
            long long next = row + 1;
            if (col == 0) {
                long long change = LLONG_MAX;
                for (const Block &b : blocks_) {
                    if (b.firstRow <= row && row <= b.lastRow)
                        change = std::min(change, b.lastRow + 1);
                    else if (b.firstRow > row)
                        change = std::min(change, b.firstRow);
                }
                next = std::max(next, change);
            }
            row = next;
            col = 0;
        }
    }

private:
    struct Block {
        long long firstCol, lastCol, firstRow, lastRow;
    };
    // The blocks that reach into the row, by their first column; kept for
    // the row asked last, since the shortcuts fill a row one by one.
    const std::vector<const Block *> &blocksOn(long long row) const
    {
        if (row == hereRow_)
            return here_;
        here_.clear();
        for (const Block &b : blocks_) {
            if (b.firstRow <= row && row <= b.lastRow)
                here_.push_back(&b);
        }
        std::sort(here_.begin(), here_.end(), [](const Block *a, const Block *b) { return a->firstCol < b->firstCol; });
        hereRow_ = row;
        return here_;
    }

    long long columns_;
    std::vector<Block> blocks_;
    mutable std::vector<const Block *> here_;
    mutable long long hereRow_ = -1;
};

} // namespace

Arrangement::CaptionOrder Arrangement::sortByCaption(const Desktop &desktop)
{
    const std::size_t n = desktop.items.size();
    std::vector<QString> keys;
    keys.reserve(n);
    for (const auto &item : desktop.items)
        keys.push_back(sortKey(item->Label_Caption));

    CaptionOrder out;
    out.order.resize(n);
    std::iota(out.order.begin(), out.order.end(), std::size_t(0));
    // QString's operator< compares code units and puts a prefix first; the
    // stable sort keeps equal captions in element order.
    std::stable_sort(out.order.begin(), out.order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });

    // Equal captions share the rank of the first of them, and the next
    // caption's rank counts all of them (0, 1, 1, 3).
    out.ranks.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t idx = out.order[i];
        out.ranks[idx] = (i > 0 && keys[out.order[i - 1]] == keys[idx]) ? out.ranks[out.order[i - 1]]
                                                                         : static_cast<int>(i);
    }
    return out;
}

std::vector<int> Arrangement::captionRanks(const Desktop &desktop) { return sortByCaption(desktop).ranks; }

void Arrangement::mnuEqualizeClick()
{
    Desktop *d = ws_.activeDesktop();
    if (!d)
        return;
    const long long cw = cellSide(ws_.global.Cell_Width);
    const long long ch = cellSide(ws_.global.Cell_Height);
    const QSize tab = view_.tabControlSize();
    const long long columns = tab.width() / cw;
    const long long rows = tab.height() / ch;

    for (const auto &item : d->items) {
        // The picture's top-left corner picks the cell, not its centre.
        const long long c = nearestQuotient(item->Item_Left, cw);
        const long long r = nearestQuotient(item->Item_Top, ch);
        long long left = cellLeft(c, cw, PictureSide);
        long long top = cellTop(r, ch);
        // One step back only: a shortcut far outside stays outside.
        if (left >= columns * cw)
            left = cellLeft(c - 1, cw, PictureSide);
        if (top >= rows * ch)
            top = cellTop(r - 1, ch);
        item->Item_Left = toInt(left);
        item->Item_Top = toInt(top);
    }
    view_.itemsMoved();
    view_.RefreshAll();
    view_.Modified();
}

void Arrangement::mnuByNameClick()
{
    if (!ws_.activeDesktop())
        return;
    ArrangeByName();
    view_.RefreshAll();
    view_.Modified();
}

void Arrangement::ArrangeByName()
{
    Desktop *d = ws_.activeDesktop();
    if (!d || d->items.empty())
        return;
    const long long cw = cellSide(ws_.global.Cell_Width);
    const long long ch = cellSide(ws_.global.Cell_Height);
    // No row limit: what does not fit continues below the visible page.
    const long long columns = view_.tabControlSize().width() / cw;

    long long col = 0, row = 0;
    // With no whole column (columns == 0) every step starts a new row.
    const auto advance = [&] {
        if (col + 1 >= columns) {
            col = 0;
            ++row;
        } else {
            ++col;
        }
    };
    const CoveredCells covered(*d, columns, cw, ch, PictureSide, PictureSide);
    // Walking the sorted order is walking the ranks upwards with equal
    // ranks in element order.
    for (const std::size_t idx : sortByCaption(*d).order) {
        ShortcutItem &item = *d->items[idx];
        covered.nextFree(col, row);
        item.Item_Left = toInt(cellLeft(col, cw, PictureSide));
        item.Item_Top = toInt(cellTop(row, ch));
        advance();
    }
    view_.itemsMoved();
}

bool Arrangement::CheckOverlapNote(int left, int top, int width, int height) const
{
    return overlapsNote(left, top, width, height);
}

bool Arrangement::overlapsNote(long long x, long long y, long long w, long long h) const
{
    const Desktop *d = ws_.activeDesktop();
    if (!d)
        return false;
    // Sums in 64 bits: note sizes read from the file may be anything, and a
    // wrapped sum would end the skipping of covered cells never or too soon.
    for (const auto &n : d->notes) {
        const long long nl = n->Note_Left, nt = n->Note_Top;
        // Edges that only touch count as overlapping.
        if (nl + n->Note_Width >= x && x + w >= nl && nt + n->Note_Height >= y && y + h >= nt)
            return true;
    }
    return false;
}

void Arrangement::CheckOutBounds(ShortcutItem &item)
{
    const QRect page = view_.pageGeometry();
    long long left = item.Item_Left;
    long long top = item.Item_Top;
    // In this order: on a page smaller than the shortcut the right and
    // bottom edges win and the shortcut sticks out at the left and top.
    if (left < page.left())
        left = page.left();
    if (top < page.top())
        top = page.top();
    if (page.width() < left + PictureSide)
        left = page.width() - PictureSide;
    const long long caption = view_.captionHeight(item);
    if (page.height() < top + PictureSide + caption)
        top = page.height() - PictureSide - caption;
    if (left == item.Item_Left && top == item.Item_Top)
        return;
    item.Item_Left = toInt(left);
    item.Item_Top = toInt(top);
    view_.itemsMoved();
}

} // namespace vl
