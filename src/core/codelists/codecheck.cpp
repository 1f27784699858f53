#include "codelists/codecheck.h"

#include "codelists/codelists.h"

#include "base/errors.h"
#include "catalogue/catalogue.h"
#include "dataset/dataset.h"

namespace jex {

const QHash<QString, QString> &codeListColumns()
{
    static const QHash<QString, QString> columns = [] {
        QHash<QString, QString> h;
        try {
            for (const CatalogueTable *t : TableCatalogue::instance().tables(QStringLiteral("jex")))
                for (const CatalogueColumn &c : t->columns)
                    if (!c.codelist.isEmpty() && !c.codelist.startsWith(u'@'))
                        h.insert(c.name.toUpper(), CodeLists::listName(c.codelist));
        } catch (const EQxError &) {
            // Without a catalogue the program does not start; a test of
            // datasets of its own has no code columns to check.
        }
        return h;
    }();
    return columns;
}

namespace {

// The code of a column in the current record, when there is one to check.
bool codeToCheck(const Field &f, QString *list, const CodeLists &lists)
{
    const auto it = codeListColumns().constFind(f.name().toUpper());
    if (it == codeListColumns().constEnd() || f.isNull())
        return false;
    // Integer code columns hold 0 until a code is chosen.
    if (f.isNumeric() ? f.asInteger() == 0 && f.asFloat() == 0 : f.asString().trimmed().isEmpty())
        return false;
    if (lists.rowCount(*it) == 0 || lists.contains(*it, f.value()))
        return false;
    *list = *it;
    return true;
}

// One line per code of the current record missing from its list, as
// `say(column, code, list)` puts it.
template <class Say>
QStringList unknownCodes(const ClientDataSet &ds, const CodeLists &lists, Say say)
{
    QStringList out;
    if (!ds.isActive() || ds.isEmpty())
        return out;
    for (int i = 0; i < ds.fieldCount(); ++i) {
        const Field &f = *ds.field(i);
        QString list;
        if (codeToCheck(f, &list, lists))
            out << say(f.name(), f.asString().trimmed(), list);
    }
    return out;
}

} // namespace

QStringList unknownCodeFindings(const ClientDataSet &ds, const CodeLists &lists)
{
    return unknownCodes(ds, lists, [](const QString &column, const QString &code, const QString &list) {
        return QStringLiteral(" - Codice non presente nella tabella %1: %2 = %3").arg(list, column, code);
    });
}

QStringList unknownCodeWarnings(const ClientDataSet &ds, const CodeLists &lists)
{
    return unknownCodes(ds, lists, [](const QString &column, const QString &code, const QString &list) {
        return QStringLiteral("colonna %1: il codice %2 non è nella tabella %3").arg(column, code, list);
    });
}

} // namespace jex
