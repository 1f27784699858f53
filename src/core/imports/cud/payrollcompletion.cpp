#include "imports/cud/payrollcompletion.h"

#include "imports/cud/additionaltaxes.h"
#include "imports/cud/completionsupport.h"
#include "imports/cud/importreport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/money.h"
#include "database/namedsql.h"
#include "database/sqlconnection.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QSqlQuery>

namespace jex {

// ---------------------------------------------------------------- support

QVector<QSqlRecord> archiveRows(TQxSQLConnection &conn, const QString &name, const QVariantMap &params)
{
    NamedQuery q;
    TQmrQueryText::instance().SetQuerySQL(name, q, 0, QStringLiteral("EXECUTE"));
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        q.setParam(it.key(), it.value());
    QVector<QSqlRecord> rows;
    try {
        QSqlQuery &r = runKeptStatement(conn, q.sql, q.params);
        while (r.next())
            rows.append(r.record());
        r.finish();
    } catch (const EQxError &e) {
        throw EQxError(e.message() + QStringLiteral("\r\nUltima operazione DB: ") + name.toUpper());
    }
    return rows;
}

qint64 moneyOf(const QSqlRecord &row, const char *column)
{
    const QVariant v = row.value(QString::fromLatin1(column));
    return v.isNull() ? 0 : TQmrCalcola::fromDouble(v.toDouble());
}

int intOf(const QSqlRecord &row, const char *column)
{
    return row.value(QString::fromLatin1(column)).toInt();
}

QString textOf(const QSqlRecord &row, const char *column)
{
    return row.value(QString::fromLatin1(column)).toString().trimmed();
}

Field *fieldOf(ClientDataSet &ds, const char *field)
{
    return ds.fieldByName(QString::fromLatin1(field));
}

qint64 money(ClientDataSet &ds, const char *field) { return fieldOf(ds, field)->asMoney(); }
void setMoney(ClientDataSet &ds, const char *field, qint64 amount) { fieldOf(ds, field)->setAsMoney(amount); }
QString text(ClientDataSet &ds, const char *field) { return fieldOf(ds, field)->asString().trimmed(); }

PersonName personOf(ClientDataSet &anagrafica)
{
    return {text(anagrafica, "SDIP7COGNOME"), text(anagrafica, "SDIP7NOME")};
}

void openByPerson(PersonTable &out, SectionStore &store, const QString &table)
{
    out.name = table;
    out.keyColumn = QStringLiteral("SDIP7CODFIS");
    out.exactKey = true;
    out.open(store);
}

void forEachEmployee(PersonTable &anagrafica, const QStringList &codFis, const QString &caption,
                     const std::function<void(const QString &)> &step, const QSet<QString> &skip)
{
    const auto total = int(codFis.size());
    for (int i = 0; i < total; ++i) {
        messages().progress(caption, i, total);
        const QString &cf = codFis.at(i);
        if (!anagrafica.has(cf) || skip.contains(cf))
            continue;
        anagrafica.load(cf, true);
        step(cf);
        anagrafica.keepWorkingRows(cf);
    }
    messages().progress(caption, total, total);
}

// ---------------------------------------------------------------- steps

PayrollPosition PayrollCompletion::position(const QString &codFis)
{
    if (m_readYearOnce) {
        if (!m_yearPositions) {
            // Rows in the order of QRY_IMP_CF: a person's first is the position.
            QHash<QString, PayrollPosition> positions;
            QHash<int, int> regions;
            for (const QSqlRecord &r : archiveRows(*m_ctx.conn, QStringLiteral("QRY_IMP_CF_ANNO"),
                                                   {{QStringLiteral("IANFID"), m_ctx.yearId}})) {
                const QString cf = r.value(0).toString();
                if (positions.contains(cf))
                    continue;
                const PayrollPosition p{intOf(r, "IACOMID"), intOf(r, "IQARID"), intOf(r, "ITNOID")};
                positions.insert(cf, p);
                regions.insert(p.acomId, intOf(r, "IREPACODICE"));
            }
            m_yearPositions = std::move(positions);
            m_yearRegions = std::move(regions);
        }
        return m_yearPositions->value(codFis);
    }
    // A person's import asks twice (the kind of employee, the 730 items);
    // the archive does not change during the import.
    if (m_positionFor && *m_positionFor == codFis)
        return m_position;
    const QVector<QSqlRecord> rows = archiveRows(*m_ctx.conn, QStringLiteral("QRY_IMP_CF"),
                                                 {{QStringLiteral("SANACODFISCALE"), codFis},
                                                  {QStringLiteral("IANFID"), m_ctx.yearId}});
    m_position = {};
    if (!rows.isEmpty()) {
        const QSqlRecord &r = rows.first();
        m_position = {intOf(r, "IACOMID"), intOf(r, "IQARID"), intOf(r, "ITNOID")};
    }
    m_positionFor = codFis;
    return m_position;
}

QVector<PayrollCompletion::AssistanceItem> PayrollCompletion::assistanceItems(int acomId, const QString &codFis)
{
    constexpr int kAssistanceGroup = 4;
    auto item = [](const QSqlRecord &r) {
        return AssistanceItem{intOf(r, "IMESID"), intOf(r, "ICOMRID"), moneyOf(r, "FVACRLORDO")};
    };
    if (!m_readYearOnce) {
        QVector<AssistanceItem> items;
        for (const QSqlRecord &r : archiveRows(*m_ctx.conn, QStringLiteral("QRY_JEX_730"),
                                               {{QStringLiteral("IACOMID"), acomId},
                                                {QStringLiteral("ICOMRGRUPPO"), kAssistanceGroup}}))
            items.append(item(r));
        return items;
    }
    if (!m_yearAssistance) {
        // The items of all the positions of the person's year, as QRY_JEX_730
        // reads them for the person's position, in its order.
        QHash<QString, QVector<AssistanceItem>> byPerson;
        for (const QSqlRecord &r : archiveRows(*m_ctx.conn, QStringLiteral("QRY_JEX_730_ANNO"),
                                               {{QStringLiteral("IANFID"), m_ctx.yearId},
                                                {QStringLiteral("ICOMRGRUPPO"), kAssistanceGroup}}))
            byPerson[r.value(0).toString()].append(item(r));
        m_yearAssistance = std::move(byPerson);
    }
    return m_yearAssistance->value(codFis);
}

int PayrollCompletion::positionRegion(int acomId)
{
    if (m_readYearOnce && m_yearPositions)
        return m_yearRegions.value(acomId);
    const QVector<QSqlRecord> region = archiveRows(*m_ctx.conn, QStringLiteral("QRY_REPA_ACOM_CALC"),
                                                   {{QStringLiteral("IACOMID"), acomId}});
    return region.isEmpty() ? 0 : intOf(region.first(), "IREPACODICE");
}

PayrollCompletion::PayrollCompletion(CompletionContext context) : m_ctx(std::move(context)) {}

PayrollCompletion::~PayrollCompletion() = default;

PersonTable &PayrollCompletion::employees()
{
    if (m_shared)
        return *m_shared;
    m_own = std::make_unique<PersonTable>();
    openByPerson(*m_own, *m_ctx.store, kAnagrafica);
    return *m_own;
}

void PayrollCompletion::completeImport(const QStringList &codFis, bool carryTaxes, const QSet<QString> &carried)
{
    PersonTable shared;
    openByPerson(shared, *m_ctx.store, kAnagrafica);
    m_shared = &shared;
    try {
        if (carryTaxes)
            additionalTaxes(codFis, carried);
        checkDeductions(codFis);
        splitSeparateTaxation(codFis);
        importDependants(codFis);
    } catch (...) {
        m_shared = nullptr;
        throw;
    }
    m_shared = nullptr;
}

void PayrollCompletion::showPhase(const QString &caption)
{
    if (m_ctx.phase)
        m_ctx.phase(caption);
}

void PayrollCompletion::additionalTaxes(const QStringList &codFis, const QSet<QString> &carried)
{
    const QString caption = QString::fromUtf8(additionalTaxesCaption);
    showPhase(caption);
    PersonTable &employees = this->employees();
    ClientDataSet &dip = employees.ds;
    forEachEmployee(employees, codFis, caption, [&](const QString &) {
        const PersonName who = personOf(dip);
        try {
            // The import carries them person by person: what it carried
            // is found unchanged and not written again.
            if (carryAdditionalTaxes(dip) && dip.hasPendingChanges())
                m_ctx.store->saveCds(kAnagrafica, dip);
        } catch (const std::exception &e) {
            if (dip.isEditing())
                dip.cancel();
            dip.cancelUpdates();
            messages().information(withError(
                QStringLiteral("Impossibile riportare gli importi delle addizionali IRPEF trattenuti : ")
                    + who.display(),
                errorText(e)));
        }
    }, carried);
}

bool CheckDeductions(ClientDataSet &anagrafica)
{
    const qint64 total = money(anagrafica, "FFIS7TOTDETR");
    if (total <= 0 || money(anagrafica, "FFIS7IMPOLORDA") <= total)
        return false;
    bool changed = false;
    qint64 remainder = total;
    for (const char *column : {"FFIS7DEDUZFAM", "FFIS7DETLAVDIPPEN", "FFIS7DETRONERI", "FFIS7DETCANLOC"}) {
        const qint64 value = money(anagrafica, column);
        if (value == 0)
            continue;
        if (value <= remainder) {
            remainder -= value;
            continue;
        }
        if (!anagrafica.isEditing())
            anagrafica.edit();
        setMoney(anagrafica, column, remainder);
        remainder = 0;
        changed = true;
    }
    return changed;
}

void PayrollCompletion::checkDeductions(const QStringList &codFis)
{
    const QString caption = QStringLiteral("Controllo delle detrazioni ...");
    showPhase(caption);
    PersonTable &employees = this->employees();
    ClientDataSet &dip = employees.ds;
    forEachEmployee(employees, codFis, caption, [&](const QString &) {
        const PersonName who = personOf(dip);
        try {
            if (!CheckDeductions(dip))
                return;
            dip.post();
            m_ctx.store->saveCds(kAnagrafica, dip);
            m_ctx.report->setPerson(who.surname, who.name);
            m_ctx.report->addMessage(QStringLiteral("Detrazioni ricalcolate"));
        } catch (const std::exception &e) {
            if (dip.isEditing())
                dip.cancel();
            dip.cancelUpdates();
            m_ctx.report->setPerson(who.surname, who.name);
            m_ctx.report->addMessage(QStringLiteral("Detrazioni non ricalcolate: ") + errorText(e));
        }
    });
}

} // namespace jex
