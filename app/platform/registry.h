#pragma once
// The machine-wide settings of the program: the values "Data", "BackupTo" and
// "LegacyIniFile" of the key \Software\DORNEL\Velmora. On Windows they live in the
// registry under HKEY_LOCAL_MACHINE; on Linux in a text file kept by the administrator.
// The program only reads them.
#include <QHash>
#include <QString>

#include <memory>

namespace vel::platform {

enum class RegistryRead {
    Absent,      // no such value, or the key could not be opened
    Ok,
    WrongType,   // the value exists but is not of the type asked for
};

// A read-only view of one registry key. Value names are matched without regard to case,
// as in the registry.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // A string value (REG_SZ or REG_EXPAND_SZ), taken literally.
    virtual RegistryRead readString(const QString &name, QString *out) const = 0;
    // A 32-bit integer value (REG_DWORD).
    virtual RegistryRead readDWord(const QString &name, quint32 *out) const = 0;
};

// The program's key. A key that cannot be opened has no values.
std::unique_ptr<RegistryKey> OpenProgramKey();

// ---- Linux: the registry file ----
//
// An INI-style text file in UTF-8: the program's values sit in the section
// [Software\DORNEL\Velmora] (written with "\" or "/", letters in any case), one
// "name=value" a line; lines starting with ";" or "#" are comments. Values are taken
// literally, without escapes (a pair of double quotes around the whole value is removed,
// so that it can keep spaces at its ends). The type of a value follows .reg files:
//   Data=/srv/velmora/Data/          a string
//   LegacyIniFile=dword:00000001     a 32-bit integer (hex digits, as .reg files write it)
//   LegacyIniFile=1                  a decimal number up to 4294967295: a 32-bit integer,
//                                    and also a string where a string is read
//   Data=hex:01,00                   binary and other types (hex:..., hex(N):...)
// Any other text is a string only.
//
// The file is $VELMORA_REGISTRY when that is set, else the system-scope INI file of
// QSettings for organisation "DORNEL", application "Velmora" (/etc/xdg/DORNEL/Velmora.ini).
QString RegistryFilePath();

class RegistryFile : public RegistryKey {
public:
    // Reads the file; a missing or unreadable file gives a key without values.
    explicit RegistryFile(const QString &path);
    // The key as the text of such a file describes it.
    static RegistryFile fromText(const QString &text);

    RegistryRead readString(const QString &name, QString *out) const override;
    RegistryRead readDWord(const QString &name, quint32 *out) const override;

private:
    RegistryFile() = default;
    void parse(const QString &text);
    QHash<QString, QString> m_values;   // lower-cased name -> text as written
};

} // namespace vel::platform
