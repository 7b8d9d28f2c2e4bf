// The parser: an expression's text read into its compiled program, with the checks of
// names, types and sizes that make every evaluation safe.
#include <QString>

#include <vector>

#include "common/text.h"
#include "store/expr/expression.h"
#include "store/expr/program.h"

namespace vel {

using namespace expr;

namespace {

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
                QuotedText q = ReadQuoted(m_text, i + 1, c);
                if (!q.closed)
                    Fail(QStringLiteral("текст не закрыт кавычкой"), t.pos);
                i = int(q.end);
                t.kind = Tok::String;
                t.text = std::move(q.text);
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
    if (e.Type() != 'L')
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
    if (e.Type() == 'L')
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

QString Expression::Text() const { return p->text; }

} // namespace vel
