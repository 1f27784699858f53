// Import of the year's F24 payments into the summary tables ST I, ST II and SV.

#include "imports/f24/f24import.h"
#include "sections/sectionstore.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace jex {

namespace {

// Tribute codes of payments for self-employed work; every other code of the
// three tables concerns employees.
const QString kSelfEmployedCodes = QStringLiteral("104E 1019 1020 1040");

// Saves the scratch dataset after every post and delete while an import runs,
// and leaves it without those hooks afterwards (it is shared by the tables).
class SaveHooks
{
public:
    SaveHooks(ClientDataSet &cds, SectionStore &store, const QString &table) : m_cds(cds)
    {
        auto save = [&store, table](ClientDataSet &ds) { store.saveCds(table, ds); };
        m_cds.events.afterPost = save;
        m_cds.events.afterDelete = save;
    }
    ~SaveHooks()
    {
        m_cds.events.afterPost = nullptr;
        m_cds.events.afterDelete = nullptr;
    }

private:
    ClientDataSet &m_cds;
};

} // namespace

QString f24PreviousYearMessage()
{
    return QStringLiteral("Presenza di trattenute relative all'anno precedente. "
                          "I dati devono essere importati manualmente");
}

TImportProspetto::TImportProspetto(ClientDataSet &scratch, TQxSQLConnection &conn, SectionStore &store,
                                   const F24Year &year)
    : m_cds(scratch), m_conn(conn), m_store(store), m_year(year)
{
}

QSqlQuery TImportProspetto::runNamed(const QString &name, const QVariantMap &params)
{
    try {
        NamedQuery q;
        TQmrQueryText::instance().SetQuerySQL(name, q, 0, QStringLiteral("SELECT"));
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            q.setParam(it.key(), it.value());
        return jex::runNamed(m_conn, q);
    } catch (const EQxError &e) {
        throw EQxError(QStringLiteral("Tabella %1: %2\r\nUltima operazione DB: %3")
                           .arg(tableName, e.message(), name.toUpper()));
    }
}

bool TImportProspetto::import(const QString &codeColumn, bool &employees, bool &selfEmployed)
{
    resultMessage.clear();

    if (!testQuery.isEmpty()) {
        QSqlQuery test = runNamed(testQuery, {{QStringLiteral("IANFID"), m_year.id}});
        if (test.next()) {
            resultMessage = testMessage;
            return false;
        }
    }

    QSqlQuery q = runNamed(mainQuery, {{QStringLiteral("ANNO"), m_year.anno},
                                       {QStringLiteral("DATA_INIZIALE"), m_year.annoFineTxt + QStringLiteral("-01-01")}});
    // The rows are read before the table is touched, so that a statement
    // without rows leaves the old content in place.
    QList<QSqlRecord> rows;
    while (q.next())
        rows.append(q.record());
    q.finish();
    if (rows.isEmpty()) {
        resultMessage = QStringLiteral("Nessun dato da importare");
        return false;
    }

    try {
        m_cds.events.afterPost = nullptr;
        m_cds.events.afterDelete = nullptr;
        m_store.openCds(tableName, m_cds);
        SaveHooks hooks(m_cds, m_store, tableName);
        m_cds.setFiltered(false);
        m_cds.first();
        while (!m_cds.isEmpty())
            m_cds.remove();

        int count = 0;
        for (const QSqlRecord &row : rows) {
            m_cds.append();
            for (int i = 0; i < row.count(); ++i) {
                if (row.isNull(i))
                    continue;
                Field *f = m_cds.findField(row.fieldName(i));
                if (!f) {
                    m_cds.cancel();
                    throw EQxError(QStringLiteral("La colonna %1 restituita da %2 non esiste nella tabella %3")
                                       .arg(row.fieldName(i).toUpper(), mainQuery, tableName));
                }
                f->setValue(row.value(i));
            }
            m_cds.post();
            ++count;
            const QString code = m_cds.fieldByName(codeColumn)->asString().trimmed();
            if (!code.isEmpty() && kSelfEmployedCodes.contains(code))
                selfEmployed = true;
            else
                employees = true;
        }
        resultMessage = QStringLiteral("Importati %1 righi").arg(count);
        return true;
    } catch (const EQxError &e) {
        if (m_cds.isEditing())
            m_cds.cancel();
        if (e.message().contains(tableName))
            throw;
        throw EQxError(QStringLiteral("Tabella %1: %2").arg(tableName, e.message()));
    }
}

QString runImportF24(TQxSQLConnection &conn, SectionStore &store, const ImportF24Choice &choice,
                     const F24Year &year)
{
    ClientDataSet scratch;
    bool employees = false;
    bool selfEmployed = false;
    QString report;
    const QString nl = QStringLiteral("\r\n");

    auto one = [&](const QString &table, const QString &test, const QString &main, const QString &codeColumn) {
        TImportProspetto imp(scratch, conn, store, year);
        imp.tableName = table;
        imp.testQuery = test;
        imp.testMessage = test.isEmpty() ? QString() : f24PreviousYearMessage();
        imp.mainQuery = main;
        imp.import(codeColumn, employees, selfEmployed);
        report += QStringLiteral(" - ") + imp.resultMessage + nl;
    };

    if (choice.st1) {
        report = QStringLiteral("PROSPETTO ST SEZIONE I Erario") + nl;
        one(QStringLiteral("TPST_PROSPETTOST"), {}, QStringLiteral("QRY_JEX_ST_I"), QStringLiteral("SPSTCODTRIBUTO"));
    }
    if (choice.st2) {
        report += nl + QStringLiteral("PROSPETTO ST SEZIONE II Addizionali regionali") + nl;
        one(QStringLiteral("TPST2_PROSPETTOSTS2"), QStringLiteral("QRY_JEX_ST_II_TEST"),
            QStringLiteral("QRY_JEX_ST_II"), QStringLiteral("SPST2CODTRIBUTO"));
    }
    if (choice.sv) {
        report += nl + QStringLiteral("PROSPETTO SV Addizionali comunali") + nl;
        one(QStringLiteral("TPSV_PROSPETTOSV"), QStringLiteral("QRY_JEX_SV_TEST"),
            QStringLiteral("QRY_JEX_SV"), QStringLiteral("SPSVCODTRIBCAP"));
    }

    // The agent's record says which recipients the payments concern, also
    // when nothing was imported (then neither).
    const QString agent = QStringLiteral("TSOS_DATOSOSTITUTO");
    ClientDataSet sos;
    store.openCds(agent, sos);
    if (sos.isEmpty())
        sos.append();
    else {
        sos.first();
        sos.edit();
    }
    sos.fieldByName(QStringLiteral("SSOSTIPOINV"))->setValue(QStringLiteral("1"));
    sos.fieldByName(QStringLiteral("LSOSDIP"))->setValue(employees ? 1 : 0);
    sos.fieldByName(QStringLiteral("LSOSAUT"))->setValue(selfEmployed ? 1 : 0);
    sos.post();
    store.saveCds(agent, sos);
    return report;
}

bool executeImportF24(TQxSQLConnection &conn, SectionStore &store, const ImportF24Choice &choice,
                      const F24Year &year, QString *report)
{
    try {
        const QString text = runImportF24(conn, store, choice, year);
        if (report)
            *report = text;
        messages().warning(text);
        return true;
    } catch (const EAbort &) {
        return false;
    } catch (const std::exception &e) {
        messages().error(errorText(e));
        return false;
    }
}

} // namespace jex
