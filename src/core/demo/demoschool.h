#pragma once

#include "dataset/dataset.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace jex {
class TQxSQLConnection;
}

namespace jex::demo {

// Builds the empty dataset of a certification table with its fields.
using DataSetFactory = std::function<void(const QString &table, ClientDataSet &ds)>;
// Writes the pending rows of a filled certification table (program "jey").
using TableSink = std::function<void(const QString &table, ClientDataSet &ds)>;

// Sets a field of the current record when the dataset has it.
void setField(ClientDataSet &ds, const char *field, const QVariant &value);

// The fields of a certification table as the installed catalogue of program "jey" gives them.
DataSetFactory catalogueFactory();

// The certification tables, in the order they are written.
QStringList certificationTables();

struct Seat
{
    QString codFis, denom, codMecc, indirizzo, cap, comune, prov, codCom, tel, email, ateco;
};

struct Representative
{
    QString codFis, cognome, nome, sesso, comuneNascita, provNascita;
    QDate nascita;
};

// The fictional school: its seat and head teacher, and the certification
// tables filled for its employees and for a few self-employed people.
struct DemoSchool
{
    static constexpr int kDwgId = 1;
    static constexpr unsigned kSeed = 7702024;
    static inline const QString kMinistryCode = QStringLiteral("80185250588");

    Seat seat;
    Representative dirigente;
    int employees = 0;
    int selfEmployed = 0;
    std::map<QString, std::unique_ptr<ClientDataSet>> tables;

    ClientDataSet &table(const QString &name) const { return *tables.at(name.toUpper()); }
};

// Same employee count, same school: a fixed-seed generator drives every choice.
void generate(DemoSchool &school, int employees, const DataSetFactory &factory);

enum class InitResult { Created, AlreadyPresent, OtherSchool };

// Fills the payroll side of an empty database with the demo school, inside
// one transaction; a database that already holds the demo is left alone.
InitResult installDemo(TQxSQLConnection &conn, int employees, const DataSetFactory &factory, const TableSink &sink,
                       DemoSchool *generated = nullptr);

} // namespace jex::demo
