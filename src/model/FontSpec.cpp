#include "model/FontSpec.h"

namespace vl {

FontSpec defaultFont()
{
    FontSpec f;
    f.Name = QStringLiteral("Sans Serif");
    return f;
}

} // namespace vl
