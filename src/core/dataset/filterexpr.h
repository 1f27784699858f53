#pragma once

#include <QString>
#include <QVariant>
#include <QVector>
#include <memory>

namespace jex {

class ClientDataSet;

// A parsed dataset filter: comparisons (=, <>, <, <=, >, >=), IS [NOT] NULL,
// LIKE with % wildcards, AND, OR, NOT, parentheses, text literals in single
// quotes (a doubled quote stands for one), numbers, field names and the
// concatenation "A+B". Field names compare without regard to case.
class FilterExpr
{
public:
    // Throws EQxError with an Italian message on a malformed expression.
    static std::shared_ptr<FilterExpr> parse(const QString &text, const ClientDataSet &ds);

    bool matches(const QVector<QVariant> &values) const;

    struct Node;

private:
    std::shared_ptr<Node> m_root;
    const ClientDataSet *m_ds = nullptr;
};

} // namespace jex
