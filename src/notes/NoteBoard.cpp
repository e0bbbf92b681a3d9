#include "notes/NoteBoard.h"

#include "notes/TResizer.h"

namespace vl {

NoteBoard::NoteBoard(QWidget *page, NoteHost &host, Prompt &prompt) : page_(page), host_(host), prompt_(prompt) {}
NoteBoard::~NoteBoard() = default;
void NoteBoard::show(Desktop *d) { shown_ = d; }
TResizer &NoteBoard::add(Note &note)
{
    auto &list = byDesktop_[shown_];
    list.push_back(std::make_unique<TResizer>(note, page_, host_, prompt_));
    return *list.back();
}
TResizer *NoteBoard::controllerOf(const Note *) const { return nullptr; }
void NoteBoard::remove(const Note *) {}
void NoteBoard::forget(const Desktop *d) { byDesktop_.erase(d); }
void NoteBoard::forgetAll() { byDesktop_.clear(); }
void NoteBoard::hideAllHandles() {}
void NoteBoard::flush() {}

} // namespace vl
