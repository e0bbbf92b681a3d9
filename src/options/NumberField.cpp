#include "options/NumberField.h"

#include <QLineEdit>

#include <limits>

namespace vl {

NumberField::NumberField(int minimum, int maximum, QWidget *parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
    // Typing stays free; the value is taken when the field is left.
    setKeyboardTracking(false);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

int NumberField::read(const QString &text, int minimum, int maximum)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        negative = t[i++] == QLatin1Char('-');
    if (i == t.size())
        return minimum;
    // Saturating: a number too long for any integer is still beyond the
    // range on its side, not "no number".
    qint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return minimum;
        if (magnitude < std::numeric_limits<int>::max())
            magnitude = magnitude * 10 + (c.unicode() - '0');
    }
    const qint64 value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<qint64>(value, minimum, maximum));
}

int NumberField::current() const { return read(lineEdit()->text(), minimum(), maximum()); }

QValidator::State NumberField::validate(QString &input, int &) const
{
    // Anything may be typed or pasted; only a number in range is final.
    const QString t = input.trimmed();
    bool ok = false;
    const int v = t.toInt(&ok);
    return ok && v >= minimum() && v <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
}

void NumberField::fixup(QString &input) const { input = QString::number(read(input, minimum(), maximum())); }

int NumberField::valueFromText(const QString &text) const { return read(text, minimum(), maximum()); }

} // namespace vl
