#pragma once

#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

namespace jex {

class TQxSQLConnection;


// The financial year the statements are run for.
struct F24Year
{
    int id = 55;                    // IANFID of 2024
    int anno = 2024;                // calendar year of its first day
    QString annoFineTxt = QStringLiteral("2024"); // year of its last day
};

// Replaces one summary table with the rows of a named statement.
class TImportProspetto
{
public:
    TImportProspetto(ClientDataSet &scratch, TQxSQLConnection &conn, SectionStore &store,
                     const F24Year &year = {});

    QString tableName;
    QString testQuery;   // empty: no test
    QString testMessage; // result message when the test returns rows
    QString mainQuery;
    QString resultMessage;

    // True when rows were imported. Raises the employees or the
    // self-employed flag by the tribute code of each row; never lowers them.
    bool import(const QString &codeColumn, bool &employees, bool &selfEmployed);

private:
    QSqlQuery runNamed(const QString &name, const QVariantMap &params);
    ClientDataSet &m_cds;
    TQxSQLConnection &m_conn;
    SectionStore &m_store;
    F24Year m_year;
};

struct ImportF24Choice
{
    bool st1 = true;
    bool st2 = true;
    bool sv = true;
};

// The whole "Importa" action: the chosen tables in order, then the agent's
// flags. Returns the report the user is shown. Errors propagate: what was
// saved before them stays saved.
QString runImportF24(TQxSQLConnection &conn, SectionStore &store, const ImportF24Choice &choice,
                     const F24Year &year = {});

// Same, for the program: shows the report as a warning, or the error.
// Returns false when an error ended it.
bool executeImportF24(TQxSQLConnection &conn, SectionStore &store, const ImportF24Choice &choice,
                      const F24Year &year, QString *report = nullptr);

// The failed-test text of the tested tables.
QString f24PreviousYearMessage();

// The store the program uses (the structure service of the main connection).
std::unique_ptr<SectionStore> makeProgramStore(TQxSQLConnection &conn);

// The year the program runs in, from the parameter module when there is one.
F24Year programYear(TQxSQLConnection &conn);

} // namespace jex
