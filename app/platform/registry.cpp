#include "app/platform/registry.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>

namespace vel::platform {

namespace {

const QString ProgramKeyPath = QStringLiteral("software/dornel/velmora");

// "Software\DORNEL\Velmora" and "/Software/Dornel/Velmora/" name the same key.
QString CanonicalKeyPath(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (QString &p : parts)
        p = p.trimmed();
    return parts.join(QLatin1Char('/')).toLower();
}

bool IsTypedNonString(const QString &text)
{
    static const QRegularExpression typed(QStringLiteral("^(dword|hex(\\([0-9a-fA-F]+\\))?):"),
                                          QRegularExpression::CaseInsensitiveOption);
    return typed.match(text).hasMatch();
}

} // namespace

QString RegistryFilePath()
{
    const QString env = qEnvironmentVariable("VELMORA_REGISTRY");
    if (!env.isEmpty())
        return env;
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("DORNEL"),
                     QStringLiteral("Velmora"))
        .fileName();
}

std::unique_ptr<RegistryKey> OpenProgramKey()
{
    return std::make_unique<RegistryFile>(RegistryFilePath());
}

RegistryFile::RegistryFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;   // the key cannot be opened: every value is absent
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    parse(utf8.decode(file.readAll()));
}

RegistryFile RegistryFile::fromText(const QString &text)
{
    RegistryFile key;
    key.parse(text);
    return key;
}

void RegistryFile::parse(const QString &text)
{
    bool inKey = false;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (QString line : lines) {
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
            continue;
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            inKey = CanonicalKeyPath(t.mid(1, t.size() - 2)) == ProgramKeyPath;
            continue;
        }
        const qsizetype eq = t.indexOf(QLatin1Char('='));
        if (!inKey || eq <= 0)
            continue;
        const QString name = t.left(eq).trimmed().toLower();
        QString value = t.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        m_values.insert(name, value);
    }
}

RegistryRead RegistryFile::readString(const QString &name, QString *out) const
{
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.constEnd())
        return RegistryRead::Absent;
    if (IsTypedNonString(*it))
        return RegistryRead::WrongType;
    *out = *it;
    return RegistryRead::Ok;
}

RegistryRead RegistryFile::readDWord(const QString &name, quint32 *out) const
{
    const auto it = m_values.constFind(name.toLower());
    if (it == m_values.constEnd())
        return RegistryRead::Absent;
    static const QRegularExpression dword(QStringLiteral("^dword:([0-9a-fA-F]{1,8})$"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,10}$"));
    bool ok = false;
    qulonglong n = 0;
    if (const auto m = dword.match(*it); m.hasMatch())
        n = m.captured(1).toULongLong(&ok, 16);
    else if (decimal.match(*it).hasMatch())
        n = it->toULongLong(&ok, 10);
    if (!ok || n > 0xFFFFFFFFull)
        return RegistryRead::WrongType;
    *out = quint32(n);
    return RegistryRead::Ok;
}

} // namespace vel::platform
