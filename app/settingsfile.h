#pragma once
// The settings file of the main window ("velmora.ini", fallback "Postavka.ini"): the
// texts of the four controls of the settings page, in code page 1251 with CR LF lines.
//
//   [Общие настройки]
//   Наименование учреждения = <NameOffice>
//   Число предъявлений = <edt_npr>
//   число предъявлений рдо = <rdo_c>
//   коридор точной реакции = <rdo_t>
//
// The reader takes more than the writer gives: other sections, comments (";" or "#" in
// the first column), blank lines, unknown keys, any letter case and spaces around names
// and values. Values are texts; nothing checks them.
#include <QString>

#include <stdexcept>

namespace vel {

// The texts of the settings page, with the values the controls hold before any file is
// read.
struct SettingsTexts {
    QString NameOffice;
    QString edt_npr = QStringLiteral("10");
    QString rdo_c = QStringLiteral("30");
    QString rdo_t = QStringLiteral("39");

    friend bool operator==(const SettingsTexts &, const SettingsTexts &) = default;
};

// A settings file that exists but cannot be read.
class SettingsReadError : public std::runtime_error {
public:
    SettingsReadError(const QString &file, const QString &reason)
        : std::runtime_error(reason.toStdString()), m_file(file), m_reason(reason) {}
    QString file() const { return m_file; }
    QString reason() const { return m_reason; }
private:
    QString m_file;
    QString m_reason;
};

// Applies the lines of a settings text: each recognised key of the section
// "общие настройки" replaces its value in `texts`; everything else is left as it is.
void ApplySettingsText(const QString &text, SettingsTexts &texts);

// Reads `file`, or `fallback` when `file` does not exist, into `texts`. Returns the file
// that was read, or an empty text when neither exists (then `texts` is unchanged).
// Names are matched without regard to case. Throws SettingsReadError when the file to
// read exists but cannot be read (no access, a folder, a device or pipe, a read error).
QString LoadSettingsFile(const QString &file, const QString &fallback, SettingsTexts &texts);

// The file's bytes as the program writes them.
QByteArray BuildSettingsFile(const SettingsTexts &texts);

// Replaces `file` with the five lines of `texts`. The new content appears at once and as a
// whole: a failure or a crash while writing leaves the old file as it was. Returns false
// and the reason in `error` when the file cannot be written.
bool SaveSettingsFile(const QString &file, const SettingsTexts &texts, QString *error = nullptr);

} // namespace vel
