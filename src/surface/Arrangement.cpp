#include "surface/Arrangement.h"

namespace vl {

void Arrangement::mnuEqualizeClick() {}

void Arrangement::mnuByNameClick() {}

void Arrangement::ArrangeByName() {}

bool Arrangement::CheckOverlapNote(int, int, int, int) const { return false; }

void Arrangement::CheckOutBounds(ShortcutItem &) {}

} // namespace vl
