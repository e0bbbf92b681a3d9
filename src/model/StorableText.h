#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace vl {

// The settings file keeps every value on one line of UTF-8 text, and its
// reader refuses a file with binary zeros in it. So that the model always
// equals what a save writes and a load reads back, text entering the model
// from outside (typed, pasted, dropped, handed over, imported, chosen in a
// dialog) is made storable at that edge:
// - binary zeros are dropped,
// - line breaks (CR, LF) become blanks,
// - half of a surrogate pair standing alone becomes U+FFFD.
// The writer applies the same rule to whatever reaches it all the same.
bool isStorable(QStringView text);
QString storable(QString text);
QStringList storable(QStringList lines);

} // namespace vl
