#include "platform/RegistryFile.h"

namespace vl {

struct RegistryFile::Data {};

RegistryFile::RegistryFile() : d_(std::make_unique<Data>()) {}
RegistryFile::~RegistryFile() = default;
RegistryFile::RegistryFile(RegistryFile &&) noexcept = default;
RegistryFile &RegistryFile::operator=(RegistryFile &&) noexcept = default;

std::optional<RegistryFile> RegistryFile::read(const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not yet");
    return std::nullopt;
}

std::optional<RegistryFile> RegistryFile::parse(const QByteArray &, QString *error)
{
    if (error)
        *error = QStringLiteral("not yet");
    return std::nullopt;
}

bool RegistryFile::hasKey(const QString &) const { return false; }

std::optional<RegistryFile::Value> RegistryFile::value(const QString &, const QString &) const { return std::nullopt; }

} // namespace vl
