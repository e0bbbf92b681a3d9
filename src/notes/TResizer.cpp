#include "notes/TResizer.h"

#include <QMenu>
#include <QWidget>

namespace vl {

class TResizer::Impl {};

TResizer::TResizer(Note &note, QWidget *, NoteHost &, Prompt &) : note_(&note) {}
TResizer::~TResizer() = default;
void TResizer::setActive(bool active) { active_ = active; }
void TResizer::ShowHandles() {}
void TResizer::HideHandles() {}
bool TResizer::handlesShown() const { return false; }
bool TResizer::editing() const { return false; }
void TResizer::popEditClick() {}
void TResizer::popupMenu(QPoint) {}
QMenu *TResizer::menu() const { return nullptr; }
void TResizer::flush() {}
void TResizer::applyRecord() {}
void TResizer::setShown(bool) {}
QWidget *TResizer::memo() const { return nullptr; }
TResizer::Edges TResizer::movedBy(const Edges &start, QPoint, QSize) const { return start; }
TResizer::Edges TResizer::resizedBy(const Edges &, const Edges &current, int, QPoint, QSize) const { return current; }
TResizer::Edges TResizer::moveClamp(Edges r, QSize) { return r; }
TResizer::Edges TResizer::sizeClamp(Edges r, QSize) const { return r; }

} // namespace vl
