#include "store/common/config.h"

#include <QRegularExpression>

namespace vel {

namespace {
AppConfig &instance()
{
    static AppConfig config;
    return config;
}
} // namespace

const AppConfig &Config() { return instance(); }
AppConfig &MutableConfig() { return instance(); }

QString ShortDateFormat(const QLocale &locale)
{
    return locale.dateFormat(QLocale::ShortFormat);
}

QString LongTimeFormat(const QLocale &locale)
{
    // "t" (time zone) outside quoted text, with the spaces that set it apart.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    qsizetype start = 0;
    bool quoted = false;
    for (qsizetype i = 0; i <= format.size(); ++i) {
        if (i == format.size() || format.at(i) == QLatin1Char('\'')) {
            QString piece = format.mid(start, i - start);
            if (!quoted)
                piece.replace(zone, QStringLiteral(" "));
            out += piece;
            if (i < format.size())
                out += QLatin1Char('\'');
            quoted = !quoted;
            start = i + 1;
        }
    }
    return out.trimmed();
}

} // namespace vel
