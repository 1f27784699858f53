#pragma once

// Writing into the payroll archive that the completion steps read: what the
// payroll module does when it pays, and what the demo school and the tests
// do to have an archive. Each call inserts one row; those of the rows that
// other rows refer to return its key.

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <vector>

namespace jex {

class TQxSQLConnection;

struct ArchivePerson
{
    QString codFis, cognome, nome, sesso, comuneNascita, provNascita, statoNascita;
    QDate nascita;
    QString indirizzo, cap, comune, prov, codComune;
};

struct ArchiveDeductions
{
    bool spouse = false;
    QString spouseCodFis;
    int children = 0;
    int others = 0;
    QString otherCodFis1, otherCodFis2;
    double othersPercent = 0;
};

struct ArchiveChildPeriod
{
    int ordine = 1;
    QString codFis;
    int fromMonth = 1, toMonth = 12;
    int monthsUnder3 = 0;
    double percent = 0;
    bool handicap = false;
    bool fullCustody = false;
};

class PayrollArchiveWriter
{
public:
    explicit PayrollArchiveWriter(TQxSQLConnection &conn);
    ~PayrollArchiveWriter();
    PayrollArchiveWriter(const PayrollArchiveWriter &) = delete;
    PayrollArchiveWriter &operator=(const PayrollArchiveWriter &) = delete;

    // With grouped writes, the rows are kept and sent many in one statement:
    // the archive holds them once flush() returns, with the keys and values
    // one statement per row gives. Until then a key returned is the
    // writer's own, for the writer's calls only. Rows kept when the writer
    // goes are dropped.
    void setGrouped(bool on) { m_grouped = on; }
    void flush();

    qint64 person(const ArchivePerson &p);
    // A position of the financial year `anfId`; `region` the surtax region code.
    qint64 position(qint64 anaId, int anfId, int qarId, int tnoId, int region, const QDate &from = {},
                    const QDate &to = {});
    void item(qint64 acomId, int month, int code, int group, double gross);
    // Separately taxed arrears paid in `anfId` (IRPEF code 12 unless told).
    void arrears(qint64 anaId, int anfId, int anno, int annoP, double imponibile, double ritenuta,
                 double imponibileAp = 0, double aliquota = 0, int irpefCode = 12);
    qint64 deductions(qint64 anaId, int anfId, const ArchiveDeductions &d);
    void childPeriod(qint64 adetId, const ArchiveChildPeriod &c);

    // A row of TCAT_CATEGORIA, TQAR_POSGIURIDICA or TTNO_TIPONOMINA (replaced).
    void lookup(const QString &table, int id, const QString &code, const QString &description);
    void setCategory(qint64 acomId, int catId);
    // A payment of a self-employed position and its items; `incomeCode` 0
    // for an item not subject to tax.
    qint64 registration(qint64 acomId, const QString &causale, const QDate &date = {});
    void registrationItem(qint64 regsId, int item, int incomeCode, double amount, double payeeShare = 0,
                          double schoolShare = 0);

    // Removes a person and everything of theirs from the archive.
    void removePerson(const QString &codFis);

private:
    // A table the writer inserts into, and its rows waiting for flush().
    struct Pending
    {
        const char *table;
        const char *key;     // the key column other rows refer to, or none
        const char *columns; // the others, as the rows list them
        int width;           // of `columns`
        int parent;          // the Table the first column refers to, or -1
        QVariantList values; // row after row, led by the writer's key when keyed
        qint64 kept = 0;     // keys of the writer's own handed out
        QHash<qint64, qint64> real; // the writer's key -> the database's
    };
    enum Table { Persons, Positions, Deductions, Items, Arrears, ChildPeriods, RegistrationItems };

    qint64 add(Table table, const QVariantList &row);
    qint64 realKey(Table table, qint64 key);
    QList<qint64> nextKeys(const Pending &table, qsizetype count);
    static QString insertText(const Pending &table, qsizetype rows, bool withKey);
    qint64 insert(const QString &sql, const QVariantMap &values);
    void run(const QString &sql, const QVariantMap &values);

    TQxSQLConnection &m_conn;
    bool m_grouped = false;
    std::vector<Pending> m_pending; // by Table
    QSet<QString> m_keptCodes;      // of the persons among the rows kept
};

} // namespace jex
