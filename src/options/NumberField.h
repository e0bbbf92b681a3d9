#pragma once

#include <QSpinBox>

namespace vl {

// A number field with up/down arrows. Its text is read as a decimal integer,
// and text that is no such number (pasted words, nothing at all) reads as the
// minimum. Any text may stand in the field while it is edited; a value
// outside the range, or text that is no number, is brought into the range
// when the field loses the focus, when it is set, and whenever it is read.
class NumberField : public QSpinBox {
    Q_OBJECT
public:
    NumberField(int minimum, int maximum, QWidget *parent = nullptr);

    // The value the text stands for now, in range, whether or not the field
    // has had the chance to tidy its text.
    int current() const;
    // The field's text line, as the user types and pastes into it.
    QLineEdit *edit() const { return lineEdit(); }

    // The reading rule: decimal digits with an optional sign and blanks
    // around; huge numbers saturate; anything else is the minimum.
    static int read(const QString &text, int minimum, int maximum);

protected:
    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
    int valueFromText(const QString &text) const override;
};

} // namespace vl
