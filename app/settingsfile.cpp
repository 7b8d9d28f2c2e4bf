#include "app/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "common/paths.h"
#include "common/text.h"

namespace vel {

namespace {

const QString SectionName = QStringLiteral("общие настройки");

// The file as it exists on disk: "nothing" (missing), a regular file, or something else
// under that name that a settings file cannot be.
enum class Presence { Missing, File, Other };

Presence PresenceOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? Presence::Other : Presence::Missing;
    return info.isFile() ? Presence::File : Presence::Other;
}

QString ReadText(const QString &path)
{
    if (PresenceOf(path) == Presence::Other)
        throw SettingsReadError(path, QStringLiteral("это не файл"));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw SettingsReadError(path, f.errorString());
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw SettingsReadError(path, f.errorString());
    // The program writes code page 1251. A file saved by a UTF-8 editor is taken as
    // UTF-8: Cyrillic text in code page 1251 is never valid UTF-8, and text that is valid
    // in both is plain ASCII, the same in either.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return FromCp1251(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

void ApplySettingsText(const QString &text, SettingsTexts &texts)
{
    QString section;
    for (const QString &line : SplitLines(text)) {
        if (TrimSpaces(line).isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = NormalizeText(line.mid(1, line.size() - 2));
            continue;
        }
        if (section != SectionName)
            continue;
        const qsizetype p = line.indexOf(QLatin1Char('='));
        if (p < 0)
            continue;   // a line without "=" has the empty key, which names nothing
        const QString key = NormalizeText(TrimSpaces(line.left(p)));
        const QString value = TrimSpaces(line.mid(p + 1));
        if (key == QStringLiteral("наименование учреждения"))
            texts.NameOffice = value;
        else if (key == QStringLiteral("число предъявлений"))
            texts.edt_npr = value;
        else if (key == QStringLiteral("число предъявлений рдо"))
            texts.rdo_c = value;
        else if (key == QStringLiteral("коридор точной реакции"))
            texts.rdo_t = value;
    }
}

QString LoadSettingsFile(const QString &file, const QString &fallback, SettingsTexts &texts)
{
    for (const QString &name : {file, fallback}) {
        const QString path = ResolvePath(name);
        if (PresenceOf(path) == Presence::Missing)
            continue;
        ApplySettingsText(ReadText(path), texts);
        return path;
    }
    return QString();
}

QByteArray BuildSettingsFile(const SettingsTexts &texts)
{
    const QString text = QStringLiteral("[Общие настройки]\r\n")
        + QStringLiteral("Наименование учреждения = ") + texts.NameOffice + QStringLiteral("\r\n")
        + QStringLiteral("Число предъявлений = ") + texts.edt_npr + QStringLiteral("\r\n")
        + QStringLiteral("число предъявлений рдо = ") + texts.rdo_c + QStringLiteral("\r\n")
        + QStringLiteral("коридор точной реакции = ") + texts.rdo_t + QStringLiteral("\r\n");
    return ToCp1251(text);
}

bool SaveSettingsFile(const QString &file, const SettingsTexts &texts, QString *error)
{
    // The new text goes to a temporary file beside the old one, is flushed to the disk
    // and then renamed over it.
    QSaveFile out(ResolvePath(file));
    const QByteArray bytes = BuildSettingsFile(texts);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    if (error)
        *error = out.errorString();
    out.cancelWriting();
    return false;
}

} // namespace vel
