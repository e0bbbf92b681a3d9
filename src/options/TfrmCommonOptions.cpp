#include "options/TfrmCommonOptions.h"

#include "options/CommonOptions.h"
#include "options/NumberField.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vl {

// ------------------------------------------------------------------ list

ReorderList::ReorderList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Items run down the first column, then down the second.
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
}

void ReorderList::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    const int row = fontMetrics().height() + 4;
    setGridSize(QSize(std::max(1, viewport()->width() / 2), row));
}

void ReorderList::mousePressEvent(QMouseEvent *event)
{
    QListWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    dragged_ = currentRow();
    dragging_ = true;
    QApplication::setOverrideCursor(Qt::DragMoveCursor);
}

void ReorderList::endDrag()
{
    if (dragging_)
        QApplication::restoreOverrideCursor();
    dragged_ = -1;
    dragging_ = false;
}

void ReorderList::mouseReleaseEvent(QMouseEvent *event)
{
    QListWidget::mouseReleaseEvent(event);
    const int from = dragged_;
    const bool wasDragging = dragging_;
    endDrag();
    if (!wasDragging || from < 0)
        return;
    // The item under the pointer; past the last one, the one selected.
    const QModelIndex under = indexAt(event->position().toPoint());
    const int to = under.isValid() ? under.row() : currentRow();
    if (to >= 0)
        emit moveRequested(from, to);
}

// ------------------------------------------------------------------ dialog

namespace {

QCheckBox *checkBox(const char *name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        box->setToolTip(hint);
    return box;
}

QPushButton *button(const char *name, const QString &caption, const QString &hint, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

NumberField *numberField(const char *name, CommonOptions::Range range, const QString &hint, QWidget *parent)
{
    auto *f = new NumberField(range.min, range.max, parent);
    f->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        f->setToolTip(hint);
    return f;
}

QLabel *wrappedLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

TfrmCommonOptions::TfrmCommonOptions(CommonOptions &options, QWidget *mainWindow)
    : PlacedDialog(mainWindow, nullptr), options_(options)
{
    setObjectName(QStringLiteral("frmCommonOptions"));
    setWindowTitle(QStringLiteral("Common Options"));
    auto *layout = new QVBoxLayout(this);
    PageControlCommonOptions = new QTabWidget(this);
    PageControlCommonOptions->setObjectName(QStringLiteral("PageControlCommonOptions"));
    // All seven page tabs in view: the fixed size grows to hold them.
    PageControlCommonOptions->setUsesScrollButtons(false);
    layout->addWidget(PageControlCommonOptions);

    // "Common"
    auto *common = new QWidget;
    auto *cl = new QGridLayout(common);
    cbStartup = checkBox("cbStartup", QStringLiteral("Load at startup"), QStringLiteral("Load of program at startup"), common);
    cbTabPosition = checkBox("cbTabPosition", QStringLiteral("Tabs position on top"), QStringLiteral("Tabs position on top"), common);
    cbMultiLineTabs = checkBox("cbMultiLineTabs", QStringLiteral("Multiline tabs"),
                               QStringLiteral("MultiLine determines whether the tabs can appear on more than one row"), common);
    cbStatusBarEnabled = checkBox("cbStatusBarEnabled", QStringLiteral("Status Bar Enabled"),
                                  QStringLiteral("Show or not Status Bar adown"), common);
    cbDropEnabled = checkBox("cbDropEnabled", QStringLiteral("Drop Enabled"),
                             QStringLiteral("Possibility to drop shortcut on shortcut for start of execute"), common);
    cbLeaveMissing = checkBox("cbLeaveMissing", QStringLiteral("Leave missing shortcut"),
                              QStringLiteral("Leave or not shortcut of missing file"), common);
    btnTabFont = button("btnTabFont", QStringLiteral("Font of Tabs"), QStringLiteral("Changing a font of Tab"), common);
    btnCreateSendTo = button("btnCreateSendTo", QStringLiteral("Send To"), QStringLiteral("Create shortcut in SendTo folder"), common);
    cbAlwaysOnBack = checkBox("cbAlwaysOnBack", QStringLiteral("Always on Background"),
                              QStringLiteral("Like usual Desktop remains on background always"), common);
    cbAlwaysOnBack->setVisible(false);
    cbSingleClick = checkBox("cbSingleClick", QStringLiteral("Singe Click"),
                             QStringLiteral("Activate an icon with a single left mouse click"), common);
    seSingleClickTime = numberField("seSingleClickTime", CommonOptions::SingleClickTimeRange,
                                    QStringLiteral("Time of left mouse click"), common);
    cbMultiInstance = checkBox("cbMultiInstance", QStringLiteral("Multi Instance"),
                               QStringLiteral("Possible run several copies of program"), common);
    cl->addWidget(cbStartup, 0, 0);
    cl->addWidget(cbTabPosition, 1, 0);
    cl->addWidget(cbMultiLineTabs, 2, 0);
    cl->addWidget(cbStatusBarEnabled, 3, 0);
    cl->addWidget(cbDropEnabled, 4, 0);
    cl->addWidget(cbLeaveMissing, 5, 0);
    cl->addWidget(btnTabFont, 0, 1);
    cl->addWidget(btnCreateSendTo, 1, 1);
    cl->addWidget(cbSingleClick, 2, 1);
    cl->addWidget(seSingleClickTime, 3, 1);
    cl->addWidget(cbMultiInstance, 4, 1);
    cl->setRowStretch(6, 1);
    PageControlCommonOptions->addTab(common, QStringLiteral("Common"));

    // "Internet"
    auto *internet = new QWidget;
    auto *il = new QVBoxLayout(internet);
    cbOpenInNewWindow = checkBox("cbOpenInNewWindow", QStringLiteral("Open url in new window"), QString(), internet);
    il->addWidget(cbOpenInNewWindow);
    il->addStretch();
    PageControlCommonOptions->addTab(internet, QStringLiteral("Internet"));

    // "Reorder"
    auto *reorder = new QWidget;
    auto *rl = new QVBoxLayout(reorder);
    lbReorder = new ReorderList(reorder);
    lbReorder->setObjectName(QStringLiteral("lbReorder"));
    lbReorder->setToolTip(QStringLiteral("Move tab caption in necessary position"));
    lbReorder->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenuReorder = new QMenu(lbReorder);
    PopupMenuReorder->setObjectName(QStringLiteral("PopupMenuReorder"));
    PopupMenuReorder->setToolTipsVisible(true);
    mnuSorted = PopupMenuReorder->addAction(QStringLiteral("Sorted in alphabetical"));
    mnuSorted->setObjectName(QStringLiteral("mnuSorted"));
    mnuSorted->setToolTip(QStringLiteral("Sorted in alphabetical order"));
    mnuSorted->setStatusTip(QStringLiteral("Sorted in alphabetical order"));
    rl->addWidget(lbReorder);
    PageControlCommonOptions->addTab(reorder, QStringLiteral("Reorder"));

    // "Grid"
    auto *grid = new QWidget;
    auto *gl = new QGridLayout(grid);
    seHeight = numberField("seHeight", CommonOptions::CellRange, QString(), grid);
    seWidth = numberField("seWidth", CommonOptions::CellRange, QString(), grid);
    gl->addWidget(new QLabel(QStringLiteral("Height"), grid), 0, 0);
    gl->addWidget(seHeight, 0, 1);
    gl->addWidget(wrappedLabel(QStringLiteral("Height specifies the vertical size in pixels of the cell in grid"), grid), 0, 2);
    gl->addWidget(new QLabel(QStringLiteral("Width"), grid), 1, 0);
    gl->addWidget(seWidth, 1, 1);
    gl->addWidget(wrappedLabel(QStringLiteral("Width specifies the width in pixels of the cell in grid"), grid), 1, 2);
    gl->addWidget(wrappedLabel(QStringLiteral("Location of shortcut is fastenned to certain cell, than more sizes of "
                                              "cell, that more distance between shortcuts."),
                               grid),
                  2, 0, 1, 3);
    gl->setColumnStretch(2, 1);
    gl->setRowStretch(3, 1);
    PageControlCommonOptions->addTab(grid, QStringLiteral("Grid"));

    // "Sound"
    auto *sound = new QWidget;
    auto *sl = new QHBoxLayout(sound);
    editWaveFile = new QLineEdit(sound);
    editWaveFile->setObjectName(QStringLiteral("editWaveFile"));
    btnTest = button("btnTest", QStringLiteral("Test"), QString(), sound);
    btnWaveFileOpen = button("btnWaveFileOpen", QStringLiteral("Open"), QString(), sound);
    sl->addWidget(editWaveFile, 1);
    sl->addWidget(btnTest);
    sl->addWidget(btnWaveFileOpen);
    auto *soundPage = new QWidget;
    auto *spl = new QVBoxLayout(soundPage);
    spl->addWidget(sound);
    spl->addStretch();
    PageControlCommonOptions->addTab(soundPage, QStringLiteral("Sound"));

    // "Compatibility"
    auto *compat = new QWidget;
    auto *pl = new QVBoxLayout(compat);
    pl->addWidget(new QLabel(QStringLiteral("If You have previous version earlier than 1.7 "), compat));
    pl->addWidget(new QLabel(QStringLiteral("(in which information is kept in registry)"), compat));
    btnFromReg = button("btnFromReg", QStringLiteral("Load from Registry"), QStringLiteral("Loads configuration from registry"), compat);
    pl->addWidget(btnFromReg, 0, Qt::AlignLeft);
    pl->addStretch();
    PageControlCommonOptions->addTab(compat, QStringLiteral("Compatibility"));

    // "Keys": the one key that calls the window from anywhere.
    auto *keys = new QWidget;
    auto *kl = new QGridLayout(keys);
    cbToggleKey = checkBox("cbToggleKey", QStringLiteral("Show or hide the window from anywhere with"),
                           QStringLiteral("A key that works whatever window has the focus"), keys);
    editToggleKey = new QKeySequenceEdit(keys);
    editToggleKey->setObjectName(QStringLiteral("editToggleKey"));
    editToggleKey->setAccessibleName(QStringLiteral("Key"));
    lblToggleKeyNote = wrappedLabel(QString(), keys);
    lblToggleKeyNote->setObjectName(QStringLiteral("lblToggleKeyNote"));
    kl->addWidget(cbToggleKey, 0, 0);
    kl->addWidget(editToggleKey, 0, 1);
    kl->addWidget(lblToggleKeyNote, 1, 0, 1, 2);
    kl->setRowStretch(2, 1);
    kl->setColumnStretch(1, 1);
    PageControlCommonOptions->addTab(keys, QStringLiteral("Keys"));

    // "Save"
    auto *save = new QWidget;
    auto *vl = new QGridLayout(save);
    cbAutoSave = checkBox("cbAutoSave", QStringLiteral("Auto save (minutes)"), QStringLiteral("Settings auto save"), save);
    seAutoSaveTime = numberField("seAutoSaveTime", CommonOptions::AutoSaveTimeRange, QStringLiteral("Time of auto save"), save);
    cbImmediateSave = checkBox("cbImmediateSave", QStringLiteral("Immediate Save"),
                               QStringLiteral("All change will be immediately saved"), save);
    vl->addWidget(cbAutoSave, 0, 0);
    vl->addWidget(seAutoSaveTime, 0, 1);
    vl->addWidget(cbImmediateSave, 1, 0);
    vl->setRowStretch(2, 1);
    vl->setColumnStretch(2, 1);
    PageControlCommonOptions->addTab(save, QStringLiteral("Save"));

    auto *row = new QHBoxLayout;
    row->addStretch();
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);
    row->addWidget(btnOk);
    row->addWidget(btnCancel);
    layout->addLayout(row);

    showValues();

    // The boxes report through toggled, not clicked: assistive technology
    // ticks a box with toggle(), which never clicks, and OK must apply what
    // the boxes show however they were changed.
    CommonOptionsValues &v = options_.values();
    connect(cbStartup, &QCheckBox::toggled, this, [&v](bool on) { v.startup = on; });
    connect(cbTabPosition, &QCheckBox::toggled, this, [this](bool on) { options_.setTabPosition(on); });
    connect(cbMultiLineTabs, &QCheckBox::toggled, this, [this](bool on) { options_.setMultiLineTabs(on); });
    connect(cbStatusBarEnabled, &QCheckBox::toggled, this, [&v](bool on) { v.statusBarEnabled = on; });
    connect(cbDropEnabled, &QCheckBox::toggled, this, [&v](bool on) { v.dropEnabled = on; });
    connect(cbLeaveMissing, &QCheckBox::toggled, this, [&v](bool on) { v.leaveMissing = on; });
    connect(cbAlwaysOnBack, &QCheckBox::toggled, this, [&v](bool on) { v.alwaysOnBack = on; });
    connect(cbSingleClick, &QCheckBox::toggled, this, [&v](bool on) { v.singleClick = on; });
    connect(cbMultiInstance, &QCheckBox::toggled, this, [&v](bool on) { v.multiInstance = on; });
    connect(cbOpenInNewWindow, &QCheckBox::toggled, this, [&v](bool on) { v.openInNewWindow = on; });
    connect(cbToggleKey, &QCheckBox::toggled, this, [this, &v](bool on) {
        v.toggleKeyOn = on;
        editToggleKey->setEnabled(on);
    });
    // One chord: a sequence of several keys cannot be taken from the
    // desktop. The last one pressed counts (see commit()); the field shows
    // it alone once the recording ends.
    connect(editToggleKey, &QKeySequenceEdit::editingFinished, this, [this] {
        const QKeySequence key = editToggleKey->keySequence();
        if (key.count() > 1) {
            const QSignalBlocker quiet(editToggleKey);
            editToggleKey->setKeySequence(QKeySequence(key[key.count() - 1]));
        }
    });
    connect(cbAutoSave, &QCheckBox::toggled, this, [this](bool on) { options_.setAutoSave(on); });
    connect(cbImmediateSave, &QCheckBox::toggled, this, [this](bool on) { options_.setImmediateSave(on); });
    connect(seSingleClickTime, &QSpinBox::valueChanged, this, [&v](int n) { v.singleClickTime = n; });
    connect(seHeight, &QSpinBox::valueChanged, this, [&v](int n) { v.cellHeight = n; });
    connect(seWidth, &QSpinBox::valueChanged, this, [&v](int n) { v.cellWidth = n; });
    connect(seAutoSaveTime, &QSpinBox::valueChanged, this, [&v](int n) { v.autoSaveTime = n; });
    connect(editWaveFile, &QLineEdit::textChanged, this, [&v](const QString &t) { v.waveFile = t; });
    connect(btnTabFont, &QPushButton::clicked, this, [this] { options_.btnTabFontClick(); });
    connect(btnCreateSendTo, &QPushButton::clicked, this, [this] { options_.btnCreateSendToClick(); });
    connect(btnTest, &QPushButton::clicked, this, [this] {
        options_.values().waveFile = editWaveFile->text();
        options_.btnTestClick();
    });
    connect(btnWaveFileOpen, &QPushButton::clicked, this, [this] { options_.btnWaveFileOpenClick(); });
    connect(btnFromReg, &QPushButton::clicked, this, &TfrmCommonOptions::btnFromRegClick);
    connect(lbReorder, &ReorderList::moveRequested, this, [this](int from, int to) { options_.moveDesktop(from, to); });
    connect(lbReorder, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenuReorder->popup(lbReorder->viewport()->mapToGlobal(pos)); });
    connect(mnuSorted, &QAction::triggered, this, [this] { options_.mnuSortedClick(); });
    connect(btnOk, &QPushButton::clicked, this, [this] {
        commit();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    options_.onChanged = [this] { showValues(); };
}

TfrmCommonOptions::~TfrmCommonOptions() { options_.onChanged = nullptr; }

void TfrmCommonOptions::showValues()
{
    const CommonOptionsValues &v = options_.values();
    const QList<QWidget *> controls = findChildren<QWidget *>();
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QWidget *w : controls)
        quiet.push_back(std::make_unique<QSignalBlocker>(w));
    cbStartup->setChecked(v.startup);
    cbTabPosition->setChecked(v.tabPosition);
    cbMultiLineTabs->setChecked(v.multiLineTabs);
    cbStatusBarEnabled->setChecked(v.statusBarEnabled);
    cbDropEnabled->setChecked(v.dropEnabled);
    cbLeaveMissing->setChecked(v.leaveMissing);
    cbAlwaysOnBack->setChecked(v.alwaysOnBack);
    cbSingleClick->setChecked(v.singleClick);
    seSingleClickTime->setValue(v.singleClickTime);
    cbMultiInstance->setChecked(v.multiInstance);
    cbOpenInNewWindow->setChecked(v.openInNewWindow);
    cbToggleKey->setChecked(v.toggleKeyOn);
    editToggleKey->setEnabled(v.toggleKeyOn);
    editToggleKey->setKeySequence(QKeySequence(v.toggleKey, QKeySequence::PortableText));
    switch (v.toggleKeySupport) {
    case GlobalShortcut::Support::Unsupported:
        lblToggleKeyNote->setText(QStringLiteral(
            "This desktop lets no program take a key for itself: bind the command vorlane --toggle to a key in the "
            "desktop's own keyboard settings instead."));
        break;
    case GlobalShortcut::Support::Taken:
        lblToggleKeyNote->setText(QStringLiteral("Another program holds this key: choose another one."));
        break;
    case GlobalShortcut::Support::Bound:
    case GlobalShortcut::Support::Off:
        lblToggleKeyNote->setText(QStringLiteral(
            "The command vorlane --toggle does the same from a script or a key of the desktop's own."));
        break;
    }
    seHeight->setValue(v.cellHeight);
    seWidth->setValue(v.cellWidth);
    if (editWaveFile->text() != v.waveFile)
        editWaveFile->setText(v.waveFile);
    cbAutoSave->setChecked(v.autoSave);
    seAutoSaveTime->setValue(v.autoSaveTime);
    cbImmediateSave->setChecked(v.immediateSave);
    // The list mirrors the desktops in tab order.
    const QStringList order = options_.LoadDesktopOrder();
    const int selected = lbReorder->currentRow();
    lbReorder->clear();
    lbReorder->addItems(order);
    if (selected >= 0 && selected < lbReorder->count())
        lbReorder->setCurrentRow(selected);
}

void TfrmCommonOptions::commit()
{
    CommonOptionsValues &v = options_.values();
    v.singleClickTime = seSingleClickTime->current();
    v.cellHeight = seHeight->current();
    v.cellWidth = seWidth->current();
    v.autoSaveTime = seAutoSaveTime->current();
    v.waveFile = editWaveFile->text();
    // What the key field shows, however it was filled: its last chord.
    const QKeySequence key = editToggleKey->keySequence();
    if (!key.isEmpty())
        v.toggleKey = QKeySequence(key[key.count() - 1]).toString(QKeySequence::PortableText);
}

void TfrmCommonOptions::btnFromRegClick()
{
    if (options_.btnFromRegClick()) {
        // The window was rebuilt behind the dialog.
        raise();
        activateWindow();
    }
}

} // namespace vl
