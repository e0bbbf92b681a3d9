#include "surface/TabStrip.h"

#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

using vl::TabStrip;

namespace {

QStringList captions(int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i)
        list << QStringLiteral("Desktop %1").arg(i + 1) + (i % 3 == 0 ? QStringLiteral(" and more") : QString());
    return list;
}

void fill(TabStrip &strip, int n)
{
    for (const QString &caption : captions(n))
        strip.addTab(caption);
}

int distinctRows(const QList<QRect> &rects)
{
    std::set<int> ys;
    for (const QRect &r : rects)
        ys.insert(r.y());
    return int(ys.size());
}

// Checks what every layout must satisfy; returns an empty string or the first violation.
QString layoutViolation(const QList<QRect> &rects, const QList<int> &widths, int rowHeight, int available,
                        bool multiline)
{
    if (rects.size() != widths.size())
        return QStringLiteral("%1 rects for %2 tabs").arg(rects.size()).arg(widths.size());
    const int rows = distinctRows(rects);
    for (int i = 0; i < rects.size(); ++i) {
        const QRect &r = rects[i];
        if (r.height() != rowHeight || r.y() % rowHeight != 0 || r.y() / rowHeight >= rows)
            return QStringLiteral("tab %1 off the row grid: y %2 h %3").arg(i).arg(r.y()).arg(r.height());
        if (r.width() > available || r.width() < 1)
            return QStringLiteral("tab %1 has width %2").arg(i).arg(r.width());
        if (multiline && (r.left() < 0 || r.right() >= available))
            return QStringLiteral("tab %1 sticks out: %2..%3").arg(i).arg(r.left()).arg(r.right());
        for (int j = 0; j < i; ++j) {
            if (rects[j].intersects(r))
                return QStringLiteral("tabs %1 and %2 overlap").arg(j).arg(i);
        }
        // Tab order runs left to right inside a row; a new row starts at the left edge.
        if (i > 0 && rects[i - 1].y() == r.y() && rects[i - 1].right() + 1 != r.left())
            return QStringLiteral("gap or disorder between tabs %1 and %2").arg(i - 1).arg(i);
        if ((i == 0 || rects[i - 1].y() != r.y()) && r.left() != 0)
            return QStringLiteral("row of tab %1 does not start at 0").arg(i);
    }
    return QString();
}

} // namespace

class TabStripTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutSingleRow();
    void layoutMultilineRowsAndRotation();
    void layoutInvariants();
    void heightFollowsRows();
    void fontAndTextChangesRelayout();
    void clickSelects();
    void currentIndexRules();
    void removeAndInsertKeepCurrentValid();
    void hotTracking();
    void scrollButtons();
    void arrowKeys();
    void rendering_data();
    void rendering();
};

void TabStripTest::layoutSingleRow()
{
    const int rh = 20;
    // Fits: tabs keep their widths, side by side from the left.
    const QList<QRect> fit = TabStrip::layoutTabs({50, 60, 70}, rh, 300, false, 1, TabStrip::Top);
    QCOMPARE(fit, (QList<QRect>{QRect(0, 0, 50, rh), QRect(50, 0, 60, rh), QRect(110, 0, 70, rh)}));

    // Overflow: still one row, running past the width (the widget scrolls it).
    const QList<int> widths(10, 100);
    for (TabStrip::Shape shape : {TabStrip::Top, TabStrip::Bottom}) {
        const QList<QRect> over = TabStrip::layoutTabs(widths, rh, 350, false, 7, shape);
        QCOMPARE(distinctRows(over), 1);
        QCOMPARE(over.last().right(), 999);
        QCOMPARE(layoutViolation(over, widths, rh, 350, false), QString());
    }

    // A tab wider than the strip is the only one that gets narrowed.
    const QList<QRect> wide = TabStrip::layoutTabs({40, 900, 40}, rh, 300, false, 0, TabStrip::Top);
    QCOMPARE(wide[0].width(), 40);
    QCOMPARE(wide[1].width(), 300);
    QCOMPARE(wide[2].width(), 40);

    // No width yet (a hidden widget): one row, no wrapping, nothing narrowed.
    const QList<QRect> unknown = TabStrip::layoutTabs({100, 100, 100}, rh, 0, true, 0, TabStrip::Top);
    QCOMPARE(distinctRows(unknown), 1);
    QCOMPARE(unknown.last().right(), 299);

    QVERIFY(TabStrip::layoutTabs({}, rh, 300, true, -1, TabStrip::Top).isEmpty());
}

void TabStripTest::layoutMultilineRowsAndRotation()
{
    const int rh = 20;
    const QList<int> widths(10, 100); // three a row at width 350: rows {0,1,2} {3,4,5} {6,7,8} {9}
    auto rowOf = [&](const QList<QRect> &rects, int tab) { return rects[tab].y() / rh; };

    // The current tab already in the page-side row: rows stay in tab order.
    const QList<QRect> top = TabStrip::layoutTabs(widths, rh, 350, true, 9, TabStrip::Top);
    QCOMPARE(layoutViolation(top, widths, rh, 350, true), QString());
    QCOMPARE(distinctRows(top), 4);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(rowOf(top, i), i / 3);
    // With several rows each row is stretched to the full width, the lone last tab included.
    for (int last : {2, 5, 8, 9})
        QCOMPARE(top[last].right(), 349);
    QCOMPARE(top[9].left(), 0);

    // Top: the current tab's row is moved to the bottom, the others keep their cyclic order.
    const QList<QRect> topRotated = TabStrip::layoutTabs(widths, rh, 350, true, 1, TabStrip::Top);
    QCOMPARE(layoutViolation(topRotated, widths, rh, 350, true), QString());
    QCOMPARE(rowOf(topRotated, 1), 3);
    QCOMPARE(rowOf(topRotated, 3), 0);
    QCOMPARE(rowOf(topRotated, 6), 1);
    QCOMPARE(rowOf(topRotated, 9), 2);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(topRotated[i].x(), top[i].x()); // rotation moves rows, never tabs inside a row

    // Bottom: the current tab's row is moved to the top.
    const QList<QRect> bottom = TabStrip::layoutTabs(widths, rh, 350, true, 4, TabStrip::Bottom);
    QCOMPARE(layoutViolation(bottom, widths, rh, 350, true), QString());
    QCOMPARE(rowOf(bottom, 4), 0);
    QCOMPARE(rowOf(bottom, 6), 1);
    QCOMPARE(rowOf(bottom, 9), 2);
    QCOMPARE(rowOf(bottom, 0), 3);
    QCOMPARE(rowOf(TabStrip::layoutTabs(widths, rh, 350, true, 0, TabStrip::Bottom), 0), 0);

    // Everything fits in one row: nothing is stretched.
    const QList<QRect> one = TabStrip::layoutTabs({50, 50}, rh, 350, true, 1, TabStrip::Top);
    QCOMPARE(distinctRows(one), 1);
    QCOMPARE(one[1].right(), 99);

    // A too-wide tab takes a row of its own at the full width.
    const QList<QRect> wide = TabStrip::layoutTabs({100, 500, 100}, rh, 350, true, 0, TabStrip::Bottom);
    QCOMPARE(distinctRows(wide), 3);
    QCOMPARE(wide[1], QRect(0, wide[1].y(), 350, rh));
}

void TabStripTest::layoutInvariants()
{
    QRandomGenerator random(4711);
    for (int round = 0; round < 300; ++round) {
        const int n = random.bounded(0, 60);
        QList<int> widths;
        for (int i = 0; i < n; ++i)
            widths << random.bounded(1, 260);
        const int available = random.bounded(1, 700);
        const bool multiline = random.bounded(2) == 1;
        const int current = n ? random.bounded(n) : -1;
        const auto shape = random.bounded(2) ? TabStrip::Top : TabStrip::Bottom;
        const QList<QRect> rects = TabStrip::layoutTabs(widths, 17, available, multiline, current, shape);
        const QString context = QStringLiteral("round %1: n %2 width %3 multiline %4 current %5")
                                    .arg(round).arg(n).arg(available).arg(multiline).arg(current);
        QVERIFY2(layoutViolation(rects, widths, 17, available, multiline).isEmpty(),
                 qPrintable(context + QLatin1String(": ") + layoutViolation(rects, widths, 17, available, multiline)));
        if (!multiline && n)
            QVERIFY2(distinctRows(rects) == 1, qPrintable(context));
        if (multiline && current >= 0) {
            const int rows = distinctRows(rects);
            const int pageRow = shape == TabStrip::Top ? rows - 1 : 0;
            QVERIFY2(rects[current].y() == pageRow * 17, qPrintable(context));
        }
    }
}

void TabStripTest::heightFollowsRows()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *strip = new TabStrip;
    auto *page = new QWidget;
    page->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(strip);
    layout->addWidget(page);
    fill(*strip, 15);
    window.resize(2500, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const int rowHeight = strip->tabRect(0).height();
    QVERIFY(!strip->hasHeightForWidth());
    QCOMPARE(strip->height(), rowHeight);

    strip->setMultiline(true);
    QVERIFY(strip->hasHeightForWidth());
    const int wide = strip->heightForWidth(2500);
    const int medium = strip->heightForWidth(600);
    const int narrow = strip->heightForWidth(250);
    QCOMPARE(wide, rowHeight);
    QVERIFY(medium > wide);
    QVERIFY(narrow > medium);
    QCOMPARE(narrow % rowHeight, 0);

    // The layout hands the strip the height its rows need, both ways.
    window.resize(250, 400);
    QTRY_COMPARE(strip->height(), narrow);
    QCOMPARE(strip->rowCount() * rowHeight, narrow);
    QCOMPARE(page->y(), narrow);
    for (int i = 0; i < strip->count(); ++i)
        QVERIFY(strip->rect().contains(strip->tabRect(i)));
    window.resize(600, 400);
    QTRY_COMPARE(strip->height(), medium);

    // More tabs need more rows.
    fill(*strip, 15);
    QTRY_VERIFY(strip->height() > medium);
    QCOMPARE(strip->height(), strip->rowCount() * rowHeight);

    strip->setMultiline(false);
    QTRY_COMPARE(strip->height(), rowHeight);
    QCOMPARE(strip->rowCount(), 1);
}

void TabStripTest::fontAndTextChangesRelayout()
{
    TabStrip strip;
    strip.resize(3000, 40);
    fill(strip, 5);
    const QRect before = strip.tabRect(2);
    const int after2 = strip.tabRect(3).left();

    strip.setTabText(2, strip.tabText(2) + QStringLiteral(" with a much longer caption"));
    QVERIFY(strip.tabRect(2).width() > before.width());
    QCOMPARE(strip.tabRect(3).left(), strip.tabRect(2).right() + 1);
    QVERIFY(strip.tabRect(3).left() > after2);

    QFont big = strip.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    const int widthBefore = strip.tabRect(0).width();
    const int heightBefore = strip.sizeHint().height();
    strip.setFont(big);
    QVERIFY(strip.tabRect(0).width() > widthBefore);
    QVERIFY(strip.sizeHint().height() > heightBefore);
}

void TabStripTest::clickSelects()
{
    for (bool multiline : {false, true}) {
        QWidget window;
        auto *strip = new TabStrip(&window);
        strip->setMultiline(multiline);
        fill(*strip, 12);
        strip->setGeometry(0, 0, 400, multiline ? strip->heightForWidth(400) : 30);
        window.resize(400, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy changed(strip, &TabStrip::currentChanged);
        QSignalSpy clicked(strip, &TabStrip::tabBarClicked);
        QSignalSpy released(strip, &TabStrip::released);

        const int target = multiline ? 1 : 2; // multiline: a tab away from the page-side row
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(target).center());
        QCOMPARE(strip->currentIndex(), target);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toInt(), target);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), target);
        QCOMPARE(clicked.at(0).at(1).value<Qt::MouseButton>(), Qt::LeftButton);
        QCOMPARE(released.count(), 1);
        QCOMPARE(released.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
        if (multiline) {
            QVERIFY(strip->rowCount() > 1);
            QCOMPARE(strip->tabRect(target).bottom(), strip->height() - 1); // its row now meets the page
        }

        // Clicking the current tab again changes nothing.
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(target).center());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(clicked.count(), 2);

        // Other buttons report the press and release but do not select.
        const int other = multiline ? 3 : 1;
        QTest::mouseClick(strip, Qt::RightButton, {}, strip->tabRect(other).center());
        QCOMPARE(strip->currentIndex(), target);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(clicked.last().at(0).toInt(), other);
        QCOMPARE(clicked.last().at(1).value<Qt::MouseButton>(), Qt::RightButton);
        QCOMPARE(released.last().at(0).value<Qt::MouseButton>(), Qt::RightButton);
    }
}

void TabStripTest::currentIndexRules()
{
    TabStrip strip;
    QSignalSpy changed(&strip, &TabStrip::currentChanged);
    QCOMPARE(strip.currentIndex(), -1);
    strip.addTab(QStringLiteral("a"));
    QCOMPARE(strip.currentIndex(), 0);
    QCOMPARE(changed.count(), 1);
    strip.addTab(QStringLiteral("b"));
    strip.addTab(QStringLiteral("c"));
    QCOMPARE(strip.currentIndex(), 0);
    QCOMPARE(changed.count(), 1);

    strip.setCurrentIndex(2);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toInt(), 2);
    strip.setCurrentIndex(1, false);
    QCOMPARE(strip.currentIndex(), 1);
    QCOMPARE(changed.count(), 2);
    strip.setCurrentIndex(1);
    strip.setCurrentIndex(3);
    strip.setCurrentIndex(-1);
    QCOMPARE(strip.currentIndex(), 1);
    QCOMPARE(changed.count(), 2);
}

void TabStripTest::removeAndInsertKeepCurrentValid()
{
    TabStrip strip;
    strip.resize(600, 30);
    fill(strip, 5);
    strip.setCurrentIndex(2, false);
    QSignalSpy changed(&strip, &TabStrip::currentChanged);

    // Inserting before the current tab: the same tab stays current under a new index.
    const QString current = strip.tabText(2);
    QCOMPARE(strip.insertTab(0, QStringLiteral("first")), 0);
    QCOMPARE(strip.currentIndex(), 3);
    QCOMPARE(strip.tabText(3), current);
    QCOMPARE(strip.insertTab(99, QStringLiteral("last")), 6);
    QCOMPARE(strip.currentIndex(), 3);
    QCOMPARE(changed.count(), 0);

    // Removing before it shifts it back, again without a change.
    strip.removeTab(0);
    QCOMPARE(strip.currentIndex(), 2);
    QCOMPARE(strip.tabText(2), current);
    QCOMPARE(changed.count(), 0);

    // Removing the current tab: its successor takes over.
    const QString successor = strip.tabText(3);
    strip.removeTab(2);
    QCOMPARE(strip.currentIndex(), 2);
    QCOMPARE(strip.tabText(2), successor);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.last().at(0).toInt(), 2);

    // Removing the current last tab: its predecessor takes over; silently when asked.
    strip.setCurrentIndex(strip.count() - 1, false);
    strip.removeTab(strip.count() - 1, false);
    QCOMPARE(strip.currentIndex(), strip.count() - 1);
    QCOMPARE(changed.count(), 1);

    strip.removeTab(-1);
    strip.removeTab(strip.count());
    QCOMPARE(strip.count(), 4);

    while (strip.count() > 0) {
        strip.removeTab(0);
        QVERIFY(strip.currentIndex() >= 0 || strip.count() == 0);
        QVERIFY(strip.currentIndex() < strip.count());
    }
    QCOMPARE(strip.currentIndex(), -1);
    QCOMPARE(changed.last().at(0).toInt(), -1);
    QCOMPARE(strip.tabAt(QPoint(5, 5)), -1);
    QCOMPARE(strip.tabRect(0), QRect());
}

void TabStripTest::hotTracking()
{
    QWidget window;
    auto *strip = new TabStrip(&window);
    auto *below = new QWidget(&window);
    fill(*strip, 6);
    strip->setGeometry(0, 0, 600, 30);
    below->setGeometry(0, 40, 600, 100);
    window.resize(600, 150);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage plain = strip->grab().toImage();

    QTest::mouseMove(strip, strip->tabRect(2).center());
    QTRY_COMPARE(strip->hoverIndex(), 2);
    // The highlight is drawn, and only on that tab.
    const QImage lit = strip->grab().toImage();
    QVERIFY(lit.copy(strip->tabRect(2)) != plain.copy(strip->tabRect(2)));
    QCOMPARE(lit.copy(strip->tabRect(4)), plain.copy(strip->tabRect(4)));
    const QString folder = qEnvironmentVariable("VORLANE_TABSTRIP_SHOTS");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        QVERIFY(lit.save(QDir(folder).filePath(QStringLiteral("hover.png"))));
    }

    QTest::mouseMove(strip, strip->tabRect(4).center());
    QTRY_COMPARE(strip->hoverIndex(), 4);
    QTest::mouseMove(strip, QPoint(599, 15)); // right of the last tab
    QTRY_COMPARE(strip->hoverIndex(), -1);
    QTest::mouseMove(strip, strip->tabRect(1).center());
    QTRY_COMPARE(strip->hoverIndex(), 1);
    QTest::mouseMove(below, QPoint(10, 10));
    QTRY_COMPARE(strip->hoverIndex(), -1);
}

void TabStripTest::scrollButtons()
{
    QWidget window;
    auto *strip = new TabStrip(&window);
    fill(*strip, 20);
    strip->setGeometry(0, 0, 300, 30);
    window.resize(300, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto *left = strip->findChild<QToolButton *>(QStringLiteral("scrollLeftButton"));
    auto *right = strip->findChild<QToolButton *>(QStringLiteral("scrollRightButton"));
    QVERIFY(left && right);
    QVERIFY(right->isVisible());
    QVERIFY(!left->isEnabled());
    QCOMPARE(strip->tabAt(strip->tabRect(0).center()), 0);
    QCOMPARE(strip->tabAt(strip->tabRect(19).center()), -1);
    QSignalSpy released(strip, &TabStrip::released);

    // Each click brings the next cut-off tab fully in, until the last one shows.
    int clicks = 0;
    while (strip->tabAt(strip->tabRect(19).center()) != 19 && clicks < 40) {
        QVERIFY(right->isEnabled());
        QTest::mouseClick(right, Qt::LeftButton);
        ++clicks;
    }
    QVERIFY(clicks > 1 && clicks < 20);
    QVERIFY(!right->isEnabled());
    QVERIFY(left->isEnabled());
    QCOMPARE(released.count(), clicks);
    QCOMPARE(strip->currentIndex(), 0); // scrolling does not select
    QVERIFY(strip->tabRect(19).right() < right->x() && strip->tabRect(19).right() < left->x());

    // Selecting a tab out of view scrolls it in.
    strip->setCurrentIndex(0);
    QCOMPARE(strip->tabAt(strip->tabRect(0).center()), 0);
    strip->setCurrentIndex(12);
    QCOMPARE(strip->tabAt(strip->tabRect(12).center()), 12);

    while (left->isEnabled() && clicks-- > 0)
        QTest::mouseClick(left, Qt::LeftButton);
    QCOMPARE(strip->tabRect(0).left(), 0);

    // Wide enough again: no buttons, nothing scrolled.
    strip->setGeometry(0, 0, 5000, 30);
    QVERIFY(!right->isVisible());
    QCOMPARE(strip->tabRect(0).left(), 0);
    strip->setGeometry(0, 0, 300, 30);
    strip->setMultiline(true);
    QVERIFY(!right->isVisible());
}

void TabStripTest::arrowKeys()
{
    QWidget window;
    auto *strip = new TabStrip(&window);
    fill(*strip, 3);
    strip->setGeometry(0, 0, 600, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    strip->setFocus();
    QSignalSpy changed(strip, &TabStrip::currentChanged);

    QTest::keyClick(strip, Qt::Key_Right);
    QTest::keyClick(strip, Qt::Key_Right);
    QTest::keyClick(strip, Qt::Key_Right); // stops at the last tab
    QCOMPARE(strip->currentIndex(), 2);
    QTest::keyClick(strip, Qt::Key_Left);
    QCOMPARE(strip->currentIndex(), 1);
    QCOMPARE(changed.count(), 3);
    // Ctrl+Tab belongs to the window.
    QTest::keyClick(strip, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(strip->currentIndex(), 1);
}

void TabStripTest::rendering_data()
{
    QTest::addColumn<bool>("multiline");
    QTest::addColumn<TabStrip::Shape>("shape");
    QTest::addColumn<bool>("hugeCaption");
    QTest::newRow("single-top") << false << TabStrip::Top << false;
    QTest::newRow("single-bottom") << false << TabStrip::Bottom << false;
    QTest::newRow("multi-top") << true << TabStrip::Top << false;
    QTest::newRow("multi-bottom") << true << TabStrip::Bottom << false;
    QTest::newRow("multi-elided") << true << TabStrip::Top << true;
}

// Paints each layout and checks that every visible tab got painted where it should be. With VORLANE_TABSTRIP_SHOTS
// set to a folder, the pictures are saved there for a look by eye.
void TabStripTest::rendering()
{
    QFETCH(bool, multiline);
    QFETCH(TabStrip::Shape, shape);
    QFETCH(bool, hugeCaption);

    TabStrip strip;
    strip.setShape(shape);
    strip.setMultiline(multiline);
    fill(strip, hugeCaption ? 4 : 15);
    strip.setTabText(hugeCaption ? 1 : 9, QStringLiteral("R&D notes"));
    if (hugeCaption)
        strip.setTabText(2, QStringLiteral("A caption far too long for any strip this narrow ").repeated(3));
    strip.setCurrentIndex(hugeCaption ? 2 : 4);
    strip.resize(600, 80);
    const QImage image = strip.grab().toImage();
    QCOMPARE(image.size(), QSize(600, 80) * image.devicePixelRatio());
    if (multiline)
        QVERIFY(strip.rowCount() >= 2);
    if (hugeCaption)
        QCOMPARE(strip.tabRect(2).width(), 600);

    const auto *scrollLeft = strip.findChild<QToolButton *>(QStringLiteral("scrollLeftButton"));
    QCOMPARE(scrollLeft->isHidden(), multiline);
    const QRect visible(0, 0, scrollLeft->isHidden() ? 600 : scrollLeft->x(), 80);
    // Every visible tab has its body filled (the window background does not show through beside
    // the caption) and its caption drawn.
    const QRgb background = strip.palette().color(QPalette::Window).rgb();
    for (int i = 0; i < strip.count(); ++i) {
        const QRect r = strip.tabRect(i).intersected(visible);
        if (r.width() < 10)
            continue;
        QVERIFY2(image.pixel(r.left() + 4, r.center().y()) != background,
                 qPrintable(QStringLiteral("tab %1 has no body").arg(i)));
        const QImage part = image.copy(r);
        const QRgb first = part.pixel(0, 0);
        bool varied = false;
        for (int y = 0; y < part.height() && !varied; ++y)
            for (int x = 0; x < part.width() && !varied; ++x)
                varied = part.pixel(x, y) != first;
        QVERIFY2(varied, qPrintable(QStringLiteral("tab %1 painted blank").arg(i)));
    }

    const QString folder = qEnvironmentVariable("VORLANE_TABSTRIP_SHOTS");
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("%1.png").arg(QString::fromLatin1(QTest::currentDataTag())))));
    }
}

QTEST_MAIN(TabStripTest)
#include "tst_tabstrip.moc"
