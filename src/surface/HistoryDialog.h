#pragma once

#include "common/DialogPlacement.h"
#include "common/Prompt.h"

#include <QList>

#include <optional>

class QPushButton;
class QTreeWidget;

namespace vl {

// The chooser of an earlier version of the settings: one row per version,
// newest first, with its date and what it holds. A version that cannot be
// read is listed, greyed, and cannot be chosen.
class TfrmHistory : public PlacedDialog {
    Q_OBJECT
public:
    TfrmHistory(const QList<HistoryVersion> &versions, QWidget *mainWindow, QWidget *parent = nullptr);

    // The row chosen, when it can be; nullopt otherwise.
    std::optional<int> chosen() const;

    QTreeWidget *lvVersions = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    void selectionChanged();
    QList<HistoryVersion> versions_;
};

} // namespace vl
