#include "store/expr/expression.h"

#include <QDate>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "store/common/text.h"

namespace vel {

namespace {

// ---------------------------------------------------------------- case folding tables

struct FoldTables {
    uchar identity[256];
    uchar lower[256];
    uchar upper[256];
    FoldTables()
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
};

const FoldTables &Folds()
{
    static const FoldTables tables;
    return tables;
}

// ---------------------------------------------------------------- tokens

enum class Tok {
    End, Number, String, Name, LParen, RParen, Comma, Plus, Minus,
    Eq, Ne, Lt, Le, Gt, Ge, And, Or, Not, True, False
};

struct Token {
    Tok kind = Tok::End;
    int pos = 0;
    QString text;        // names and string constants
    double number = 0;
};

// ---------------------------------------------------------------- compiled nodes

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

long long ClampToInt(double v)
{
    if (!(v == v))
        return 0;
    if (v > 1e9)
        return 1000000000;
    if (v < -1e9)
        return -1000000000;
    return static_cast<long long>(v);
}

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

// ---------------------------------------------------------------- the program

struct Expression::Program {
    QString text;
    std::vector<Node> nodes;
    int root = -1;
    bool caseInsensitive = false;
    const uchar *fold = Folds().identity;      // comparisons
    const uchar *keyFold = Folds().identity;   // index keys
    mutable std::vector<uchar> scratch;

    View Text(int i, const uchar *r) const;
    double Number(int i, const uchar *r) const;
    bool Logical(int i, const uchar *r) const;
};

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

// ---------------------------------------------------------------- parser

namespace {

class Parser {
public:
    Parser(const QString &text, const RecordLayout &layout, const FilterOptions &options,
           std::vector<Node> &nodes)
        : m_text(text), m_layout(layout), m_options(options), m_nodes(nodes)
    {
    }

    int Parse()
    {
        Lex();
        m_at = 0;
        const int root = ParseOr(0);
        if (Peek().kind != Tok::End)
            Fail(QStringLiteral("лишний текст после выражения"), Peek().pos);
        return root;
    }

    [[noreturn]] void Fail(const QString &what, int pos) const
    {
        throw ExpressionError(
            QStringLiteral("Ошибка в выражении \"%1\" (позиция %2): %3.")
                .arg(m_text).arg(pos + 1).arg(what),
            m_text, pos);
    }

private:
    // ---- lexer
    void Lex()
    {
        const int n = int(m_text.size());
        int i = 0;
        for (;;) {
            while (i < n && m_text.at(i).isSpace())
                ++i;
            Token t;
            t.pos = i;
            if (i >= n) {
                m_tokens.push_back(t);
                return;
            }
            const QChar c = m_text.at(i);
            const char16_t u = c.unicode();
            if (u == '\'' || u == '"') {
                ++i;
                QString s;
                for (;;) {
                    if (i >= n)
                        Fail(QStringLiteral("текст не закрыт кавычкой"), t.pos);
                    if (m_text.at(i) == c) {
                        if (i + 1 < n && m_text.at(i + 1) == c) {
                            s += c;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    s += m_text.at(i++);
                }
                t.kind = Tok::String;
                t.text = s;
            } else if ((u >= '0' && u <= '9') || (u == '.' && i + 1 < n && m_text.at(i + 1).isDigit()
                                                   && m_text.at(i + 1).unicode() < 128)) {
                int j = i;
                while (j < n && m_text.at(j).unicode() >= '0' && m_text.at(j).unicode() <= '9')
                    ++j;
                if (j < n && m_text.at(j) == QLatin1Char('.')) {
                    ++j;
                    while (j < n && m_text.at(j).unicode() >= '0' && m_text.at(j).unicode() <= '9')
                        ++j;
                }
                if (j - i > 30)
                    Fail(QStringLiteral("слишком длинное число"), i);
                t.kind = Tok::Number;
                t.number = m_text.mid(i, j - i).toDouble();
                i = j;
            } else if (u == '.') {
                // .AND. .OR. .NOT. .T. .F.
                int j = i + 1;
                while (j < n && j - i < 6 && m_text.at(j).isLetter() && m_text.at(j).unicode() < 128)
                    ++j;
                const QString word = m_text.mid(i + 1, j - i - 1).toUpper();
                if (j >= n || m_text.at(j) != QLatin1Char('.'))
                    Fail(QStringLiteral("непонятный знак '.'"), i);
                if (word == QLatin1String("AND")) t.kind = Tok::And;
                else if (word == QLatin1String("OR")) t.kind = Tok::Or;
                else if (word == QLatin1String("NOT")) t.kind = Tok::Not;
                else if (word == QLatin1String("T") || word == QLatin1String("Y")) t.kind = Tok::True;
                else if (word == QLatin1String("F") || word == QLatin1String("N")) t.kind = Tok::False;
                else Fail(QStringLiteral("непонятный знак '.'"), i);
                i = j + 1;
            } else if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_') {
                int j = i;
                while (j < n) {
                    const char16_t v = m_text.at(j).unicode();
                    if (!((v >= 'A' && v <= 'Z') || (v >= 'a' && v <= 'z') || (v >= '0' && v <= '9')
                          || v == '_'))
                        break;
                    ++j;
                }
                t.text = m_text.mid(i, j - i);
                const QString word = t.text.toUpper();
                if (word == QLatin1String("AND")) t.kind = Tok::And;
                else if (word == QLatin1String("OR")) t.kind = Tok::Or;
                else if (word == QLatin1String("NOT")) t.kind = Tok::Not;
                else t.kind = Tok::Name;
                i = j;
            } else {
                const char16_t v = i + 1 < n ? m_text.at(i + 1).unicode() : 0;
                int len = 1;
                switch (u) {
                case '(': t.kind = Tok::LParen; break;
                case ')': t.kind = Tok::RParen; break;
                case ',': t.kind = Tok::Comma; break;
                case '+': t.kind = Tok::Plus; break;
                case '-': t.kind = Tok::Minus; break;
                case '#': t.kind = Tok::Ne; break;
                case '=':
                    t.kind = Tok::Eq;
                    if (v == '=') len = 2;
                    break;
                case '!':
                    if (v != '=')
                        Fail(QStringLiteral("непонятный знак '!'"), i);
                    t.kind = Tok::Ne;
                    len = 2;
                    break;
                case '<':
                    t.kind = v == '>' ? Tok::Ne : (v == '=' ? Tok::Le : Tok::Lt);
                    if (v == '>' || v == '=') len = 2;
                    break;
                case '>':
                    t.kind = v == '=' ? Tok::Ge : Tok::Gt;
                    if (v == '=') len = 2;
                    break;
                default:
                    Fail(QStringLiteral("непонятный знак '%1'").arg(c), i);
                }
                i += len;
            }
            m_tokens.push_back(t);
        }
    }

    const Token &Peek() const { return m_tokens[m_at]; }
    const Token &Take() { return m_tokens[m_at < m_tokens.size() - 1 ? m_at++ : m_at]; }

    void Expect(Tok kind, const QString &what)
    {
        if (Peek().kind != kind)
            Fail(what, Peek().pos);
        Take();
    }

    int Add(Node node)
    {
        m_nodes.push_back(std::move(node));
        return int(m_nodes.size()) - 1;
    }
    const Node &At(int i) const { return m_nodes[size_t(i)]; }

    void RequireType(int i, char type, const QString &what) const
    {
        if (At(i).type != type)
            Fail(what, At(i).pos);
    }

    int TextNode(Op op, int pos, int maxLen, std::vector<int> kids)
    {
        if (maxLen > MaxTextLength)
            Fail(QStringLiteral("слишком длинный текст"), pos);
        Node node{op, 'C', pos};
        node.kids = std::move(kids);
        node.maxLen = maxLen;
        return Add(std::move(node));
    }

    // ---- grammar: or < and < not < comparison < + < primary
    int ParseOr(int depth)
    {
        if (depth > MaxDepth)
            Fail(QStringLiteral("слишком глубокая вложенность"), Peek().pos);
        return ParseJoined(depth, Tok::Or, Op::Or, QStringLiteral("OR"), &Parser::ParseAnd);
    }

    int ParseAnd(int depth)
    {
        return ParseJoined(depth, Tok::And, Op::And, QStringLiteral("AND"), &Parser::ParseNot);
    }

    // Conditions joined by one operator: a or b or c is one node.
    int ParseJoined(int depth, Tok tok, Op op, const QString &word, int (Parser::*operand)(int))
    {
        const int first = (this->*operand)(depth);
        if (Peek().kind != tok)
            return first;
        std::vector<int> kids{first};
        RequireType(first, 'L', QStringLiteral("слева от %1 должно быть условие").arg(word));
        while (Peek().kind == tok) {
            Take();
            const int next = (this->*operand)(depth);
            RequireType(next, 'L', QStringLiteral("справа от %1 должно быть условие").arg(word));
            kids.push_back(next);
        }
        Node node{op, 'L', At(first).pos};
        node.kids = std::move(kids);
        return Add(std::move(node));
    }

    int ParseNot(int depth)
    {
        if (Peek().kind != Tok::Not)
            return ParseCompare(depth);
        const int pos = Take().pos;
        if (depth + 1 > MaxDepth)
            Fail(QStringLiteral("слишком глубокая вложенность"), pos);
        const int operand = ParseNot(depth + 1);
        RequireType(operand, 'L', QStringLiteral("после NOT должно быть условие"));
        Node node{Op::Not, 'L', pos};
        node.kids = {operand};
        return Add(std::move(node));
    }

    int ParseCompare(int depth)
    {
        const int left = ParseSum(depth);
        quint8 cmp;
        switch (Peek().kind) {
        case Tok::Eq: cmp = Eq; break;
        case Tok::Ne: cmp = Ne; break;
        case Tok::Lt: cmp = Lt; break;
        case Tok::Le: cmp = Le; break;
        case Tok::Gt: cmp = Gt; break;
        case Tok::Ge: cmp = Ge; break;
        default: return left;
        }
        const int opPos = Take().pos;
        const int right = ParseSum(depth);
        const char lt = At(left).type, rt = At(right).type;
        if (lt != rt)
            Fail(QStringLiteral("сравниваются значения разных типов"), opPos);
        if (lt == 'L' && cmp != Eq && cmp != Ne)
            Fail(QStringLiteral("условия можно сравнивать только на равенство"), opPos);

        if (lt == 'C' && m_options.partialCompare && (cmp == Eq || cmp == Ne)) {
            // A constant with '*' at an end is a pattern for the other side.
            int pattern = -1, subject = -1;
            if (IsWildConstant(right)) {
                pattern = right;
                subject = left;
            } else if (IsWildConstant(left)) {
                pattern = left;
                subject = right;
            }
            if (pattern >= 0) {
                QByteArray body = At(pattern).bytes;
                const bool leading = body.startsWith('*');
                if (leading)
                    body.remove(0, 1);
                const bool trailing = body.endsWith('*');
                if (trailing)
                    body.chop(1);
                Node node{Op::Wild, 'L', At(left).pos};
                node.cmp = cmp;
                node.mode = body.isEmpty() ? Anything
                                           : (leading && trailing ? Contains : (leading ? Suffix : Prefix));
                node.bytes = body;
                node.kids = {subject};
                if (node.mode == Contains)
                    PrepareContains(node);
                return Add(std::move(node));
            }
        }
        Node node{Op::Compare, 'L', At(left).pos};
        node.cmp = cmp;
        node.kids = {left, right};
        return Add(std::move(node));
    }

    // What ContainsMatch needs besides the pattern; comparisons fold as the program does.
    void PrepareContains(Node &node) const
    {
        const uchar *fold = m_options.caseInsensitive ? Folds().lower : Folds().identity;
        const auto *pp = reinterpret_cast<const uchar *>(node.bytes.constData());
        node.blankFree = true;
        for (int i = 0; i < node.bytes.size(); ++i)
            node.blankFree = node.blankFree && fold[pp[i]] != fold[uchar(' ')];
        int count = 0;
        for (int b = 0; b < 256; ++b)
            if (fold[b] == fold[pp[0]]) {
                if (count < 2)
                    node.firsts[count] = uchar(b);
                ++count;
            }
        node.firstCount = count <= 2 ? quint8(count) : 0;
    }

    bool IsWildConstant(int i) const
    {
        const Node &n = At(i);
        return n.op == Op::TextConst && (n.bytes.startsWith('*') || n.bytes.endsWith('*'));
    }

    int ParseSum(int depth)
    {
        int left = ParsePrimary(depth);
        while (Peek().kind == Tok::Plus) {
            const int opPos = Take().pos;
            const int right = ParsePrimary(depth);
            const char lt = At(left).type, rt = At(right).type;
            if (lt != rt || (lt != 'C' && lt != 'N'))
                Fail(QStringLiteral("'+' соединяет два текста или складывает два числа"), opPos);
            const Op op = lt == 'C' ? Op::Concat : Op::Add;
            if (At(left).op == op) {   // a + b + c is one node
                m_nodes[size_t(left)].kids.push_back(right);
                if (op == Op::Concat) {
                    m_nodes[size_t(left)].maxLen += At(right).maxLen;
                    if (At(left).maxLen > MaxTextLength)
                        Fail(QStringLiteral("слишком длинный текст"), opPos);
                }
                continue;
            }
            if (op == Op::Concat) {
                left = TextNode(Op::Concat, At(left).pos, At(left).maxLen + At(right).maxLen,
                                {left, right});
            } else {
                Node node{Op::Add, 'N', At(left).pos};
                node.kids = {left, right};
                left = Add(std::move(node));
            }
        }
        return left;
    }

    int ParsePrimary(int depth)
    {
        const Token t = Take();
        switch (t.kind) {
        case Tok::Number: {
            Node node{Op::NumConst, 'N', t.pos};
            node.num = t.number;
            return Add(std::move(node));
        }
        case Tok::Minus: {
            if (Peek().kind != Tok::Number)
                Fail(QStringLiteral("после '-' ожидается число"), Peek().pos);
            Node node{Op::NumConst, 'N', t.pos};
            node.num = -Take().number;
            return Add(std::move(node));
        }
        case Tok::String: {
            Node node{Op::TextConst, 'C', t.pos};
            node.bytes = ToCp1251(t.text);
            node.maxLen = int(node.bytes.size());
            if (node.maxLen > MaxTextLength)
                Fail(QStringLiteral("слишком длинный текст"), t.pos);
            return Add(std::move(node));
        }
        case Tok::True:
        case Tok::False: {
            Node node{Op::LogConst, 'L', t.pos};
            node.num = t.kind == Tok::True ? 1 : 0;
            return Add(std::move(node));
        }
        case Tok::LParen: {
            const int inner = ParseOr(depth + 1);
            Expect(Tok::RParen, QStringLiteral("ожидается ')'"));
            return inner;
        }
        case Tok::Name:
            if (Peek().kind == Tok::LParen)
                return ParseCall(t, depth);
            return FieldNode(t);
        case Tok::End:
            Fail(QStringLiteral("выражение оборвано, ожидается значение"), t.pos);
        default:
            Fail(QStringLiteral("ожидается значение"), t.pos);
        }
    }

    int FieldNode(const Token &t)
    {
        const int index = m_layout.indexOf(t.text);
        if (index < 0)
            Fail(QStringLiteral("в таблице нет поля %1").arg(t.text), t.pos);
        const FieldLayout &f = m_layout.fields[index];
        if (f.offset < 1 || f.width < 1 || f.offset + f.width > m_layout.recordLength)
            Fail(QStringLiteral("поле %1 лежит вне записи").arg(f.name), t.pos);
        Node node{Op::TextField, 'C', t.pos};
        node.offset = f.offset;
        node.width = f.width;
        int need = 1;
        switch (f.type) {
        case 'C':
            node.maxLen = f.width;
            break;
        case 'D':
            node.op = Op::DateField;
            node.type = 'D';
            node.maxLen = need = 8;
            node.width = 8;
            break;
        case 'N':
        case 'F':
            node.op = Op::NumAscii;
            node.type = 'N';
            break;
        case 'I':
        case '+':
            node.op = (m_layout.level == TableLevel::DBase7 || f.type == '+') ? Op::NumLong7
                                                                              : Op::NumLongLe;
            node.type = 'N';
            need = 4;
            break;
        case 'S':
            node.op = Op::NumShort;
            node.type = 'N';
            need = 2;
            break;
        case 'L':
            node.op = Op::LogField;
            node.type = 'L';
            break;
        default:
            Fail(QStringLiteral("поле %1 типа %2 нельзя использовать в выражении")
                     .arg(f.name, QChar::fromLatin1(f.type)), t.pos);
        }
        if (f.width < need)
            Fail(QStringLiteral("поле %1 короче своего типа").arg(f.name), t.pos);
        return Add(std::move(node));
    }

    int ParseCall(const Token &name, int depth)
    {
        if (depth + 1 > MaxDepth)
            Fail(QStringLiteral("слишком глубокая вложенность"), name.pos);
        Take();   // '('
        std::vector<int> args;
        if (Peek().kind != Tok::RParen) {
            for (;;) {
                args.push_back(ParseOr(depth + 1));
                if (Peek().kind != Tok::Comma)
                    break;
                Take();
            }
        }
        Expect(Tok::RParen, QStringLiteral("ожидается ')' или ','"));

        const QString fn = name.text.toUpper();
        auto arity = [&](size_t least, size_t most) {
            if (args.size() < least || args.size() > most)
                Fail(QStringLiteral("неверное число аргументов %1").arg(fn), name.pos);
        };
        auto constant = [&](int i, const QString &what) -> long long {
            if (At(i).op != Op::NumConst)
                Fail(what, At(i).pos);
            return ClampToInt(At(i).num);
        };

        if (fn == QLatin1String("DTOS")) {
            arity(1, 1);
            RequireType(args[0], 'D', QStringLiteral("DTOS ожидает дату"));
            return TextNode(Op::Dtos, name.pos, 8, args);
        }
        if (fn == QLatin1String("SUBSTR")) {
            arity(2, 3);
            RequireType(args[0], 'C', QStringLiteral("SUBSTR ожидает текст"));
            RequireType(args[1], 'N', QStringLiteral("начало SUBSTR должно быть числом"));
            int maxLen = At(args[0]).maxLen;
            if (At(args[1]).op == Op::NumConst)
                maxLen -= int(qMax(1LL, ClampToInt(At(args[1]).num)) - 1);
            if (args.size() > 2) {
                RequireType(args[2], 'N', QStringLiteral("длина SUBSTR должна быть числом"));
                if (At(args[2]).op == Op::NumConst)
                    maxLen = int(qMin<long long>(maxLen, ClampToInt(At(args[2]).num)));
            }
            return TextNode(Op::Substr, name.pos, qMax(0, maxLen), args);
        }
        if (fn == QLatin1String("STR")) {
            arity(1, 3);
            RequireType(args[0], 'N', QStringLiteral("STR ожидает число"));
            const long long width = args.size() > 1
                ? constant(args[1], QStringLiteral("ширина STR должна быть числом")) : 10;
            const long long decimals = args.size() > 2
                ? constant(args[2], QStringLiteral("число знаков STR должно быть числом")) : 0;
            if (width < 1 || width > 20)
                Fail(QStringLiteral("ширина STR должна быть от 1 до 20"), At(args[1]).pos);
            if (decimals < 0 || decimals > 15 || (decimals > 0 && decimals >= width - 1))
                Fail(QStringLiteral("неверное число знаков STR"), At(args[2]).pos);
            const int node = TextNode(Op::Str, name.pos, int(width), {args[0]});
            m_nodes[size_t(node)].num = double(decimals);
            return node;
        }
        if (fn == QLatin1String("UPPER") || fn == QLatin1String("LOWER")) {
            arity(1, 1);
            RequireType(args[0], 'C', QStringLiteral("%1 ожидает текст").arg(fn));
            return TextNode(fn == QLatin1String("UPPER") ? Op::Upper : Op::Lower, name.pos,
                            At(args[0]).maxLen, args);
        }
        Fail(QStringLiteral("неизвестная функция %1").arg(name.text), name.pos);
    }

    const QString &m_text;
    const RecordLayout &m_layout;
    const FilterOptions m_options;
    std::vector<Node> &m_nodes;
    std::vector<Token> m_tokens;
    size_t m_at = 0;
};

} // namespace

// ---------------------------------------------------------------- Expression

Expression::Expression(std::unique_ptr<Program> program) : p(std::move(program)) {}

Expression::Expression(const QString &text, const RecordLayout &layout, const FilterOptions &options)
    : p(std::make_unique<Program>())
{
    p->text = text;
    p->caseInsensitive = options.caseInsensitive;
    p->fold = options.caseInsensitive ? Folds().lower : Folds().identity;
    p->keyFold = p->fold;
    Parser parser(p->text, layout, options, p->nodes);
    p->root = parser.Parse();

    // Every node that builds a text gets its own place in the scratch buffer.
    size_t scratch = 0;
    for (Node &n : p->nodes) {
        if (n.op == Op::Concat || n.op == Op::Str || n.op == Op::Upper || n.op == Op::Lower) {
            n.offset = int(scratch);
            scratch += size_t(n.maxLen);
            if (scratch > size_t(MaxScratch))
                parser.Fail(QStringLiteral("выражение слишком длинное"), n.pos);
        }
    }
    p->scratch.assign(scratch + 1, 0);
}

Expression::~Expression() = default;
Expression::Expression(Expression &&) noexcept = default;
Expression &Expression::operator=(Expression &&) noexcept = default;

Expression Expression::Filter(const QString &text, const RecordLayout &layout,
                              const FilterOptions &options)
{
    if (text.trimmed().isEmpty())
        return Expression(QStringLiteral(".T."), layout, options);
    Expression e(text, layout, options);
    if (e.type() != 'L')
        throw ExpressionError(
            QStringLiteral("Ошибка в выражении \"%1\" (позиция 1): фильтр должен быть условием.").arg(text),
            text, 0);
    return e;
}

Expression Expression::IndexKey(const QString &text, const RecordLayout &layout, bool caseInsensitive)
{
    FilterOptions options;
    options.caseInsensitive = caseInsensitive;
    Expression e(text, layout, options);
    if (e.type() == 'L')
        throw ExpressionError(
            QStringLiteral("Ошибка в выражении \"%1\" (позиция 1): ключ индекса должен быть текстом, "
                           "числом или датой.").arg(text),
            text, 0);
    if (e.KeyLength() < 1)
        throw ExpressionError(
            QStringLiteral("Ошибка в выражении \"%1\" (позиция 1): ключ индекса пуст.").arg(text),
            text, 0);
    return e;
}

QString Expression::text() const { return p->text; }

char Expression::type() const { return p->nodes[size_t(p->root)].type; }

bool Expression::Test(const uchar *record) const
{
    return type() == 'L' && p->Logical(p->root, record);
}

char Expression::KeyType() const
{
    const char t = type();
    return t == 'L' ? 'C' : t;
}

int Expression::KeyLength() const
{
    switch (type()) {
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
    switch (type()) {
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
    switch (type()) {
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
