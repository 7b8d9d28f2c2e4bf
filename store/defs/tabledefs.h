#pragma once
// The plain definitions every layer of the table engine shares: the errors it throws, the
// table levels, and the definitions of fields, index tags and filter options. The record
// files (dbf/), the expressions (expr/), the indexes (index/) and the Table on top of them
// all include this header; it includes nothing of the engine, so that the layers above it
// point one way.
//
// Errors carry a message in Russian, for the operator, that names the file and what is
// wrong.
#include <QString>

#include <stdexcept>

namespace vel {

class TableError : public std::runtime_error {
public:
    explicit TableError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }
private:
    QString m_message;
};

class ExpressionError : public TableError {
public:
    // `text` is the expression, `position` the 0-based place where reading failed.
    ExpressionError(const QString &message, const QString &text, int position)
        : TableError(message), m_text(text), m_position(position) {}
    QString text() const { return m_text; }
    int position() const { return m_position; }
private:
    QString m_text;
    int m_position;
};

enum class TableLevel { DBase3 = 3, DBase4 = 4, DBase7 = 7, FoxPro = 25 };

// Field type codes are the dBASE ones: 'C' text, 'D' date, 'I' long integer (4 bytes),
// 'N' numeric, 'M' memo, 'L' logical. 'S' (small integer) is for in-memory tables.
struct FieldDef {
    QString name;
    char type = 'C';
    int width = 0;       // characters or bytes; 0 takes the type's fixed width
    int decimals = 0;
};

struct IndexDef {
    QString tag;
    QString expression;
    bool unique = false;           // dBASE "unique": only the first record of each key
    bool caseInsensitive = false;  // keys compared without regard to letter case
};

struct FilterOptions {
    bool caseInsensitive = false;  // text comparisons ignore the case of 1251 letters
    bool partialCompare = false;   // '*' at either end of a text constant is a wildcard
};

} // namespace vel
