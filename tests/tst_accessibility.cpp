// What assistive technology sees of the real main window: the tab strip as
// page tabs and the page as a list of shortcuts, their names, places and
// states, and what their press actions do through the window's own paths.
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/Accessibility.h"
#include "surface/DesktopSurface.h"
#include "surface/FormMain.h"
#include "surface/ItemClipboard.h"
#include "surface/PasswordGate.h"
#include "surface/Selection.h"
#include "surface/ShortcutCommands.h"
#include "surface/SurfaceGestures.h"
#include "surface/TabStrip.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

// Desktops with the given captions; the extra text goes into every page.
QByteArray settingsWith(const QStringList &captions, int active, const QList<QByteArray> &perPage = {})
{
    return vl::test::desktopsSettings(captions, active, "Wave_File=/sounds/start.wav\r\n", perPage);
}

// n shortcuts S0, S1, ... on page p, each attached to file(i), in a grid.
QByteArray shortcuts(int page, int n, const std::function<QString(int)> &file)
{
    QByteArray text = "Item_CountTrue=" + QByteArray::number(n) + "\r\n\r\n";
    for (int i = 0; i < n; ++i) {
        text += "[Page" + QByteArray::number(page) + "\\Item" + QByteArray::number(i + 1) + "]\r\nAttachedFile="
            + file(i).toUtf8() + "\r\nLabel_Caption=S" + QByteArray::number(i) + "\r\nItem_Left="
            + QByteArray::number(10 + (i % 5) * 100) + "\r\nItem_Top=" + QByteArray::number(10 + (i / 5) * 100)
            + "\r\n\r\n";
    }
    return text;
}

QList<QAccessibleInterface *> childrenWithRole(QAccessibleInterface *parent, QAccessible::Role role)
{
    QList<QAccessibleInterface *> out;
    for (int i = 0; i < parent->childCount(); ++i) {
        if (QAccessibleInterface *c = parent->child(i); c && c->role() == role)
            out.append(c);
    }
    return out;
}

void press(QAccessibleInterface *iface)
{
    QAccessibleActionInterface *action = iface->actionInterface();
    QVERIFY(action);
    QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
}

} // namespace

class AccessibilityTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    TFormMain &start(const QByteArray &settings)
    {
        WindowFixture::start(settings);
        form_->resize(700, 500);
        form_->show();
        QApplication::setActiveWindow(form_.get());
        if (!QTest::qWaitForWindowExposed(form_.get()))
            qFatal("window not exposed");
        return *form_;
    }
    QString existingFile(const QString &name)
    {
        const QString path = dir_.filePath(name);
        vl::test::writeAll(path, "x");
        return path;
    }

private slots:
    void init()
    {
        resetWindowFixture();
        platform_.launches.clear();
        platform_.sounds.clear();
    }
    void cleanup()
    {
        form_.reset();
        // Every shortcut interface goes with the page that made it.
        QCOMPARE(accessibleItemInterfaces(), 0);
    }

    void tabsArePageTabsNamedPlacedAndSelected()
    {
        TFormMain &w = start(settingsWith({"Work", "Games & Fun", "Tools"}, 1));
        TabStrip *strip = w.PageControl1();
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(strip);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::PageTabList);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Desktops"));

        const QList<QAccessibleInterface *> tabs = childrenWithRole(list, QAccessible::PageTab);
        QCOMPARE(tabs.size(), 3);
        QStringList names;
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *tab = tabs[i];
            names.append(tab->text(QAccessible::Name));
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(tab->parent(), list);
            QVERIFY(tab->state().selectable && tab->state().focusable);
            QCOMPARE(bool(tab->state().selected), i == 1);
            // The rectangle is where the tab is: a client pointing there finds it.
            const QRect r = tab->rect();
            QVERIFY(!r.isEmpty());
            QCOMPARE(list->childAt(r.center().x(), r.center().y()), tab);
            if (i > 0)
                QVERIFY(r.center().x() > tabs[i - 1]->rect().center().x());
        }
        QCOMPARE(names, QStringList({"Work", "Games & Fun", "Tools"}));

        // The scroll buttons follow the tabs, named.
        QStringList buttons;
        for (QAccessibleInterface *b : childrenWithRole(list, QAccessible::Button))
            buttons.append(b->text(QAccessible::Name));
        QCOMPARE(buttons, QStringList({"Scroll left", "Scroll right"}));

        // A switch by the keyboard moves selection and focus; a rename reaches the name,
        // and a new desktop shows up as the last tab.
        strip->setFocus();
        QTest::keyClick(strip, Qt::Key_Right);
        QCOMPARE(w.workspace().activeIndex(), 2);
        QVERIFY(tabs[2]->state().selected && tabs[2]->state().focused && !tabs[1]->state().selected);
        QCOMPARE(list->focusChild(), tabs[2]);
        w.workspace().desktop(0).Desktop_Caption = QStringLiteral("Office");
        w.desktopsChanged();
        QCOMPARE(tabs[0]->text(QAccessible::Name), QStringLiteral("Office"));
        w.desktopCommands().mnuNewTabSheetClick();
        QCOMPARE(childrenWithRole(list, QAccessible::PageTab).size(), 4);
        QCOMPARE(list->child(3)->text(QAccessible::Name), QStringLiteral(" NewDesktop"));
    }

    void tabPressSwitchesThroughThePasswordGateLaterAndNeverDuringAQuestion()
    {
        const QByteArray pw = "Password=" + storedPasswordText(QStringLiteral("key")).toLatin1()
            + "\r\nPassword_On_Desktop=1\r\n" + shortcuts(1, 2, [](int) { return QStringLiteral("/none"); });
        TFormMain &w = start(settingsWith({"Open", "Locked"}, 0, {{}, pw}));
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(w.PageControl1());
        QAccessibleInterface *page = QAccessible::queryAccessibleInterface(w.surface());

        // A wrong password: the tab is current, the page shows nothing.
        prompt_.passwordAnswers = {QStringLiteral("nope")};
        press(list->child(1));
        // The bus call returns before the question is asked.
        QVERIFY(prompt_.passwordCaptions.isEmpty());
        QTRY_COMPARE(prompt_.passwordCaptions, QStringList({"Locked"}));
        QCOMPARE(w.workspace().activeIndex(), 1);
        QVERIFY(w.surface()->isLocked());
        QVERIFY(childrenWithRole(page, QAccessible::ListItem).isEmpty());

        // While a question is open a press waits for it to close.
        press(list->child(0));
        {
            OutsideRequests::Busy question(&w.requests());
            QTest::qWait(50);
            QCOMPARE(w.workspace().activeIndex(), 1);
        }
        QTRY_COMPARE(w.workspace().activeIndex(), 0);

        // The right password lets the page show its shortcuts.
        prompt_.passwordAnswers = {QStringLiteral("key")};
        press(list->child(1));
        QTRY_COMPARE(prompt_.passwordCaptions.size(), 2);
        QVERIFY(!w.surface()->isLocked());
        QCOMPARE(childrenWithRole(page, QAccessible::ListItem).size(), 2);
    }

    void shortcutsAreListItemsWithNamesFilesPlacesAndStates()
    {
        const QString a = existingFile(QStringLiteral("a.txt"));
        TFormMain &w = start(settingsWith({"Main"}, 0, {shortcuts(0, 3, [&](int i) {
                                              return i == 0 ? a : QStringLiteral("/missing/%1").arg(i);
                                          })}));
        DesktopSurface *surface = w.surface();
        QAccessibleInterface *page = QAccessible::queryAccessibleInterface(surface);
        QCOMPARE(page->role(), QAccessible::List);
        QCOMPARE(page->text(QAccessible::Name), QStringLiteral("Main"));
        const QList<QAccessibleInterface *> items = childrenWithRole(page, QAccessible::ListItem);
        QCOMPARE(items.size(), 3);
        Desktop &d = *w.workspace().activeDesktop();
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *item = items[i];
            QCOMPARE(item->text(QAccessible::Name), QStringLiteral("S%1").arg(i));
            QCOMPARE(item->text(QAccessible::Description), d.items[i]->AttachedFile);
            QCOMPARE(page->indexOfChild(item), i);
            QCOMPARE(item->parent(), page);
            // The picture's corner lies inside, and a client pointing at the
            // middle finds this shortcut.
            const QRect r = item->rect();
            QVERIFY(r.contains(surface->mapToGlobal(QPoint(d.items[i]->Item_Left, d.items[i]->Item_Top))));
            QCOMPARE(page->childAt(r.center().x(), r.center().y()), item);
            QVERIFY(item->state().selectable && item->state().focusable);
            QVERIFY(!item->state().selected && !item->state().focused);
        }
        QCOMPARE(items[0]->text(QAccessible::Description), a);

        // A click selects and focuses.
        surface->setFocus();
        const QPoint inside = surface->mapFromGlobal(items[1]->rect().center());
        QTest::mouseClick(surface, Qt::LeftButton, {}, inside);
        QVERIFY(items[1]->state().selected && items[1]->state().focused);
        QVERIFY(!items[0]->state().selected);
        QCOMPARE(page->focusChild(), items[1]);

        // Ctrl adds, a click on the background clears.
        QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier,
                          surface->mapFromGlobal(items[2]->rect().center()));
        QVERIFY(items[1]->state().selected && items[2]->state().selected);
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(surface->width() - 5, surface->height() - 5));
        QVERIFY(!items[1]->state().selected && !items[2]->state().selected);

        // A note is a child of the page too, named by its text.
        w.mnuNewNoteClick();
        Note &note = *d.notes.back();
        note.Lines = QStringList({"Buy milk", "and bread"});
        bool found = false;
        for (int i = 0; i < page->childCount(); ++i) {
            QAccessibleInterface *layer = page->child(i);
            if (layer->role() == QAccessible::ListItem || layer->state().invisible)
                continue;
            for (int j = 0; j < layer->childCount(); ++j) {
                QAccessibleInterface *n = layer->child(j);
                if (n->role() == QAccessible::StaticText && !n->state().invisible) {
                    QCOMPARE(n->text(QAccessible::Name), QStringLiteral("Buy milk\nand bread"));
                    found = true;
                }
            }
        }
        QVERIFY(found);
    }

    void pressOpensTheShortcutOnceAsADoubleClickDoes()
    {
        const QString a = existingFile(QStringLiteral("run.sh"));
        TFormMain &w = start(settingsWith({"Main"}, 0, {shortcuts(0, 2, [&](int) { return a; })}));
        QAccessibleInterface *page = QAccessible::queryAccessibleInterface(w.surface());
        QAccessibleInterface *second = page->child(1);

        press(second);
        QVERIFY(platform_.launches.isEmpty()); // later, not inside the bus call
        QTRY_COMPARE(platform_.launches.size(), 1);
        QTest::qWait(20);
        QCOMPARE(platform_.launches.size(), 1);
        QCOMPARE(platform_.launches[0].target, a);
        QCOMPARE(platform_.sounds, QStringList({"/sounds/start.wav"}));
        QCOMPARE(w.workspace().work.CurrentElement.item, w.workspace().activeDesktop()->items[1].get());
        // The next real click acts: the press guard was left armed.
        QVERIFY(w.gestures().pressGuard());
        const QPoint first = w.surface()->mapFromGlobal(page->child(0)->rect().center());
        QTest::mouseClick(w.surface(), Qt::LeftButton, {}, first);
        QVERIFY(page->child(0)->state().selected);

        // A shortcut deleted before its press ran starts nothing.
        press(page->child(0));
        w.selection().UnFocused();
        w.selection().Focused(*w.workspace().activeDesktop()->items[0], false);
        prompt_.answer(ModalResult::OK);
        QVERIFY(w.shortcutCommands().DeleteItem());
        QTest::qWait(50);
        QCOMPARE(platform_.launches.size(), 1);
    }

    void itemInterfacesAreMadeOnDemandAndFollowDeletesAndPastes()
    {
        TFormMain &w = start(settingsWith({"Big", "Other"}, 0,
                                          {shortcuts(0, 10000, [](int i) { return QStringLiteral("/f/%1").arg(i); })}));
        DesktopSurface *surface = w.surface();
        QAccessibleInterface *page = QAccessible::queryAccessibleInterface(surface);
        const int own = page->childCount() - 10000;
        QVERIFY(own >= 0);
        QCOMPARE(accessibleItemInterfaces(), 0);

        QAccessibleInterface *s5000 = page->child(5000);
        QCOMPARE(accessibleItemInterfaces(), 1);
        QCOMPARE(page->child(5000), s5000);
        QCOMPARE(accessibleItemInterfaces(), 1);
        QCOMPARE(s5000->text(QAccessible::Name), QStringLiteral("S5000"));
        QCOMPARE(page->indexOfChild(s5000), 5000);
        const QAccessible::Id id = QAccessible::uniqueId(s5000);

        // Deleting one before it shifts its index; the interface stays.
        Desktop &d = *w.workspace().activeDesktop();
        w.selection().Focused(*d.items[10], false);
        prompt_.answer(ModalResult::OK);
        QVERIFY(w.shortcutCommands().DeleteItem());
        QCOMPARE(page->childCount(), own + 9999);
        QCOMPARE(QAccessible::accessibleInterface(id), s5000);
        QCOMPARE(page->indexOfChild(s5000), 4999);
        QCOMPARE(page->child(4999), s5000);
        QCOMPARE(page->child(10)->text(QAccessible::Name), QStringLiteral("S11"));

        // Deleting it takes its interface along.
        const int before = accessibleItemInterfaces();
        w.selection().Focused(*d.items[4999], false);
        prompt_.answer(ModalResult::OK);
        QVERIFY(w.shortcutCommands().DeleteItem());
        QVERIFY(!QAccessible::accessibleInterface(id));
        QCOMPARE(accessibleItemInterfaces(), before - 1);
        QCOMPARE(page->child(4999)->text(QAccessible::Name), QStringLiteral("S5001"));

        // A paste appends, named once it is done.
        w.selection().Focused(*d.items[0], false);
        w.clipboard().mnuItemCopyClick();
        w.selection().UnFocused();
        w.clipboard().mnuItemPasteClick();
        QCOMPARE(page->childCount(), own + 9999);
        QCOMPARE(page->child(9998)->text(QAccessible::Name), QStringLiteral("S0"));
        QCOMPARE(page->indexOfChild(page->child(9998)), 9998);

        // Another desktop: the old page's interfaces go, the list is its own.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(w.PageControl1());
        press(list->child(1));
        QTRY_COMPARE(w.workspace().activeIndex(), 1);
        QCOMPARE(accessibleItemInterfaces(), 0);
        QVERIFY(childrenWithRole(page, QAccessible::ListItem).isEmpty());
        QCOMPARE(page->text(QAccessible::Name), QStringLiteral("Other"));
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
