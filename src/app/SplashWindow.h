#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace vl {

// The borderless progress window shown while desktops load.
class TfrmSplash : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget *parent = nullptr);

    // The total comes first; a number is shown only from 1 to total - 1,
    // so the last desktop's number never flashes up just before the close.
    void setTotal(int total);
    void setCurrent(int number);
    // setCurrent, drawn on screen before this returns.
    void showCurrent(int number);

    QLabel *lblDesktop = nullptr;
    QProgressBar *pbar = nullptr;

private:
    QElapsedTimer sinceDrawn_;
};

} // namespace vl
