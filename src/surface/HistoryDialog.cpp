#include "surface/HistoryDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vl {

TfrmHistory::TfrmHistory(const QList<HistoryVersion> &versions, QWidget *mainWindow, QWidget *parent)
    : PlacedDialog(mainWindow, parent), versions_(versions)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Restore"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Earlier versions of the settings"), this));
    lvVersions = new QTreeWidget(this);
    lvVersions->setObjectName(QStringLiteral("lvVersions"));
    lvVersions->setRootIsDecorated(false);
    lvVersions->setSelectionMode(QAbstractItemView::SingleSelection);
    lvVersions->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Desktops"), QStringLiteral("Shortcuts")});
    for (const HistoryVersion &v : versions_) {
        auto *row = new QTreeWidgetItem(lvVersions);
        row->setText(0, v.time);
        if (v.readable) {
            row->setText(1, QString::number(v.desktops));
            row->setText(2, QString::number(v.shortcuts));
        } else {
            row->setText(1, QStringLiteral("cannot be read"));
            // Shown, so that nobody wonders where it went; never chosen.
            row->setFlags(row->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        }
        row->setTextAlignment(1, Qt::AlignRight);
        row->setTextAlignment(2, Qt::AlignRight);
    }
    lvVersions->header()->setStretchLastSection(false);
    for (int c = 0; c < 3; ++c)
        lvVersions->resizeColumnToContents(c);
    lvVersions->setMinimumSize(360, 240);
    layout->addWidget(lvVersions);
    auto *buttons = new QDialogButtonBox(this);
    btnOk = buttons->addButton(QStringLiteral("Ok"), QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btnOk->setDefault(true);
    layout->addWidget(buttons);
    connect(btnOk, &QPushButton::clicked, this, [this] {
        if (chosen())
            accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvVersions, &QTreeWidget::itemSelectionChanged, this, &TfrmHistory::selectionChanged);
    connect(lvVersions, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (chosen())
            accept();
    });
    // The newest version that can be read is the likely choice.
    for (int i = 0; i < versions_.size(); ++i) {
        if (versions_.at(i).readable) {
            lvVersions->setCurrentItem(lvVersions->topLevelItem(i));
            break;
        }
    }
    selectionChanged();
}

std::optional<int> TfrmHistory::chosen() const
{
    const QList<QTreeWidgetItem *> selected = lvVersions->selectedItems();
    if (selected.size() != 1)
        return std::nullopt;
    const int row = lvVersions->indexOfTopLevelItem(selected.first());
    if (row < 0 || row >= versions_.size() || !versions_.at(row).readable)
        return std::nullopt;
    return row;
}

void TfrmHistory::selectionChanged() { btnOk->setEnabled(chosen().has_value()); }

} // namespace vl
