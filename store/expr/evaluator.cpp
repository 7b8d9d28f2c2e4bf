// The evaluator: a compiled program run over raw records, and the index key encodings.
#include <QDate>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "store/expr/expression.h"
#include "store/expr/program.h"

namespace vel {

using namespace expr;

expr::FoldTables::FoldTables()
{
    for (int b = 0; b < 256; ++b)
        identity[b] = lower[b] = upper[b] = uchar(b);
    for (int b = 0; b < 256; ++b) {
        const char byte = char(b);
        const QString s = FromCp1251(&byte, 1);
        if (s.size() != 1)
            continue;
        const QChar folded = FoldCase1251(s.at(0));
        if (folded == s.at(0))
            continue;
        const QByteArray back = ToCp1251(QString(folded));
        if (back.size() != 1)
            continue;
        lower[b] = uchar(back.at(0));
        upper[uchar(back.at(0))] = uchar(b);
    }
}

const FoldTables &expr::Folds()
{
    static const FoldTables tables;
    return tables;
}

namespace {

double ParseAscii(const uchar *p, int n)
{
    int i = 0;
    while (i < n && p[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (p[i] == '-' || p[i] == '+'))
        negative = p[i++] == '-';
    double value = 0;
    while (i < n && p[i] >= '0' && p[i] <= '9')
        value = value * 10 + (p[i++] - '0');
    if (i < n && (p[i] == '.' || p[i] == ',')) {
        ++i;
        double scale = 0.1;
        while (i < n && p[i] >= '0' && p[i] <= '9') {
            value += (p[i++] - '0') * scale;
            scale /= 10;
        }
    }
    return negative ? -value : value;
}

// Trailing spaces do not count in comparisons of texts.
int TrimmedLength(View v)
{
    int n = v.n;
    while (n > 0 && v.p[n - 1] == ' ')
        --n;
    return n;
}

bool SameFolded(const uchar *a, const uchar *b, int n, const uchar *fold)
{
    for (int i = 0; i < n; ++i)
        if (fold[a[i]] != fold[b[i]])
            return false;
    return true;
}

// dBASE '=' with SET EXACT OFF: b without its trailing spaces is a prefix of a.
bool TextEquals(View a, View b, const uchar *fold)
{
    const int n = TrimmedLength(b);
    return n <= a.n && SameFolded(a.p, b.p, n, fold);
}

// Order of two texts, the shorter one padded with spaces.
int TextOrder(View a, View b, const uchar *fold)
{
    const int n = a.n > b.n ? a.n : b.n;
    for (int i = 0; i < n; ++i) {
        const uchar x = i < a.n ? fold[a.p[i]] : uchar(' ');
        const uchar y = i < b.n ? fold[b.p[i]] : uchar(' ');
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

// The pattern of a Wild node somewhere in the subject. The working list's search with
// "*" at both ends runs this over every patient, so it looks only at the places where
// the pattern's first byte stands (memchr for each of its cases) and, when the pattern
// holds no blank, does not first measure the subject's trailing blanks.
bool ContainsMatch(View subject, const Node &wild, const uchar *fold)
{
    const uchar *pp = reinterpret_cast<const uchar *>(wild.bytes.constData());
    const int m = int(wild.bytes.size());
    const int n = wild.blankFree ? subject.n : TrimmedLength(subject);
    if (m > n)
        return false;
    const uchar *s = subject.p;
    const int places = n - m + 1;
    if (wild.firstCount == 0) {
        for (int i = 0; i < places; ++i)
            if (SameFolded(s + i, pp, m, fold))
                return true;
        return false;
    }
    int i = 0;
    while (i < places) {
        const auto *a = static_cast<const uchar *>(std::memchr(s + i, wild.firsts[0], size_t(places - i)));
        const auto *b = wild.firstCount > 1
            ? static_cast<const uchar *>(std::memchr(s + i, wild.firsts[1], size_t(places - i)))
            : nullptr;
        const uchar *at = !a ? b : (!b ? a : std::min(a, b));
        if (!at)
            return false;
        if (SameFolded(at + 1, pp + 1, m - 1, fold))
            return true;
        i = int(at - s) + 1;
    }
    return false;
}

bool WildMatch(View subject, const Node &wild, const uchar *fold)
{
    const uchar *pp = reinterpret_cast<const uchar *>(wild.bytes.constData());
    const int m = int(wild.bytes.size());
    switch (wild.mode) {
    case Anything:
        return true;
    case Prefix: {
        const int n = TrimmedLength(subject);
        return m <= n && SameFolded(subject.p, pp, m, fold);
    }
    case Suffix: {
        const int n = TrimmedLength(subject);
        return m <= n && SameFolded(subject.p + n - m, pp, m, fold);
    }
    case Contains:
        return ContainsMatch(subject, wild, fold);
    }
    return false;
}

template <typename T>
bool Ordered(T order, quint8 cmp, bool equal)
{
    switch (cmp) {
    case Eq: return equal;
    case Ne: return !equal;
    case Lt: return order < 0 && !equal;
    case Le: return order < 0 || equal;
    case Gt: return order > 0 && !equal;
    case Ge: return order > 0 || equal;
    }
    return false;
}

} // namespace

View Expression::Program::Text(int i, const uchar *r) const
{
    const Node &n = nodes[size_t(i)];
    switch (n.op) {
    case Op::TextField:
    case Op::DateField:
        return {r + n.offset, n.width};
    case Op::TextConst:
        return {reinterpret_cast<const uchar *>(n.bytes.constData()), int(n.bytes.size())};
    case Op::Dtos:
        return Text(n.kids[0], r);
    case Op::Substr: {
        const View s = Text(n.kids[0], r);
        long long start = ClampToInt(Number(n.kids[1], r));
        if (start < 1)
            start = 1;     // dBASE starts SUBSTR(x, 0, ...) at the first character
        if (start > s.n)
            return {s.p, 0};
        const long long rest = s.n - (start - 1);
        long long len = n.kids.size() > 2 ? ClampToInt(Number(n.kids[2], r)) : rest;
        if (len < 0)
            len = 0;
        if (len > rest)
            len = rest;
        return {s.p + (start - 1), int(len)};
    }
    case Op::Concat: {
        uchar *out = scratch.data() + n.offset;
        int len = 0;
        for (int kid : n.kids) {
            const View v = Text(kid, r);
            std::memcpy(out + len, v.p, size_t(v.n));
            len += v.n;
        }
        return {out, len};
    }
    case Op::Upper:
    case Op::Lower: {
        const uchar *table = n.op == Op::Upper ? Folds().upper : Folds().lower;
        const View v = Text(n.kids[0], r);
        uchar *out = scratch.data() + n.offset;
        for (int k = 0; k < v.n; ++k)
            out[k] = table[v.p[k]];
        return {out, v.n};
    }
    case Op::Str: {
        // Right-aligned in the width, rounded to the decimals (halves to the even
        // neighbour); a number too wide for the field gives asterisks, as in dBASE.
        const int width = n.maxLen;
        const int decimals = int(n.num);
        uchar *out = scratch.data() + n.offset;
        double scaled = Number(n.kids[0], r) * std::pow(10.0, decimals);
        scaled = std::nearbyint(scaled);
        char digits[32];
        int len = 0;
        if (!(scaled == scaled) || std::fabs(scaled) >= 1e18) {
            len = width + 1;
        } else {
            unsigned long long v = static_cast<unsigned long long>(std::fabs(scaled));
            char rev[24];
            int k = 0;
            do {
                rev[k++] = char('0' + v % 10);
                v /= 10;
            } while (v != 0 || k <= decimals);
            if (scaled < 0)
                digits[len++] = '-';
            while (k > decimals)
                digits[len++] = rev[--k];
            if (decimals > 0) {
                digits[len++] = '.';
                while (k > 0)
                    digits[len++] = rev[--k];
            }
        }
        if (len > width) {
            std::memset(out, '*', size_t(width));
        } else {
            std::memset(out, ' ', size_t(width - len));
            std::memcpy(out + width - len, digits, size_t(len));
        }
        return {out, width};
    }
    default:
        return {r, 0};
    }
}

double Expression::Program::Number(int i, const uchar *r) const
{
    const Node &n = nodes[size_t(i)];
    switch (n.op) {
    case Op::NumConst:
        return n.num;
    case Op::NumAscii:
        return ParseAscii(r + n.offset, n.width);
    case Op::NumLong7: {
        const uchar *p = r + n.offset;
        const quint32 u = quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
        return u == 0 ? 0.0 : double(qint32(u ^ 0x80000000u));
    }
    case Op::NumLongLe: {
        const uchar *p = r + n.offset;
        const quint32 u = quint32(p[3]) << 24 | quint32(p[2]) << 16 | quint32(p[1]) << 8 | p[0];
        return double(qint32(u));
    }
    case Op::NumShort: {
        const uchar *p = r + n.offset;
        const quint16 u = quint16(quint16(p[0]) << 8 | p[1]);
        return u == 0 ? 0.0 : double(qint16(quint16(u ^ 0x8000u)));
    }
    case Op::Add: {
        double sum = 0;
        for (int kid : n.kids)
            sum += Number(kid, r);
        return sum;
    }
    default:
        return 0;
    }
}

bool Expression::Program::Logical(int i, const uchar *r) const
{
    const Node &n = nodes[size_t(i)];
    switch (n.op) {
    case Op::LogConst:
        return n.num != 0;
    case Op::LogField: {
        const uchar c = r[n.offset];
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }
    case Op::And:
        for (int kid : n.kids)
            if (!Logical(kid, r))
                return false;
        return true;
    case Op::Or:
        for (int kid : n.kids)
            if (Logical(kid, r))
                return true;
        return false;
    case Op::Not:
        return !Logical(n.kids[0], r);
    case Op::Wild:
        return WildMatch(Text(n.kids[0], r), n, fold) == (n.cmp == Eq);
    case Op::Compare: {
        const char t = nodes[size_t(n.kids[0])].type;
        if (t == 'N') {
            const double a = Number(n.kids[0], r), b = Number(n.kids[1], r);
            return Ordered(a < b ? -1 : (a > b ? 1 : 0), n.cmp, a == b);
        }
        if (t == 'L') {
            const bool a = Logical(n.kids[0], r), b = Logical(n.kids[1], r);
            return Ordered(int(a) - int(b), n.cmp, a == b);
        }
        const View a = Text(n.kids[0], r), b = Text(n.kids[1], r);
        if (t == 'D') {
            const int order = std::memcmp(a.p, b.p, 8);
            return Ordered(order, n.cmp, order == 0);
        }
        return Ordered(TextOrder(a, b, fold), n.cmp, TextEquals(a, b, fold));
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------- Expression

char Expression::Type() const { return p->nodes[size_t(p->root)].type; }

bool Expression::Test(const uchar *record) const
{
    return Type() == 'L' && p->Logical(p->root, record);
}

char Expression::KeyType() const
{
    const char t = Type();
    return t == 'L' ? 'C' : t;
}

int Expression::KeyLength() const
{
    switch (Type()) {
    case 'N':
    case 'D':
        return 8;
    case 'L':
        return 1;
    default:
        return p->nodes[size_t(p->root)].maxLen;
    }
}

void Expression::KeyInto(const uchar *record, uchar *out) const
{
    switch (Type()) {
    case 'N':
        EncodeNumberKey(p->Number(p->root, record), out);
        return;
    case 'L':
        out[0] = p->Logical(p->root, record) ? 'T' : 'F';
        return;
    case 'D':
        std::memcpy(out, p->Text(p->root, record).p, 8);
        return;
    default: {
        const int len = KeyLength();
        const View v = p->Text(p->root, record);
        const int n = v.n < len ? v.n : len;
        const uchar *fold = p->keyFold;
        for (int i = 0; i < n; ++i)
            out[i] = fold[v.p[i]];
        std::memset(out + n, ' ', size_t(len - n));
    }
    }
}

QByteArray Expression::Key(const uchar *record) const
{
    QByteArray key(KeyLength(), Qt::Uninitialized);
    KeyInto(record, reinterpret_cast<uchar *>(key.data()));
    return key;
}

QVariant Expression::Value(const uchar *record) const
{
    switch (Type()) {
    case 'N':
        return p->Number(p->root, record);
    case 'L':
        return p->Logical(p->root, record);
    case 'D': {
        const View v = p->Text(p->root, record);
        return QDate::fromString(QString::fromLatin1(reinterpret_cast<const char *>(v.p), 8),
                                 QStringLiteral("yyyyMMdd"));
    }
    default: {
        const View v = p->Text(p->root, record);
        return FromCp1251(reinterpret_cast<const char *>(v.p), v.n);
    }
    }
}

QByteArray Expression::NumberKey(double value)
{
    QByteArray key(8, Qt::Uninitialized);
    EncodeNumberKey(value, reinterpret_cast<uchar *>(key.data()));
    return key;
}

QByteArray Expression::DateKey(const QDate &date)
{
    if (!date.isValid())
        return QByteArray(8, ' ');
    return date.toString(QStringLiteral("yyyyMMdd")).toLatin1();
}

void EncodeNumberKey(double value, uchar *out)
{
    if (value == 0 || !(value == value))
        value = 0;   // -0 and 0 are one key
    quint64 bits = std::bit_cast<quint64>(value);
    bits = (bits & 0x8000000000000000ull) ? ~bits : bits ^ 0x8000000000000000ull;
    for (int i = 7; i >= 0; --i) {
        out[i] = uchar(bits & 0xFF);
        bits >>= 8;
    }
}

double DecodeNumberKey(const uchar *key)
{
    quint64 bits = 0;
    for (int i = 0; i < 8; ++i)
        bits = bits << 8 | key[i];
    bits = (bits & 0x8000000000000000ull) ? bits ^ 0x8000000000000000ull : ~bits;
    return std::bit_cast<double>(bits);
}

const uchar *FoldLower1251() { return Folds().lower; }
const uchar *FoldUpper1251() { return Folds().upper; }

} // namespace vel
