#pragma once

// What the completion steps share: reading a named statement of the payroll
// archive into memory, money of a result column, and the walk over the
// selected persons that have an employee record.

#include "imports/cud/payrollcompletion.h"
#include "imports/persontable.h"

#include <QSqlRecord>
#include <QVariantMap>
#include <QVector>

namespace jex {

class Field;

// Runs a named statement on the archive and keeps its rows (the queries are
// forward-only). A failure names the statement.
QVector<QSqlRecord> archiveRows(TQxSQLConnection &conn, const QString &name, const QVariantMap &params);

// An amount of a result row in ten-thousandths; null reads as 0.
qint64 moneyOf(const QSqlRecord &row, const char *column);
int intOf(const QSqlRecord &row, const char *column);
QString textOf(const QSqlRecord &row, const char *column);

qint64 money(ClientDataSet &ds, const char *field);
void setMoney(ClientDataSet &ds, const char *field, qint64 amount);
QString text(ClientDataSet &ds, const char *field);
Field *fieldOf(ClientDataSet &ds, const char *field);

// "Surname Name" of a message, from the current employee record.
struct PersonName
{
    QString surname, name;
    QString display() const { return surname + QLatin1Char(' ') + name; }
};
PersonName personOf(ClientDataSet &anagrafica);

// Two CR LF between a message and the error it reports.
inline QString withError(const QString &message, const QString &error)
{
    return message + QStringLiteral("\r\n\r\n") + error;
}

// A table of the return read once and seen person by person, by the code
// as stored, as a filter on SDIP7CODFIS shows the person's rows.
void openByPerson(PersonTable &out, SectionStore &store, const QString &table);

// Calls `step` for each code of the selection that has a record in the
// employee table, with that person's records in `anagrafica.ds` and the
// first of them current; progress names the phase. A step saves what it
// changed in `anagrafica.ds`: each person's save sends that person's
// records only. The records as the step left them are the person's rows
// for the next walk over the same table. The codes in `skip` count in the
// progress only.
void forEachEmployee(PersonTable &anagrafica, const QStringList &codFis, const QString &caption,
                     const std::function<void(const QString &codFis)> &step, const QSet<QString> &skip = {});

inline const QString kAnagrafica = QStringLiteral("TDIP7_ANAGRFISCALI");

} // namespace jex
