#pragma once

// The integration of an extinct agent's recipients: the employees or the
// self-employed recipients of an agent that ceased during the year, read from
// the tables that agent exported ("Esporta dati"), merged person by person
// and table by table into this agent's return. The windows "Integra
// dipendenti da sostituto estinto" and "Integra autonomi da sostituto
// estinto" and `jex770 integrate` run this job.
//
// Every file is checked before anything changes; each person is then one
// transaction, so an error leaves that person as before and the persons
// integrated before it in place.

#include "imports/cud/importreport.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace jex {

class SectionStore;
class TQxSQLConnection;

enum class IntSosVariant { Employees, SelfEmployed };

struct IntSosPerson
{
    QString codFis;
    QString cognome;
    QString nome;
};

class TIntSosImport
{
public:
    TIntSosImport(TQxSQLConnection &conn, SectionStore &store, IntSosVariant variant, const QString &dir);
    ~TIntSosImport();

    IntSosVariant variant() const { return m_variant; }
    QString dir() const { return m_dir; }
    // TDIP7_ANAGRFISCALI or TDAU7_DATIAUTONOM, and its columns.
    QString registryTable() const;
    QString codFisColumn() const;
    QString surnameColumn() const;
    QString nameColumn() const;
    // The tables the variant reads from the folder and merges.
    QStringList tables() const;

    // Reads the two agent records and the extinct registry. False when the
    // integration cannot start (error() says why); nothing has changed then.
    bool open();
    // The extinct registry's persons: one per distinct non-empty codice
    // fiscale, in the order of the table.
    QList<IntSosPerson> persons() const { return m_persons; }

    // The person being integrated ("COGNOME NOME"), for the window.
    std::function<void(const QString &)> onPerson;

    // Integrates the persons with these codici fiscali, or every person when
    // the list is empty. False when it stopped on an error or refused to
    // start (error() says which); the persons committed before stay.
    bool run(const QStringList &codFis = {});

    const ImportReport &report() const { return m_report; }
    QString error() const { return m_error; }
    int integratedPersons() const { return m_integrated; }

    struct Run;

private:
    TQxSQLConnection &m_conn;
    SectionStore &m_store;
    IntSosVariant m_variant;
    QString m_dir;
    bool m_opened = false;
    QString m_extinctCode;
    QString m_extinctName;
    QList<IntSosPerson> m_persons;
    ImportReport m_report;
    QString m_error;
    int m_integrated = 0;
};

// For the window: runs the job, shows the error, or the report in the
// information window and "Fine operazione". Returns the job's result.
bool executeIntSos(TIntSosImport &job, const QStringList &codFis);

} // namespace jex
