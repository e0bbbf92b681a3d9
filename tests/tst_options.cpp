// The option dialogs with a scripted prompt: what OK, Cancel and the live
// controls do to the model and the window, start at logon through the
// autostart entry, the send-to entries, and the number fields.
#include "app/SaveController.h"
#include "platform/GlobalShortcut.h"
#include "options/CommonOptions.h"
#include "options/DesktopOptions.h"
#include "options/NumberField.h"
#include "options/TfrmCommonOptions.h"
#include "options/TfrmDesktopOptions.h"
#include "options/OptionsView.h"
#include "platform/DesktopEntryText.h"
#include "platform/RegistryFile.h"
#include "platform/SendTo.h"
#include "platform/SystemRegistry.h"
#include "storage/ModelJson.h"
#include "support/EnvGuard.h"
#include "support/FakePlatform.h"
#include "support/FakePrompt.h"
#include "support/TempDir.h"
#include "support/WindowFixture.h"
#include "surface/FormMain.h"
#include "surface/HandOffPickup.h"
#include "surface/MainActions.h"
#include "surface/StatusBarMain.h"
#include "surface/TabStrip.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSizeGrip>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QTest>
#include <QUrl>

// GIO names a field "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")
#include <glib.h>

#include <map>
#include <memory>

using namespace vl;
using vl::test::FakePlatform;
using vl::test::FakePrompt;

namespace {

QByteArray settingsWith(const QStringList &captions, int active, const QByteArray &extraGeneral = {})
{
    return vl::test::desktopsSettings(captions, active, extraGeneral);
}

QStringList captionsOf(const Workspace &ws)
{
    QStringList out;
    for (int i = 0; i < ws.desktopCount(); ++i)
        out.append(ws.desktop(i).Desktop_Caption);
    return out;
}

using vl::test::EnvGuard;

// A value of an entry as GKeyFile reads it (its escapes undone).
QString keyValue(const QString &entryText, const char *group, const char *key)
{
    GKeyFile *file = g_key_file_new();
    const QByteArray text = entryText.toUtf8();
    QString out;
    if (g_key_file_load_from_data(file, text.constData(), gsize(text.size()), G_KEY_FILE_NONE, nullptr)) {
        gchar *value = g_key_file_get_string(file, group, key, nullptr);
        out = QString::fromUtf8(value);
        g_free(value);
    }
    g_key_file_free(file);
    return out;
}

// A command line split as GLib's g_shell_parse_argv splits it.
QStringList shellSplit(const QString &line)
{
    QStringList out;
    gint argc = 0;
    gchar **argv = nullptr;
    if (g_shell_parse_argv(line.toUtf8().constData(), &argc, &argv, nullptr)) {
        for (int i = 0; i < argc; ++i)
            out.append(QString::fromUtf8(argv[i]));
        g_strfreev(argv);
    }
    return out;
}

// How a file manager reads an Exec line: the key file's escapes, then the
// shell's quoting, by GLib itself rather than by our own reader.
QStringList execAsFileManagersRead(const QString &entryText, const char *group)
{
    return shellSplit(keyValue(entryText, group, "Exec"));
}

// GLib's launcher: loads the entry as GDesktopAppInfo does (refused: nullopt)
// and runs it on the file, as Thunar's send-to menu and most sessions'
// autostart do; what the started program wrote to record, $0 first.
std::optional<QStringList> launchAsGLibDoes(const QString &entryText, const QString &file, const QString &record)
{
    GKeyFile *keys = g_key_file_new();
    const QByteArray text = entryText.toUtf8();
    GDesktopAppInfo *info = nullptr;
    if (g_key_file_load_from_data(keys, text.constData(), gsize(text.size()), G_KEY_FILE_NONE, nullptr))
        info = g_desktop_app_info_new_from_keyfile(keys);
    g_key_file_free(keys);
    if (!info)
        return std::nullopt;
    GList *files = file.isEmpty() ? nullptr : g_list_append(nullptr, g_file_new_for_path(file.toUtf8().constData()));
    g_app_info_launch(G_APP_INFO(info), files, nullptr, nullptr);
    g_list_free_full(files, g_object_unref);
    g_object_unref(info);
    QElapsedTimer waited;
    waited.start();
    while (!QFileInfo::exists(record) && waited.elapsed() < 10000)
        QTest::qWait(20);
    return QString::fromUtf8(vl::test::readAll(record)).split(QChar(0), Qt::SkipEmptyParts);
}

// What Nemo pastes for a path: each generation quoted it its own way (the
// rules of its get_path(): 4.6 and before, 4.8 to 5.4.1, 5.4.2 on).
QString nemoPath(const QString &generation, const QString &quote, QString path)
{
    const auto backslashBefore = [&path](const QString &chars) {
        QString out;
        for (const QChar c : std::as_const(path))
            out += chars.contains(c) ? QString(QLatin1Char('\\')) + c : QString(c);
        return out;
    };
    if (generation == QLatin1String("4.6") || (generation == QLatin1String("4.8") && quote.isEmpty()))
        return backslashBefore(QStringLiteral("'\""));
    if (generation == QLatin1String("4.8"))
        return path;
    if (quote == QLatin1String("\""))
        return backslashBefore(QStringLiteral("\"\\"));
    if (quote == QLatin1String("'"))
        return path.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return backslashBefore(QStringLiteral(" \t'\"\\#"));
}

// Runs an entry of a reader that does not launch through GLib as that
// reader does, up to the arguments it starts its first word with: KIO
// (Dolphin), the FileManager-Actions readers and the Nemo versions. Each
// reads the Exec value with GKeyFile and splits it with the shell's rules.
QStringList runAsReaderRuns(const QString &reader, const QString &entryText, const QString &file)
{
    const char *group = reader == QLatin1String("Dolphin")               ? "Desktop Action addToVorlane"
                        : reader == QLatin1String("FileManager-Actions") ? "X-Action-Profile profile-zero"
                                                                         : "Nemo Action";
    const QString exec = keyValue(entryText, group, "Exec");
    const QString quoteType = keyValue(entryText, group, "Quote");
    const QString quote = quoteType == QLatin1String("double")   ? QStringLiteral("\"")
                          : quoteType == QLatin1String("single") ? QStringLiteral("'")
                                                                 : QString();
    if (reader == QLatin1String("Dolphin")) {
        // KIO splits first, then expands each word's field codes.
        QStringList args = shellSplit(exec);
        for (QString &a : args)
            a = a == QLatin1String("%f") ? file : a.replace(QLatin1String("%%"), QLatin1String("%"));
        return args;
    }
    // The others paste into the line, then split it. Nemo stops at the first
    // '%' that starts no field code of its own.
    gchar *uri = g_filename_to_uri(file.toUtf8().constData(), nullptr, nullptr);
    const QString address = QString::fromUtf8(uri);
    g_free(uri);
    gchar *quoted = g_shell_quote(file.toUtf8().constData());
    const QString shellQuotedFile = QString::fromUtf8(quoted);
    g_free(quoted);
    const bool nemo = reader.startsWith(QLatin1String("Nemo"));
    QString line;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar code = i + 1 < exec.size() && exec[i] == QLatin1Char('%') ? exec[++i] : QChar();
        if (code.isNull())
            line += exec[i];
        else if (code == QLatin1Char('%'))
            line += QLatin1Char('%');
        else if (!nemo && code == QLatin1Char('f'))
            line += shellQuotedFile;
        else if (nemo && code == QLatin1Char('F'))
            line += quote + nemoPath(reader.mid(5), quote, file) + quote;
        else if (nemo && code == QLatin1Char('U'))
            line += quote + address + quote;
        else
            return shellSplit(line + exec.mid(i - 1));
    }
    return shellSplit(line);
}

// A prompt whose option dialogs cannot be put on screen.
class BrokenOptionsPrompt : public FakePrompt {
protected:
    bool commonOptionsDialog(CommonOptions &) override { throw std::runtime_error("no dialog"); }
    bool desktopOptionsDialog(DesktopOptions &) override { throw std::runtime_error("no dialog"); }
};

} // namespace

class OptionsTest : public QObject, vl::test::WindowFixture {
    Q_OBJECT

    QString status() const { return form_->StatusBar()->saveState(); }
    void commonOptions() { form_->actions()[ActionId::CommonOptions]->trigger(); }
    void desktopOptions() { form_->actions()[ActionId::DesktopOptions]->trigger(); }
    // Where the window shows its tabs: "top" (status bar below, with its
    // size grip), "bottom" (status bar above, without), or "mixed".
    QString tabPlace() const
    {
        const bool top = form_->PageControl1()->shape() == TabStrip::Top;
        const int statusAt = form_->layout()->indexOf(form_->StatusBar());
        const bool grip = form_->StatusBar()->findChild<QSizeGrip *>()->isVisibleTo(form_->StatusBar());
        if (top && statusAt == 2 && grip)
            return QStringLiteral("top");
        if (!top && statusAt == 0 && !grip)
            return QStringLiteral("bottom");
        return QStringLiteral("mixed");
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void init()
    {
        resetWindowFixture();
        platform_.fakeRegistry = vl::test::FakeRegistry();
        platform_.realRegistry = nullptr;
        platform_.sounds.clear();
        platform_.sendToPrograms.clear();
        platform_.sendToResult = FakePlatform().sendToResult;
    }
    void cleanup() { form_.reset(); }

    // ---------------------------------------------------------------- the menu

    void optionsFollowArrangeInTheDesktopMenu()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        QStringList before;
        QMenu *options = nullptr;
        for (QAction *a : w.PopupMenuMain()->actions()) {
            if (a->menu() && a->text() == QLatin1String("Options"))
                options = a->menu();
            before.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QVERIFY(options);
        QCOMPARE(before.indexOf(QStringLiteral("Options")), before.indexOf(QStringLiteral("Arrange Shortcuts")) + 1);
        QCOMPARE(options->actions().size(), 2);
        QCOMPARE(options->actions().at(0)->text(), QStringLiteral("Common Options"));
        QCOMPARE(options->actions().at(1)->text(), QStringLiteral("Desktop Options"));
    }

    void aDialogThatCannotBeCreatedIsReported_data()
    {
        QTest::addColumn<bool>("common");
        QTest::addColumn<QString>("message");
        QTest::newRow("common") << true << QStringLiteral("Error of creating Form of CommonOptions");
        QTest::newRow("desktop") << false << QStringLiteral("Error of creating Form of Background Options");
    }
    void aDialogThatCannotBeCreatedIsReported()
    {
        QFETCH(bool, common);
        QFETCH(QString, message);
        BrokenOptionsPrompt &broken = usePrompt<BrokenOptionsPrompt>();
        TFormMain &w = start(settingsWith({"A"}, 0));
        if (common)
            commonOptions();
        else
            desktopOptions();
        QCOMPARE(broken.count(message), 1);
        QVERIFY(w.workspace().work.ErrorsOccurred);
        QCOMPARE(status(), QStringLiteral("Unmodified"));
    }

    // ---------------------------------------------------------------- common options

    void okWithoutChangesKeepsSettingsInRangeAndReports()
    {
        TFormMain &w = start(settingsWith({"A", "B"}, 0,
                                          "Cell_Height=20\r\nCell_Width=92\r\nWave_File=/x/ding.wav\r\n"
                                          "Tab_Position=0\r\nSingle_Click=1\r\nSingleClick_Time=333\r\n"));
        const GlobalSettings before = w.workspace().global;
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            // The dialog shows the stored value brought into its range.
            TfrmCommonOptions form(o, &w);
            return form.seHeight->value() == 32 && !form.cbTabPosition->isChecked();
        }};
        commonOptions();
        const GlobalSettings &g = w.workspace().global;
        QCOMPARE(g.Cell_Height, 32);
        QCOMPARE(g.Cell_Width, before.Cell_Width);
        QCOMPARE(g.Wave_File, before.Wave_File);
        QCOMPARE(g.Tab_Position, false);
        QCOMPARE(g.Single_Click, true);
        QCOMPARE(g.SingleClick_Time, 333);
        QCOMPARE(g.Leave_Missing, before.Leave_Missing);
        QCOMPARE(g.Auto_Save, before.Auto_Save);
        QCOMPARE(status(), QStringLiteral("Modified"));
        // Neither start at logon nor several copies changed: no registry write.
        QCOMPARE(platform_.fakeRegistry.count(vl::test::FakeRegistry::Call::Write), 0);
        QCOMPARE(platform_.fakeRegistry.count(vl::test::FakeRegistry::Call::Delete), 0);
    }

    void autoAndImmediateSaveExcludeEachOther()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        QTimer &timer = w.saver().tmAutoSaveTimer();
        prompt_.commonOptionsScripts = {
            [&](CommonOptions &o) {
                TfrmCommonOptions form(o, &w);
                form.cbImmediateSave->click();
                form.cbAutoSave->click();
                if (form.cbImmediateSave->isChecked())
                    return false;
                form.seAutoSaveTime->edit()->setText(QStringLiteral("5"));
                form.btnOk->click();
                return form.result() == QDialog::Accepted;
            },
            [&](CommonOptions &o) {
                TfrmCommonOptions form(o, &w);
                if (!form.cbAutoSave->isChecked() || form.seAutoSaveTime->value() != 5)
                    return false;
                form.cbImmediateSave->click();
                return !form.cbAutoSave->isChecked();
            }};
        commonOptions();
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 300000);
        QCOMPARE(w.workspace().global.Immediate_Save, false);
        commonOptions();
        QVERIFY(!timer.isActive());
        QCOMPARE(w.workspace().global.Auto_Save, false);
        QCOMPARE(w.workspace().global.Immediate_Save, true);
    }

    // The tab position, the wrapping of the tabs and the desktop order
    // follow their controls at once; Cancel puts every one of them back in
    // the model and the window alike, OK keeps them.
    void liveChangesLastUntilCancel_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("cancel") << false;
        QTest::newRow("ok") << true;
    }
    void liveChangesLastUntilCancel()
    {
        QFETCH(bool, ok);
        TFormMain &w = start(settingsWith({"C", "A", "B"}, 1));
        Desktop *active = w.workspace().activeDesktop();
        QCOMPARE(tabPlace(), QStringLiteral("top"));
        QString livePlace;
        QStringList liveOrder;
        bool modelFollowed = false;
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            TfrmCommonOptions form(o, &w);
            form.cbTabPosition->click();
            form.cbMultiLineTabs->click();
            // The third caption dragged onto the first, then all sorted.
            form.PageControlCommonOptions->setCurrentWidget(form.lbReorder->parentWidget());
            form.show();
            QListWidget *list = form.lbReorder;
            const QPoint third = list->visualItemRect(list->item(2)).center();
            const QPoint first = list->visualItemRect(list->item(0)).center();
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, third);
            QTest::mouseMove(list->viewport(), first);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, first);
            liveOrder = captionsOf(w.workspace());
            form.mnuSorted->trigger();
            liveOrder += captionsOf(w.workspace());
            for (int i = 0; i < list->count(); ++i) // the list follows
                liveOrder.append(list->item(i)->text());
            livePlace = tabPlace();
            modelFollowed = !w.workspace().global.Tab_Position && w.workspace().global.Tab_Multiline
                            && w.PageControl1()->isMultiline() && w.PageControl1()->tabText(0) == QLatin1String("A");
            return ok;
        }};
        commonOptions();
        QCOMPARE(livePlace, QStringLiteral("bottom"));
        QCOMPARE(liveOrder, QStringList({"B", "C", "A", "A", "B", "C", "A", "B", "C"}));
        QVERIFY(modelFollowed);
        const QStringList order = ok ? QStringList{"A", "B", "C"} : QStringList{"C", "A", "B"};
        QCOMPARE(captionsOf(w.workspace()), order);
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(w.PageControl1()->tabText(i), order[i]);
        QCOMPARE(w.workspace().activeDesktop(), active);
        QCOMPARE(w.PageControl1()->currentIndex(), w.workspace().indexOf(active));
        QCOMPARE(w.surface()->desktop(), active);
        QCOMPARE(tabPlace(), ok ? QStringLiteral("bottom") : QStringLiteral("top"));
        QCOMPARE(w.workspace().global.Tab_Position, !ok);
        QCOMPARE(w.PageControl1()->isMultiline(), ok);
        QCOMPARE(w.workspace().global.Tab_Multiline, ok);
        QCOMPARE(status(), ok ? QStringLiteral("Modified") : QStringLiteral("Unmodified"));
    }

    // Assistive technology ticks a box with toggle(), which emits no click:
    // OK must apply what every box shows.
    void boxesChangedWithoutAClickAreApplied_data()
    {
        QTest::addColumn<QString>("box");
        for (const char *box : {"cbStartup", "cbTabPosition", "cbMultiLineTabs", "cbStatusBarEnabled", "cbDropEnabled",
                                "cbLeaveMissing", "cbAlwaysOnBack", "cbSingleClick", "cbMultiInstance",
                                "cbOpenInNewWindow", "cbAutoSave", "cbImmediateSave", "cbTransparent",
                                "cbBackgroundExists", "rbtnPasswordOnMenu"})
            QTest::newRow(box) << QString::fromLatin1(box);
    }
    void boxesChangedWithoutAClickAreApplied()
    {
        QFETCH(QString, box);
        const QString picture = dir_.filePath(QStringLiteral("bg.png"));
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(picture));
        TFormMain &w = start(vl::test::desktopsSettings(
            {"A"}, 0, {}, {"Password=0\r\nPassword_On_Desktop=1\r\nBackground_Picture=" + picture.toUtf8() + "\r\n"}));
        const GlobalSettings &g = w.workspace().global;
        const DesktopSettings &s = w.workspace().desktop(0).settings;
        const auto registry = [&](const QString &key, const QString &name) {
            const auto value = platform_.fakeRegistry.value(RegistryHive::LocalMachine, key, name);
            return value.value_or(QStringLiteral("(none)"));
        };
        const std::map<QString, std::function<QString()>> shown{
            {"cbStartup", [&] { return registry(CommonOptions::RunKey, CommonOptions::RunValue); }},
            {"cbTabPosition", [&] { return QString::number(g.Tab_Position); }},
            {"cbMultiLineTabs", [&] { return QString::number(g.Tab_Multiline); }},
            {"cbStatusBarEnabled", [&] { return QString::number(g.bStatusBar_Enabled); }},
            {"cbDropEnabled", [&] { return QString::number(g.Drop_Enabled); }},
            {"cbLeaveMissing", [&] { return QString::number(g.Leave_Missing); }},
            {"cbAlwaysOnBack", [&] { return QString::number(g.Always_OnBack); }},
            {"cbSingleClick", [&] { return QString::number(g.Single_Click); }},
            {"cbMultiInstance",
             [&] { return registry(CommonOptions::MultiInstanceKey, CommonOptions::MultiInstanceValue); }},
            {"cbOpenInNewWindow", [&] { return QString::number(g.OpenIn_NewWindow); }},
            {"cbAutoSave", [&] { return QString::number(g.Auto_Save); }},
            {"cbImmediateSave", [&] { return QString::number(g.Immediate_Save); }},
            {"cbTransparent", [&] { return QString::number(s.Transparent); }},
            {"cbBackgroundExists", [&] { return s.Background_Picture; }},
            {"rbtnPasswordOnMenu", [&] { return QString::number(s.Password_On_Desktop); }},
        };
        const QString before = shown.at(box)();
        bool wasChecked = false;
        const auto play = [&](QDialog &form, QPushButton *ok) {
            auto *button = form.findChild<QAbstractButton *>(box);
            QVERIFY(button);
            wasChecked = button->isChecked();
            button->toggle();
            ok->click();
        };
        if (box.startsWith(QLatin1String("cbTransparent")) || box == QLatin1String("cbBackgroundExists")
            || box.startsWith(QLatin1String("rbtn"))) {
            prompt_.desktopOptionsScripts = {[&](DesktopOptions &o) {
                TfrmDesktopOptions form(o, &w);
                play(form, form.btnOK);
                return form.result() == QDialog::Accepted;
            }};
            desktopOptions();
        } else {
            prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
                TfrmCommonOptions form(o, &w);
                play(form, form.btnOk);
                return form.result() == QDialog::Accepted;
            }};
            commonOptions();
        }
        QVERIFY(!wasChecked || !box.startsWith(QLatin1String("rbtn")));
        QVERIFY2(shown.at(box)() != before, qPrintable(box + QStringLiteral(" still ") + before));
        QVERIFY(status() != QLatin1String("Unmodified")); // "Saved" at once with Immediate Save
    }

    void sortingIsAlphabeticalAndKeepsEqualCaptionsInOrder()
    {
        TFormMain &w = start(settingsWith({"beta", "Zeta", "beta", "alpha", "beta"}, 0));
        Workspace &ws = w.workspace();
        // Equal captions, told apart by their colour.
        for (int i = 0; i < ws.desktopCount(); ++i)
            ws.desktop(i).settings.BG_Color = Colour(i);
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            TfrmCommonOptions form(o, &w);
            form.mnuSorted->trigger();
            return true;
        }};
        commonOptions();
        QCOMPARE(captionsOf(ws), QStringList({"alpha", "beta", "beta", "beta", "Zeta"}));
        QList<Colour> colours;
        for (int i = 0; i < ws.desktopCount(); ++i)
            colours.append(ws.desktop(i).settings.BG_Color);
        QCOMPARE(colours, QList<Colour>({3, 0, 2, 4, 1}));
        QCOMPARE(w.PageControl1()->tabText(4), QStringLiteral("Zeta"));
    }

    void moveDesktopKeepsTheActiveRecord_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("order");
        QTest::newRow("forward") << 0 << 2 << "BCAD";
        QTest::newRow("backward") << 3 << 1 << "ADBC";
        QTest::newRow("in place") << 2 << 2 << "ABCD";
        QTest::newRow("out of range") << 1 << 4 << "ABCD";
    }
    void moveDesktopKeepsTheActiveRecord()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, order);
        Workspace ws;
        for (const char *c : {"A", "B", "C", "D"})
            ws.CreateNewTabSheet().Desktop_Caption = QLatin1String(c);
        ws.setActiveIndex(1);
        const Desktop *active = ws.activeDesktop();
        ws.moveDesktop(from, to);
        QCOMPARE(captionsOf(ws).join(QString()), order);
        QCOMPARE(ws.activeDesktop(), active);
    }

    void startAtLogonIsTheAutostartEntry()
    {
        QTemporaryDir config;
        const EnvGuard env("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        SystemRegistry registry(config.filePath(QStringLiteral("registry.ini")));
        platform_.realRegistry = &registry;
        const QString entry = config.filePath(QStringLiteral("autostart/vorlane.desktop"));
        QCOMPARE(SystemRegistry::autostartPath(), entry);
        const QString program = QStringLiteral("/opt/my \"apps\"/$HOME/back\\slash/100%/vorlane");
        TFormMain &w = start(settingsWith({"A"}, 0));
        const auto runOptions = [&](const std::function<void(TfrmCommonOptions &)> &user) {
            prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
                o.setProgramPath(program);
                TfrmCommonOptions form(o, &w);
                user(form);
                form.btnOk->click();
                return form.result() == QDialog::Accepted;
            }};
            commonOptions();
        };

        // Unticked and OK: nothing is created.
        runOptions([](TfrmCommonOptions &f) { QVERIFY(!f.cbStartup->isChecked()); });
        QVERIFY(!QFileInfo::exists(entry));
        // Ticked: the entry starts the program, read back as the run value.
        runOptions([](TfrmCommonOptions &f) { f.cbStartup->click(); });
        QVERIFY(QFileInfo::exists(entry));
        const QString text = QString::fromUtf8(vl::test::readAll(entry));
        // A launcher's "%%" is one "%" once its field codes are expanded.
        QCOMPARE(programOfExec(execAsFileManagersRead(text, "Desktop Entry"))
                     .replace(QStringLiteral("%%"), QStringLiteral("%")),
                 program);
        QCOMPARE(registry.readValue(RegistryHive::LocalMachine, CommonOptions::RunKey, QStringLiteral("VORLANE")),
                 program);
        // The box unchanged: the entry is left exactly as it is.
        vl::test::writeAll(entry, "[Desktop Entry]\nExec=mine\n");
        runOptions([](TfrmCommonOptions &f) { QVERIFY(f.cbStartup->isChecked()); });
        QCOMPARE(vl::test::readAll(entry), QByteArray("[Desktop Entry]\nExec=mine\n"));
        // Unticked: gone.
        runOptions([](TfrmCommonOptions &f) { f.cbStartup->click(); });
        QVERIFY(!QFileInfo::exists(entry));
        QVERIFY(prompt_.texts().filter(QStringLiteral("LoadAtStartup")).isEmpty());

        // An entry that cannot be read or written: the box shows unticked,
        // the messages tell, and the rest of OK applies.
        QVERIFY(QDir().mkpath(entry));
        runOptions([](TfrmCommonOptions &f) {
            QVERIFY(!f.cbStartup->isChecked());
            f.cbStartup->click();
            f.seWidth->edit()->setText(QStringLiteral("100"));
        });
        QCOMPARE(prompt_.count(QStringLiteral("Error in TfrmCommonOptions.CheckLoadAtStartup")), 1);
        QCOMPARE(prompt_.count(QStringLiteral("Error in TfrmCommonOptions.LoadAtStartup")), 1);
        QCOMPARE(w.workspace().global.Cell_Width, 100);
        QCOMPARE(status(), QStringLiteral("Modified"));
    }

    void multiInstanceIsWrittenWhereStartUpReadsIt()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            TfrmCommonOptions form(o, &w);
            form.cbMultiInstance->click();
            return true;
        }};
        commonOptions();
        QCOMPARE(platform_.fakeRegistry.value(RegistryHive::LocalMachine, QStringLiteral("Software\\Quendry\\Vorlane"),
                                              QStringLiteral("multiinstance")),
                 QStringLiteral("1"));
        platform_.fakeRegistry.failWrites = true;
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            o.values().multiInstance = false;
            return true;
        }};
        commonOptions();
        QVERIFY(w.workspace().work.ErrorsOccurred);
        QCOMPARE(prompt_.calls.last().kind, FakePrompt::Call::Message);
        QCOMPARE(status(), QStringLiteral("Modified"));
    }

    // The key that calls the window from anywhere: Ctrl+Alt+Space until
    // another is chosen, kept with the other switches outside the settings
    // file, and none once it is switched off; the page says why a desktop
    // that lets no program take a key needs its own binding.
    void theToggleKeyIsChosenAndSwitchedOff()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        const auto stored = [&] {
            return platform_.fakeRegistry.value(RegistryHive::CurrentUser, GlobalShortcut::RegistryKey,
                                                GlobalShortcut::RegistryValue);
        };
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) -> bool {
            TfrmCommonOptions form(o, &w);
            [&] {
                QVERIFY(form.cbToggleKey->isChecked());
                QCOMPARE(form.editToggleKey->keySequence(), QKeySequence(QStringLiteral("Ctrl+Alt+Space")));
                // Offscreen there is no X11 to take a key from.
                QVERIFY(form.lblToggleKeyNote->text().contains(QStringLiteral("vorlane --toggle")));
                QVERIFY(form.lblToggleKeyNote->text().contains(QStringLiteral("keyboard settings")));
            }();
            form.editToggleKey->setFocus();
            QTest::keyClick(form.editToggleKey, Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
            QTest::keyClick(form.editToggleKey, Qt::Key_T, Qt::MetaModifier);
            form.btnOk->click();
            return true;
        }};
        commonOptions();
        QCOMPARE(stored(), QStringLiteral("Meta+T"));

        prompt_.commonOptionsScripts = {[&](CommonOptions &o) -> bool {
            TfrmCommonOptions form(o, &w);
            [&] { QCOMPARE(form.editToggleKey->keySequence(), QKeySequence(QStringLiteral("Meta+T"))); }();
            form.cbToggleKey->toggle();
            [&] { QVERIFY(!form.editToggleKey->isEnabled()); }();
            return true;
        }};
        commonOptions();
        QCOMPARE(stored(), QString());
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) -> bool {
            TfrmCommonOptions form(o, &w);
            [&] { QVERIFY(!form.cbToggleKey->isChecked()); }();
            return false;
        }};
        commonOptions();
        QCOMPARE(stored(), QString());
    }

    void sendToAndSoundGoThroughThePlatform()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        prompt_.fileAnswers = {QStringLiteral("/sounds/ding.wav")};
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            o.setProgramPath(QStringLiteral("/usr/bin/vorlane"));
            TfrmCommonOptions form(o, &w);
            form.btnCreateSendTo->click();
            platform_.sendToResult = {};
            form.btnCreateSendTo->click();
            form.btnWaveFileOpen->click();
            form.btnTest->click();
            return false;
        }};
        commonOptions();
        QCOMPARE(platform_.sendToPrograms, QStringList({"/usr/bin/vorlane", "/usr/bin/vorlane"}));
        // Only the one that wrote nothing says so.
        QCOMPARE(prompt_.count(QStringLiteral("Unable to create shortcut file")), 1);
        QCOMPARE(prompt_.fileDialogs.value(0).filter, QStringLiteral("Wav Files (*.wav)|*.wav"));
        QCOMPARE(platform_.sounds, QStringList({"/sounds/ding.wav"}));
        // Cancelled: the chosen file is not kept.
        QVERIFY(w.workspace().global.Wave_File.isEmpty());
    }

    void loadFromRegistryAsksFirst()
    {
        TFormMain &w = start(settingsWith({"A", "B"}, 1));
        const QString garbage = dir_.filePath(QStringLiteral("garbage.reg"));
        vl::test::writeAll(garbage, "not a registry export\n");
        prompt_.fileAnswers = {std::nullopt, garbage};
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            TfrmCommonOptions form(o, &w);
            form.btnFromReg->click();
            form.btnFromReg->click();
            return false;
        }};
        commonOptions();
        QCOMPARE(prompt_.fileDialogs.size(), 2);
        QVERIFY(prompt_.fileDialogs.first().filter.startsWith(QStringLiteral("Registry exports (*.reg)|*.reg")));
        // Neither the cancelled choice nor the file that is no export touched a desktop.
        QCOMPARE(captionsOf(w.workspace()), QStringList({"A", "B"}));
        QCOMPARE(w.workspace().activeIndex(), 1);
        QCOMPARE(prompt_.calls.last().kind, FakePrompt::Call::Message);
        QVERIFY(prompt_.calls.last().text.contains(garbage));
    }

    // A file that would not import is refused before any desktop goes: the
    // window, the model and the settings file stay exactly as they were.
    void loadFromRegistryRefusesWhatWouldNotImport_data()
    {
        QTest::addColumn<QByteArray>("registry");
        QTest::addColumn<QString>("why");
        QTest::newRow("no key of the older versions")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"a\"=\"b\"\r\n")
            << QStringLiteral("no key HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane");
        // The first desktop imports; the second one's font stops the import.
        QTest::newRow("an import error part-way")
            << QByteArray("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\General]\r\n"
                          "\"Page_Count\"=dword:00000002\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page0]\r\n\"Desktop_Caption\"=\"Old\"\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page1]\r\n\"ShortcutFont\"=\"Arial\"\r\n")
            << QStringLiteral("ShortcutFont of HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page1");
    }
    void loadFromRegistryRefusesWhatWouldNotImport()
    {
        QFETCH(QByteArray, registry);
        QFETCH(QString, why);
        const QString reg = dir_.filePath(QStringLiteral("old.reg"));
        vl::test::writeAll(reg, registry);
        TFormMain &w = start(vl::test::desktopsSettings(
            {"A", "B"}, 1, {}, {"Item_CountTrue=1\r\n\r\n[Page0\\Item1]\r\nAttachedFile=/bin/sh\r\n", {}}));
        w.mnuSaveClick();
        const QByteArray file = vl::test::readAll(path_);
        const std::string model = modelToJson(w.workspace());
        prompt_.fileAnswers = {reg};
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) { o.btnFromRegClick(); return false; }};
        commonOptions();
        QCOMPARE(modelToJson(w.workspace()), model);
        QCOMPARE(w.PageControl1()->count(), 2);
        QCOMPARE(status(), QStringLiteral("Saved"));
        QVERIFY(!w.workspace().work.ErrorsOccurred);
        // Told once, naming the file and the reason.
        QCOMPARE(prompt_.texts().filter(CommonOptions::ImportRefused + reg + QStringLiteral(": ")).size(), 1);
        QCOMPARE(prompt_.texts().filter(why).size(), 1);
        // Nothing for the next save to write either.
        w.mnuSaveClick();
        QCOMPARE(vl::test::readAll(path_), file);
    }

    void loadFromRegistryReplacesTheDesktops()
    {
        const QString reg = dir_.filePath(QStringLiteral("old.reg"));
        vl::test::writeAll(reg, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\General]\r\n"
                                "\"Page_Count\"=dword:00000001\r\n\"Cell_Height\"=dword:00000028\r\n\r\n"
                                "[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane\\Page0]\r\n"
                                "\"Desktop_Caption\"=\"Old\"\r\n\r\n");
        if (!RegistryFile::read(reg))
            QSKIP("the registry export reader cannot read this export in this tree");
        TFormMain &w = start(settingsWith({"A", "B"}, 1));
        w.mnuSaveClick();
        QCOMPARE(status(), QStringLiteral("Saved"));
        prompt_.fileAnswers = {reg};
        int heightShown = 0;
        prompt_.commonOptionsScripts = {[&](CommonOptions &o) {
            TfrmCommonOptions form(o, &w);
            form.btnFromReg->click();
            heightShown = form.seHeight->value();
            return false;
        }};
        commonOptions();
        QCOMPARE(captionsOf(w.workspace()), QStringList({"Old"}));
        QCOMPARE(w.PageControl1()->count(), 1);
        QCOMPARE(w.surface()->desktop(), w.workspace().activeDesktop());
        QCOMPARE(heightShown, 40);
        QCOMPARE(status(), QStringLiteral("Unmodified"));
    }

    // ---------------------------------------------------------------- desktop options

    void untouchedOkKeepsTheCaptionLook()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        DesktopSettings &s = w.workspace().desktop(0).settings;
        s.Transparent = true;
        s.BG_Shortcut = 0x123456;
        s.BG_Color = 0x00ff00;
        const FontSpec font = s.ShortcutFont;
        QString caption;
        prompt_.desktopOptionsScripts = {[&](DesktopOptions &o) {
            TfrmDesktopOptions form(o, &w);
            caption = form.windowTitle();
            return true;
        }};
        desktopOptions();
        QCOMPARE(caption, QStringLiteral("A Desktop Options"));
        QCOMPARE(s.Transparent, true);
        QCOMPARE(s.BG_Shortcut, Colour(0x123456));
        QCOMPARE(s.BG_Color, Colour(0x00ff00));
        QVERIFY(s.ShortcutFont == font);
        QCOMPARE(status(), QStringLiteral("Modified"));
    }

    void aNewFontChangesOnlyTheFont()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        DesktopSettings &s = w.workspace().desktop(0).settings;
        s.Transparent = false;
        s.BG_Shortcut = 0x0000ff;
        FontSpec chosen = s.ShortcutFont;
        chosen.Name = QStringLiteral("DejaVu Serif");
        chosen.Size = 14;
        prompt_.fontAnswers = {chosen};
        prompt_.desktopOptionsScripts = {[&](DesktopOptions &o) {
            TfrmDesktopOptions form(o, &w);
            form.btnShortcutFont->click();
            return true;
        }};
        desktopOptions();
        QVERIFY(s.ShortcutFont == chosen);
        QVERIFY(w.workspace().global.ShortcutFont == chosen); // desktops made later get it too
        QCOMPARE(s.Transparent, false);
        QCOMPARE(s.BG_Shortcut, Colour(0x0000ff));
        QCOMPARE(w.surface()->captionStyle().font.family(), QStringLiteral("DejaVu Serif"));
    }

    void thePictureFollowsItsBox()
    {
        const QString picture = dir_.filePath(QStringLiteral("bg.png"));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(picture));
        const QString notAPicture = dir_.filePath(QStringLiteral("bg.wmf"));
        vl::test::writeAll(notAPicture, "no picture in here");
        TFormMain &w = start(settingsWith({"A"}, 0));
        DesktopSettings &s = w.workspace().desktop(0).settings;
        s.Background_Picture = picture;
        QList<bool> shown;
        // Untick and tick again before OK: the picture is read from its file again.
        prompt_.desktopOptionsScripts = {
            [&](DesktopOptions &o) {
                TfrmDesktopOptions form(o, &w);
                shown << form.cbBackgroundExists->isChecked() << !o.preview().picture.isNull();
                form.cbBackgroundExists->click();
                shown << !o.preview().picture.isNull();
                form.cbBackgroundExists->click();
                shown << !o.preview().picture.isNull();
                return true;
            },
            [&](DesktopOptions &o) {
                TfrmDesktopOptions form(o, &w);
                form.cbBackgroundExists->click();
                return true;
            },
            [&](DesktopOptions &o) {
                TfrmDesktopOptions form(o, &w);
                form.btnPicture->click();
                shown << form.cbBackgroundExists->isChecked() << !o.preview().picture.isNull();
                return true;
            }};
        prompt_.fileAnswers = {notAPicture};
        desktopOptions();
        QCOMPARE(s.Background_Picture, picture);
        desktopOptions();
        QVERIFY(s.Background_Picture.isEmpty());
        // A file this platform cannot decode: no picture, its path kept.
        desktopOptions();
        QCOMPARE(s.Background_Picture, notAPicture);
        QCOMPARE(shown, QList<bool>({true, true, false, true, true, false}));
        QVERIFY(prompt_.fileDialogs.first().filter.startsWith(DesktopOptions::ClassicPictureFilter + "|"));
        QVERIFY(prompt_.fileDialogs.first().filter.contains(QStringLiteral("*.png")));
    }

    void thePasswordStaysWhenTheRestIsCancelled()
    {
        TFormMain &w = start(settingsWith({"A"}, 0));
        DesktopSettings &s = w.workspace().desktop(0).settings;
        s.BG_Color = 0x101010;
        prompt_.passwordDialogAnswers = {QStringLiteral("1234")};
        prompt_.colourAnswers = {Colour(0xabcdef)};
        QList<bool> radios;
        prompt_.desktopOptionsScripts = {[&](DesktopOptions &o) {
            TfrmDesktopOptions form(o, &w);
            radios << form.rbtnPasswordOnDesktop->isChecked() << form.rbtnPasswordOnMenu->isChecked();
            form.btnBGColor->click();
            form.btnPassword->click();
            form.rbtnPasswordOnMenu->click();
            radios << form.rbtnPasswordOnDesktop->isChecked() << form.rbtnPasswordOnMenu->isChecked();
            return false;
        }};
        desktopOptions();
        QCOMPARE(radios, QList<bool>({false, false, false, true}));
        QCOMPARE(prompt_.passwordDialogStored, QStringList({QString()}));
        QCOMPARE(s.Password, QStringLiteral("1234"));
        QCOMPARE(s.Password_On_Desktop, 0);
        QCOMPARE(s.BG_Color, Colour(0x101010));
        // The password dialog reported its change itself.
        QCOMPARE(status(), QStringLiteral("Modified"));
    }

    void theRadioButtonsShowAPasswordTextsMode_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("shown");
        QTest::newRow("none") << QString() << 1 << int(DesktopOptions::PasswordMode::None);
        QTest::newRow("zero on desktop") << "0" << 1 << int(DesktopOptions::PasswordMode::OnDesktop);
        QTest::newRow("set on menu") << "812" << 0 << int(DesktopOptions::PasswordMode::OnMenu);
        QTest::newRow("set, mode 2") << "812" << 2 << int(DesktopOptions::PasswordMode::OnDesktop);
    }
    void theRadioButtonsShowAPasswordTextsMode()
    {
        QFETCH(QString, password);
        QFETCH(int, mode);
        QFETCH(int, shown);
        Workspace ws;
        ws.CreateNewTabSheet();
        ws.desktop(0).settings.Password = password;
        ws.desktop(0).settings.Password_On_Desktop = mode;
        struct : OptionsView {
            void lookChanged() override {}
            void desktopOrderChanged() override {}
            void applyAutoSave() override {}
            void Modified() override {}
            void Unmodified() override {}
            void desktopsClearing() override {}
            void importRegistry(const RegistryFile &) override {}
            void RefreshShortcutFont() override {}
            void backgroundChanged(const Desktop &) override {}
        } view;
        DesktopOptions o(ws, prompt_, view);
        o.open();
        QCOMPARE(int(o.passwordMode()), shown);
    }

    // ---------------------------------------------------------------- number fields

    void numberFieldsReadTheirText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("in range") << " 42 " << 42;
        QTest::newRow("plus sign") << "+40" << 40;
        QTest::newRow("pasted words") << "eighty" << 32;
        QTest::newRow("digits, then words") << "80px" << 32;
        QTest::newRow("nothing") << "" << 32;
        QTest::newRow("negative") << "-500" << 32;
        QTest::newRow("above") << "5000" << 1000;
        QTest::newRow("huge") << "123456789012345678901234567890" << 1000;
        QTest::newRow("huge negative") << "-123456789012345678901234567890" << 32;
    }
    void numberFieldsReadTheirText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        NumberField field(32, 1000);
        field.setValue(500);
        // Pasted whole, as a paste arrives: any text may stand while editing.
        field.edit()->selectAll();
        field.edit()->insert(text);
        QCOMPARE(field.edit()->text(), text);
        QCOMPARE(field.current(), value);
        // Leaving the field brings it into its range.
        QEvent focusOut(QEvent::FocusOut);
        QCoreApplication::sendEvent(&field, &focusOut);
        field.interpretText();
        QCOMPARE(field.value(), value);
        QCOMPARE(field.edit()->text(), QString::number(value));
    }

    // ---------------------------------------------------------------- send-to entries

    void sendToWritesTheSameEntriesTwice()
    {
        QTemporaryDir data;
        const QString program = QStringLiteral("/opt/a b/it's \"$x\"\\100%/vorlane");
        // Thunar and Nemo are installed; Nautilus has run before; Dolphin and
        // the FileManager-Actions readers are nowhere.
        QVERIFY(QDir(data.path()).mkpath(QStringLiteral("nautilus")));
        SendToInstaller installer(data.path(), [](const QString &p) { return p == "thunar" || p == "nemo"; });
        const SendToResult first = installer.install(program);
        const auto listing = [&] {
            QStringList files;
            QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files.append(QDir(data.path()).relativeFilePath(it.next()));
            files.sort();
            return files;
        };
        const QStringList afterFirst = listing();
        QCOMPARE(afterFirst, QStringList({"Thunar/sendto/vorlane.desktop", "nautilus/scripts/vorlane",
                                          "nemo/actions/vorlane.nemo_action"}));
        QCOMPARE(first.written.size(), 3);
        QVERIFY(first.failed.isEmpty());
        const QByteArray thunar = vl::test::readAll(data.filePath(afterFirst[0]));
        const SendToResult second = installer.install(program);
        QCOMPARE(second.written, first.written);
        QCOMPARE(listing(), afterFirst);
        QCOMPARE(vl::test::readAll(data.filePath(afterFirst[0])), thunar);
        QVERIFY(QFileInfo(data.filePath(afterFirst[1])).isExecutable());

        // Never an application entry that would claim file types.
        for (const SendToInstaller::Entry &e : SendToInstaller::entries(program))
            QVERIFY(!e.text.contains(QStringLiteral("Type=Application\nMimeType")));
    }

    // Every entry, read and run as its reader reads and runs it, starts the
    // program at its path with "--" and something the hand-off takes for
    // the file, whatever characters the program's path and the file's name
    // hold. GLib's launcher (Thunar, the autostart of most sessions) refuses
    // an entry whose first word names no program; Nemo pastes the file into
    // its Exec line, quoted as each of its versions did, before it splits it.
    void eachEntryStartsTheProgramWithTheFile_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        const QStringList readers{"Thunar", "Dolphin", "Nemo 4.6", "Nemo 4.8", "Nemo 5.6", "FileManager-Actions",
                                  "Nautilus"};
        const QStringList folders{"bin", "100% \"odd\" it's $HOME `x` \\"};
        const QStringList names{"it's.txt", "ends in \\", "say \"hi\".txt", "$HOME `date`.txt", "100%F %U.txt",
                                "Привет мир.txt", "tab\there #1.txt"};
        for (const QString &folder : folders) {
            QTest::addRow("autostart, %s", qPrintable(folder)) << "autostart" << folder << QString();
            for (const QString &reader : readers)
                for (const QString &name : names)
                    QTest::addRow("%s, %s, %s", qPrintable(reader), qPrintable(folder), qPrintable(name))
                        << reader << folder << name;
        }
    }
    void eachEntryStartsTheProgramWithTheFile()
    {
        QFETCH(QString, reader);
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QTemporaryDir root;
        const QDir dir(root.path());
        // A program that writes down how it was started.
        const QString record = dir.filePath(QStringLiteral("record"));
        const QString program = dir.filePath(folder + QStringLiteral("/vorlane"));
        QVERIFY(dir.mkpath(folder) && dir.mkpath(QStringLiteral("files")));
        QVERIFY(vl::test::writeAll(program, "#!/bin/sh\nprintf '%s\\0' \"$0\" \"$@\" >'" + record.toUtf8()
                                                + ".part' && mv '" + record.toUtf8() + ".part' '" + record.toUtf8()
                                                + "'\n"));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QString file = name.isEmpty() ? QString() : dir.filePath(QStringLiteral("files/") + name);
        if (!file.isEmpty())
            QVERIFY(vl::test::writeAll(file, "x"));

        QString text;
        for (const SendToInstaller::Entry &e : SendToInstaller::entries(program)) {
            if (reader.startsWith(e.fileManager))
                text = e.text;
        }
        if (reader == QLatin1String("autostart"))
            text = SystemRegistry::autostartEntry(program);
        QVERIFY(!text.isEmpty());

        QStringList started; // as the program got it, $0 first
        if (reader == QLatin1String("Thunar") || reader == QLatin1String("autostart")) {
            const std::optional<QStringList> launched = launchAsGLibDoes(text, file, record);
            QVERIFY2(launched, "GLib refused the entry");
            started = *launched;
        } else if (reader == QLatin1String("Nautilus")) {
            const QString script = dir.filePath(QStringLiteral("script"));
            QVERIFY(vl::test::writeAll(script, text.toUtf8()));
            QCOMPARE(QProcess::execute(QStringLiteral("/bin/sh"), {script, file}), 0);
            started = QString::fromUtf8(vl::test::readAll(record)).split(QChar(0), Qt::SkipEmptyParts);
        } else {
            started = runAsReaderRuns(reader, text, file);
            // What the reader starts: env starts the program after it.
            if (started.value(0) == QLatin1String("env"))
                started.removeFirst();
        }
        QStringList expected{program};
        if (!file.isEmpty())
            expected.append(QStringLiteral("--"));
        QCOMPARE(started.mid(0, expected.size()), expected);
        QCOMPARE(started.size(), expected.size() + (file.isEmpty() ? 0 : 1));
        if (file.isEmpty())
            return;
        const std::optional<HandedPath> handed = longFormOf(started.last().toUtf8());
        QVERIFY2(handed, qPrintable(started.last()));
        QCOMPARE(handed->caption, name);
        QCOMPARE(handed->path, QFileInfo(file).canonicalFilePath());
    }

    // A file manager hands over a local file's address; it names that file,
    // while any other address stays an address.
    void aLocalFilesAddressIsThatFile()
    {
        const QString folder = QFileInfo(dir_.path()).canonicalFilePath();
        const QString file = folder + QStringLiteral("/a b#1%.txt");
        QVERIFY(vl::test::writeAll(file, "x"));
        const QString address = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
        QVERIFY(address.contains(QLatin1String("%20")));
        const QString viaLocalhost = QStringLiteral("file://localhost") + address.mid(7);
        for (const QString &handed : {address, viaLocalhost}) {
            const std::optional<HandedPath> local = longFormOf(handed.toUtf8());
            QVERIFY2(local, qPrintable(handed));
            QCOMPARE(local->path, file);
            QCOMPARE(local->caption, QStringLiteral("a b#1%.txt"));
        }
        QCOMPARE(longFormOf("file://server/share/x.txt")->path, QStringLiteral("file://server/share/x.txt"));
        QVERIFY(!longFormOf(QUrl::fromLocalFile(folder + QStringLiteral("/missing.txt")).toEncoded()));
    }
};

QTEST_MAIN(OptionsTest)
#include "tst_options.moc"
