#pragma once
// What the pupil-list import and the CSV export share about their errors: an error
// carries a kind name besides its text, because the operator's error box names both
// ("EParserError", "EWriteError", ...), and a result records the failure that ended the
// import or the export in the same three fields.
#include <QString>

#include <stdexcept>

namespace vel {

class TransferError : public std::runtime_error {
public:
    TransferError(const QString &kind, const QString &text)
        : std::runtime_error(text.toStdString()), m_kind(kind), m_text(text) {}
    QString kind() const { return m_kind; }
    QString text() const { return m_text; }
private:
    QString m_kind;
    QString m_text;
};

// The failure of an import or export, as its result reports it.
struct TransferFailure {
    bool failed = false;
    QString errorKind;
    QString errorText;

    void fail(const QString &kind, const QString &text)
    {
        failed = true;
        errorKind = kind;
        errorText = text;
    }
};

} // namespace vel
