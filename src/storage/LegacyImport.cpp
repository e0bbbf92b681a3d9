#include "storage/LegacyImport.h"

#include "platform/RegistryFile.h"
#include "storage/SettingsFile.h"

namespace vl {

LegacyImport::LegacyImport(Workspace &ws, Prompt &prompt, SettingsHost &host) : ws_(ws), prompt_(prompt), host_(host) {}

void LegacyImport::LoadFromRegistry(const RegistryFile &) {}

} // namespace vl
