#include "dataset/filterexpr.h"

#include "dataset/dataset.h"
#include "base/errors.h"

#include <QRegularExpression>

namespace jex {

struct FilterExpr::Node
{
    enum Kind { Or, And, Not, Compare, IsNull, IsNotNull, Like, FieldRef, Literal, Concat };
    Kind kind;
    QString op;
    int field = -1;
    QVariant literal;
    std::shared_ptr<Node> left, right;
};

namespace {

struct Token
{
    enum Type { End, Ident, String, Number, Op, LParen, RParen } type = End;
    QString text;
};

class Parser
{
public:
    Parser(const QString &text, const ClientDataSet &ds) : m_text(text), m_ds(ds) { advance(); }

    std::shared_ptr<FilterExpr::Node> parseAll()
    {
        auto n = parseOr();
        if (m_tok.type != Token::End)
            fail(QStringLiteral("testo inatteso \"%1\"").arg(m_tok.text));
        return n;
    }

private:
    using NodeP = std::shared_ptr<FilterExpr::Node>;

    [[noreturn]] void fail(const QString &what) const
    {
        throw EQxError(QStringLiteral("Filtro non valido (%1): %2").arg(m_text, what));
    }

    void advance()
    {
        while (m_i < m_text.size() && m_text[m_i].isSpace())
            ++m_i;
        m_tok = Token{};
        if (m_i >= m_text.size())
            return;
        const QChar c = m_text[m_i];
        if (c == u'\'') {
            QString s;
            ++m_i;
            for (;;) {
                if (m_i >= m_text.size())
                    fail(QStringLiteral("apice non chiuso"));
                if (m_text[m_i] == u'\'') {
                    if (m_i + 1 < m_text.size() && m_text[m_i + 1] == u'\'') {
                        s += u'\'';
                        m_i += 2;
                        continue;
                    }
                    ++m_i;
                    break;
                }
                s += m_text[m_i++];
            }
            m_tok = {Token::String, s};
        } else if (c.isDigit() || (c == u'-' && m_i + 1 < m_text.size() && m_text[m_i + 1].isDigit()
                                   && lastWasOperator())) {
            int start = m_i++;
            while (m_i < m_text.size() && (m_text[m_i].isDigit() || m_text[m_i] == u'.'))
                ++m_i;
            m_tok = {Token::Number, m_text.mid(start, m_i - start)};
        } else if (c.isLetter() || c == u'_' || c == u'[') {
            if (c == u'[') {
                int end = m_text.indexOf(u']', m_i);
                if (end < 0)
                    fail(QStringLiteral("parentesi quadra non chiusa"));
                m_tok = {Token::Ident, m_text.mid(m_i + 1, end - m_i - 1)};
                m_i = end + 1;
            } else {
                int start = m_i;
                while (m_i < m_text.size() && (m_text[m_i].isLetterOrNumber() || m_text[m_i] == u'_'))
                    ++m_i;
                m_tok = {Token::Ident, m_text.mid(start, m_i - start)};
            }
        } else if (c == u'(') {
            ++m_i;
            m_tok = {Token::LParen, QStringLiteral("(")};
        } else if (c == u')') {
            ++m_i;
            m_tok = {Token::RParen, QStringLiteral(")")};
        } else {
            static const char *ops[] = {"<>", "<=", ">=", "=", "<", ">", "+"};
            for (const char *op : ops) {
                const QString o = QString::fromLatin1(op);
                if (m_text.mid(m_i, o.size()) == o) {
                    m_i += o.size();
                    m_tok = {Token::Op, o};
                    m_lastOp = true;
                    return;
                }
            }
            fail(QStringLiteral("carattere non ammesso '%1'").arg(c));
        }
        m_lastOp = false;
    }

    bool lastWasOperator() const { return m_lastOp || m_tok.type == Token::End; }

    bool isKeyword(const char *kw) const
    {
        return m_tok.type == Token::Ident && m_tok.text.compare(QLatin1String(kw), Qt::CaseInsensitive) == 0;
    }

    NodeP make(FilterExpr::Node::Kind k, NodeP l = {}, NodeP r = {})
    {
        auto n = std::make_shared<FilterExpr::Node>();
        n->kind = k;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }

    NodeP parseOr()
    {
        NodeP n = parseAnd();
        while (isKeyword("or")) {
            advance();
            n = make(FilterExpr::Node::Or, n, parseAnd());
        }
        return n;
    }

    NodeP parseAnd()
    {
        NodeP n = parseNot();
        while (isKeyword("and")) {
            advance();
            n = make(FilterExpr::Node::And, n, parseNot());
        }
        return n;
    }

    NodeP parseNot()
    {
        if (isKeyword("not")) {
            advance();
            return make(FilterExpr::Node::Not, parseNot());
        }
        return parseComparison();
    }

    NodeP parseComparison()
    {
        if (m_tok.type == Token::LParen) {
            // A parenthesis opens either a sub-condition or a value; a
            // condition is what the filters of the program put there.
            advance();
            NodeP inner = parseOr();
            if (m_tok.type != Token::RParen)
                fail(QStringLiteral("manca la parentesi chiusa"));
            advance();
            return inner;
        }
        NodeP left = parseOperand();
        if (isKeyword("is")) {
            advance();
            bool negate = false;
            if (isKeyword("not")) {
                negate = true;
                advance();
            }
            if (!isKeyword("null"))
                fail(QStringLiteral("atteso NULL"));
            advance();
            return make(negate ? FilterExpr::Node::IsNotNull : FilterExpr::Node::IsNull, left);
        }
        if (isKeyword("like")) {
            advance();
            NodeP n = make(FilterExpr::Node::Like, left, parseOperand());
            return n;
        }
        if (m_tok.type != Token::Op || m_tok.text == u"+")
            fail(QStringLiteral("atteso un operatore di confronto"));
        NodeP n = make(FilterExpr::Node::Compare, left);
        n->op = m_tok.text;
        advance();
        n->right = parseOperand();
        return n;
    }

    NodeP parseOperand()
    {
        NodeP n = parseTerm();
        while (m_tok.type == Token::Op && m_tok.text == u"+") {
            advance();
            n = make(FilterExpr::Node::Concat, n, parseTerm());
        }
        return n;
    }

    NodeP parseTerm()
    {
        if (m_tok.type == Token::String) {
            auto n = make(FilterExpr::Node::Literal);
            n->literal = m_tok.text;
            advance();
            return n;
        }
        if (m_tok.type == Token::Number) {
            auto n = make(FilterExpr::Node::Literal);
            bool ok = false;
            if (m_tok.text.contains(u'.'))
                n->literal = m_tok.text.toDouble(&ok);
            else
                n->literal = m_tok.text.toLongLong(&ok);
            if (!ok)
                fail(QStringLiteral("numero non valido \"%1\"").arg(m_tok.text));
            advance();
            return n;
        }
        if (m_tok.type == Token::Ident) {
            if (isKeyword("null")) {
                advance();
                return make(FilterExpr::Node::Literal);
            }
            const int idx = m_ds.fieldIndex(m_tok.text);
            if (idx < 0)
                fail(QStringLiteral("campo sconosciuto \"%1\"").arg(m_tok.text));
            auto n = make(FilterExpr::Node::FieldRef);
            n->field = idx;
            advance();
            return n;
        }
        if (m_tok.type == Token::LParen) {
            advance();
            NodeP n = parseOperand();
            if (m_tok.type != Token::RParen)
                fail(QStringLiteral("manca la parentesi chiusa"));
            advance();
            return n;
        }
        fail(QStringLiteral("atteso un campo o un valore"));
    }

    QString m_text;
    const ClientDataSet &m_ds;
    int m_i = 0;
    Token m_tok;
    bool m_lastOp = true;
};

// Public value of a stored value, for comparing with literals.
QVariant evalOperand(const FilterExpr::Node &n, const QVector<QVariant> &values,
                     const ClientDataSet &ds)
{
    switch (n.kind) {
    case FilterExpr::Node::Literal:
        return n.literal;
    case FilterExpr::Node::FieldRef:
        return ds.field(n.field)->fromStorage(values[n.field]);
    case FilterExpr::Node::Concat: {
        const QVariant a = evalOperand(*n.left, values, ds);
        const QVariant b = evalOperand(*n.right, values, ds);
        if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString || !a.isValid()
            || !b.isValid())
            return a.toString() + b.toString();
        return a.toDouble() + b.toDouble();
    }
    default:
        return {};
    }
}

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::LongLong: case QMetaType::Double:
    case QMetaType::UInt: case QMetaType::ULongLong: case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

int compareValues(const QVariant &a, const QVariant &b, bool *comparable)
{
    *comparable = true;
    if (isNumber(a) || isNumber(b)) {
        bool okA = true, okB = true;
        const double x = isNumber(a) ? a.toDouble() : a.toString().trimmed().toDouble(&okA);
        const double y = isNumber(b) ? b.toDouble() : b.toString().trimmed().toDouble(&okB);
        if (!okA || !okB) {
            *comparable = false;
            return 0;
        }
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QDate || b.typeId() == QMetaType::QDate) {
        QDate x = a.typeId() == QMetaType::QDate ? a.toDate() : QDate::fromString(a.toString(), u"dd/MM/yyyy");
        QDate y = b.typeId() == QMetaType::QDate ? b.toDate() : QDate::fromString(b.toString(), u"dd/MM/yyyy");
        if (!x.isValid() && a.typeId() != QMetaType::QDate)
            x = QDate::fromString(a.toString(), Qt::ISODate);
        if (!y.isValid() && b.typeId() != QMetaType::QDate)
            y = QDate::fromString(b.toString(), Qt::ISODate);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
}

bool likeMatch(const QString &text, const QString &pattern)
{
    QString rx = QRegularExpression::escape(pattern);
    rx.replace(QStringLiteral("%"), QStringLiteral(".*")).replace(QStringLiteral("_"), QStringLiteral("."));
    return QRegularExpression(QStringLiteral("^") + rx + QStringLiteral("$"),
                              QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

bool evalBool(const FilterExpr::Node &n, const QVector<QVariant> &values, const ClientDataSet &ds)
{
    switch (n.kind) {
    case FilterExpr::Node::Or:
        return evalBool(*n.left, values, ds) || evalBool(*n.right, values, ds);
    case FilterExpr::Node::And:
        return evalBool(*n.left, values, ds) && evalBool(*n.right, values, ds);
    case FilterExpr::Node::Not:
        return !evalBool(*n.left, values, ds);
    case FilterExpr::Node::IsNull:
        return !evalOperand(*n.left, values, ds).isValid();
    case FilterExpr::Node::IsNotNull:
        return evalOperand(*n.left, values, ds).isValid();
    case FilterExpr::Node::Like: {
        const QVariant a = evalOperand(*n.left, values, ds);
        const QVariant b = evalOperand(*n.right, values, ds);
        if (!a.isValid() || !b.isValid())
            return false;
        return likeMatch(a.toString(), b.toString());
    }
    case FilterExpr::Node::Compare: {
        const QVariant a = evalOperand(*n.left, values, ds);
        const QVariant b = evalOperand(*n.right, values, ds);
        // A null value satisfies no comparison: "X = ''" does not take a null X.
        if (!a.isValid() || !b.isValid())
            return false;
        bool comparable = true;
        const int c = compareValues(a, b, &comparable);
        if (!comparable)
            return n.op == u"<>";
        if (n.op == u"=") return c == 0;
        if (n.op == u"<>") return c != 0;
        if (n.op == u"<") return c < 0;
        if (n.op == u"<=") return c <= 0;
        if (n.op == u">") return c > 0;
        if (n.op == u">=") return c >= 0;
        return false;
    }
    default: {
        const QVariant v = evalOperand(n, values, ds);
        return v.isValid() && v.toBool();
    }
    }
}

} // namespace

std::shared_ptr<FilterExpr> FilterExpr::parse(const QString &text, const ClientDataSet &ds)
{
    auto f = std::make_shared<FilterExpr>();
    Parser p(text, ds);
    f->m_root = p.parseAll();
    f->m_ds = &ds;
    return f;
}

bool FilterExpr::matches(const QVector<QVariant> &values) const
{
    return m_root ? evalBool(*m_root, values, *m_ds) : true;
}

} // namespace jex
