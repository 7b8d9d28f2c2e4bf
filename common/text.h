#pragma once
// Text helpers shared by every subsystem. Texts are held as QString; the rules below are
// the code-page-1251 rules of the tables and settings files, applied to their Unicode
// equivalents.
#include <QByteArray>
#include <QChar>
#include <QString>

namespace vel {

// Removes space characters (code 32 only) at both ends.
QString TrimSpaces(const QString &text);

// TrimSpaces, then lower-cases A-Z and the Cyrillic capitals А-Я (Ё is left as it is).
QString NormalizeText(const QString &text);

// Upper-cases one character when it is a-z or а-я; any other character is returned as is.
QChar UpperChar(QChar c);

// The Latin and Cyrillic letters of code page 1251 folded to lower case, Ё/ё included
// (used by case-insensitive comparisons of the table engine).
QChar FoldCase1251(QChar c);

// Code page 1251 conversion. Characters that 1251 cannot hold become '?'.
QByteArray ToCp1251(const QString &text);
QString FromCp1251(const QByteArray &bytes);
QString FromCp1251(const char *data, qsizetype size);

// Lines of a text file: CR, LF or CR LF end a line.
QStringList SplitLines(const QString &text);

// Quotes a text as a dBASE string constant: in single quotes, an inner quote doubled.
QString QuoteDbf(const QString &text);

// A quoted text read back: what stands between the quotes, a doubled quote inside taken
// as one, and where the text after it begins.
struct QuotedText {
    QString text;
    qsizetype end = 0;     // just after the closing quote, or the text's size without one
    bool closed = false;   // false: the text ended before the closing quote
};

// Reads the quoted text that starts at `from`, just after its opening `quote`, up to the
// next `quote` that is not doubled.
QuotedText ReadQuoted(const QString &text, qsizetype from, QChar quote);

} // namespace vel
