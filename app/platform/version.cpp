#include "app/platform/version.h"

#include <QStringList>

namespace vel::platform {

std::optional<FileVersion> ParseFileVersion(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (text.isEmpty() || parts.size() > 4)
        return std::nullopt;
    FileVersion v{0, 0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint n = parts[i].toUInt(&ok);
        if (!ok || n > 0xFFFF || parts[i].startsWith(QLatin1Char('+')))
            return std::nullopt;
        v[i] = quint16(n);
    }
    return v;
}

std::optional<FileVersion> ProgramVersion()
{
#ifdef VELMORA_VERSION_STRING
    return ParseFileVersion(QStringLiteral(VELMORA_VERSION_STRING));
#else
    return std::nullopt;
#endif
}

} // namespace vel::platform
