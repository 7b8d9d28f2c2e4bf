#pragma once
// The compiled form of an expression, shared by its parser (parser.cpp), which builds it
// from the text, and its evaluator (evaluator.cpp), which runs it over raw records.
// Internal to expr/: Expression is the interface.
//
// A program is a flat list of nodes; a node names its operands by their index in the list
// and the root is the whole expression. Every node that builds a text has its own place
// in the program's scratch buffer, so an evaluation allocates nothing.
#include <QByteArray>
#include <QString>

#include <vector>

#include "store/expr/expression.h"

namespace vel {

namespace expr {

// The code page 1251 byte tables of case folding: identity, to lower and to upper case.
struct FoldTables {
    uchar identity[256];
    uchar lower[256];
    uchar upper[256];
    FoldTables();
};

const FoldTables &Folds();

enum class Op : quint8 {
    TextField,  // C field: its bytes
    DateField,  // D field: "YYYYMMDD" or spaces
    TextConst,
    NumAscii,   // N, F: ASCII digits
    NumLong7,   // dBASE 7 long: big-endian, sign bit flipped, zero bytes empty
    NumLongLe,  // FoxPro / dBASE IV long: little-endian
    NumShort,   // memory-table small integer: big-endian, sign bit flipped
    LogField,
    NumConst,
    LogConst,
    Substr, Dtos, Concat, Str, Upper, Lower,
    Add,
    Compare,    // kids 0 and 1, `cmp` the operator
    Wild,       // kid 0 against the '*' pattern in `bytes`, `mode` the kind of match
    And, Or, Not,
};

enum Cmp : quint8 { Eq, Ne, Lt, Le, Gt, Ge };
enum WildMode : quint8 { Prefix, Suffix, Contains, Anything };

struct View {
    const uchar *p;
    int n;
};

struct Node {
    Node(Op op, char type, int pos) : op(op), type(type), pos(pos) {}
    Op op;
    char type;              // 'C', 'N', 'D', 'L'
    int pos;                // where the node's text starts, for messages
    quint8 cmp = Eq;
    quint8 mode = Prefix;
    std::vector<int> kids;
    int offset = 0;         // field offset, or the node's place in the scratch buffer
    int width = 0;          // field width
    int maxLen = 0;         // texts: the longest result
    double num = 0;         // constants; STR width and decimals in offset/width
    QByteArray bytes;       // text constants and wildcard patterns (code page 1251)
    // A "contains" pattern: the bytes that fold to its first byte (a search for them
    // finds the places worth comparing; 0 of them: every place is compared), and whether
    // no byte of it folds to a blank (then a match cannot reach into trailing blanks).
    uchar firsts[2] = {0, 0};
    quint8 firstCount = 0;
    bool blankFree = false;
};

constexpr int MaxDepth = 64;
constexpr int MaxTextLength = 4096;
constexpr int MaxScratch = 1 << 20;

inline long long ClampToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v > 1e9)
        return 1000000000;
    if (v < -1e9)
        return -1000000000;
    return static_cast<long long>(v);
}

} // namespace expr

struct Expression::Program {
    QString text;
    std::vector<expr::Node> nodes;
    int root = -1;
    bool caseInsensitive = false;
    const uchar *fold = expr::Folds().identity;      // comparisons
    const uchar *keyFold = expr::Folds().identity;   // index keys
    mutable std::vector<uchar> scratch;

    expr::View Text(int i, const uchar *r) const;
    double Number(int i, const uchar *r) const;
    bool Logical(int i, const uchar *r) const;
};

} // namespace vel
