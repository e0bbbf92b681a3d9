#pragma once

#include <QDialog>

namespace vl {

// "About": the program's name, version, what it is for, its licence, and
// the libraries it is built on with theirs.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);

    // The whole text as shown, for the clipboard and for readers of the
    // screen.
    static QString aboutText();
};

} // namespace vl
