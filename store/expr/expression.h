#pragma once
// dBASE expressions compiled once against a record layout and evaluated on raw records.
//
// The language: field names; integer and decimal constants (a leading '-' allowed); text
// constants in single or double quotes, the quote doubled inside; .T. and .F.; the
// operators + (text concatenation, number addition), = == <> # != < <= > >=, and/.AND.,
// or/.OR., not/.NOT.; parentheses; the functions DTOS(date), SUBSTR(text, start[, length])
// (1-based), STR(number[, width[, decimals]]), UPPER(text) and LOWER(text).
//
// Text comparison follows dBASE with SET EXACT OFF: a = b holds when b, without its
// trailing spaces, is a prefix of a, so an empty constant matches everything and a field
// padded with spaces equals the same text unpadded. The options change two things:
//   caseInsensitive  Latin and Cyrillic letters of code page 1251 compare folded;
//   partialCompare   in =, ==, <> and friends, a text constant that begins and/or ends
//                    with '*' matches texts that end with / begin with / contain the rest
//                    (the other side's trailing spaces ignored); otherwise '*' is a
//                    character like any other.
//
// Evaluation reads only the bytes of the fields the expression names, inside the
// layout's record length, and allocates nothing for Test() and KeyInto(). An Expression
// is not reentrant: it keeps its intermediate texts in buffers of its own.
//
// The parser (parser.cpp) compiles the text into a program of nodes (program.h); the
// evaluator (evaluator.cpp) runs it.
#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

#include "store/dbf/layout.h"
#include "store/defs/tabledefs.h"

namespace vel {

class Expression {
public:
    // Compiles `text`. Throws ExpressionError naming the text and the 0-based place when
    // the text cannot be read, names a field the layout lacks, or mixes types.
    Expression(const QString &text, const RecordLayout &layout, const FilterOptions &options = {});
    ~Expression();
    Expression(Expression &&) noexcept;
    Expression &operator=(Expression &&) noexcept;

    // A filter: the expression must be a condition. A text of spaces is a filter that lets
    // every record through.
    static Expression Filter(const QString &text, const RecordLayout &layout,
                             const FilterOptions &options);
    // An index key: the expression must be a text, number or date. With caseInsensitive
    // the key's letters are folded to lower case.
    static Expression IndexKey(const QString &text, const RecordLayout &layout,
                               bool caseInsensitive = false);

    QString Text() const;
    // 'C' text, 'N' number, 'D' date, 'L' condition.
    char Type() const;

    // The condition on one record (recordLength bytes). False for a non-condition.
    bool Test(const uchar *record) const;

    // The index key of one record: bytes that order correctly with memcmp.
    //   'C'  the text in code page 1251, padded with spaces to KeyLength() (folded when
    //        the key is case-insensitive);
    //   'N'  8 bytes: the IEEE double, big-endian, sign bit flipped for positive values and
    //        every bit inverted for negative ones;
    //   'D'  8 bytes "YYYYMMDD", spaces for an empty date (which sorts first).
    // For a condition the key type is 'C' with "T" or "F".
    char KeyType() const;
    int KeyLength() const;
    void KeyInto(const uchar *record, uchar *out) const;   // writes KeyLength() bytes
    QByteArray Key(const uchar *record) const;

    // The value for general use: QString (trailing spaces kept), double, QDate (null for
    // an empty date) or bool.
    QVariant Value(const uchar *record) const;

    // The key encodings of single values, for seeking in an index.
    static QByteArray NumberKey(double value);
    static QByteArray DateKey(const QDate &date);

private:
    struct Program;
    explicit Expression(std::unique_ptr<Program> program);
    std::unique_ptr<Program> p;
};

// The 8-byte memcmp-ordered form of a number that 'N' keys use, and back.
void EncodeNumberKey(double value, uchar *out);
double DecodeNumberKey(const uchar *key);

// The code page 1251 byte tables behind case-insensitive comparison: the Latin and
// Cyrillic letters mapped to lower (FoldLower1251) or upper case (FoldUpper1251), every
// other byte to itself.
const uchar *FoldLower1251();
const uchar *FoldUpper1251();

} // namespace vel
