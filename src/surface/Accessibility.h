#pragma once

namespace vl {

// Assistive technology sees the painted parts of the window through these
// interfaces: the tab strip as a list of page tabs (one per desktop) and the
// page as a list of the active desktop's shortcuts, with the notes (widgets
// of their own) after them.
//
// Item interfaces are made when a client asks for one, never for the whole
// list, and kept per shortcut until it goes away or the page shows another
// desktop; the index of a shortcut is always its place among the desktop's
// records, so counts and indexes follow every insertion and removal.
//
// Installs the factory; the first call counts, later ones do nothing.
void installAccessibility();

// How many shortcut interfaces exist now, on every page together.
int accessibleItemInterfaces();

} // namespace vl
