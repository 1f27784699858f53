#pragma once

// Import of the registry data of employees or of self-employed recipients
// from last year's return: the section files (TDIP7_ANAGRFISCALI.CDS,
// TDAU7_DATIAUTONOM.CDS) of a data folder, by default last year's data folder
// of this installation. Only persons whose codice fiscale is not yet in the
// current return are added, each in a transaction of its own. The dialog
// "Import anagrafiche da 770 anno precedente " and the import-previous
// command both run it.

#include <QString>
#include <QStringList>
#include <functional>

namespace jex {

class ClientDataSet;
class SectionStore;
class TQxSQLConnection;

enum class PreviousKind { Employees, SelfEmployed };

// The section a kind reads and writes.
QString previousSection(PreviousKind kind);

struct PreviousImportResult
{
    int added = 0;   // persons saved into the current return
    int present = 0; // already in the current return, left as they are
    int skipped = 0; // rows of the file without codice fiscale
    int failed = 0;  // persons rolled back on an error
    QStringList lines; // one per row of the file: what happened
    QString report() const;
};

class TPreviousRegistryImport
{
public:
    TPreviousRegistryImport(TQxSQLConnection &conn, SectionStore &store, PreviousKind kind);

    // Imports from the folder. A folder that does not exist, or whose file is
    // missing, damaged, truncated or of another table, is told to the user
    // and ends the run (EAbort) before anything is written. A person's error
    // is told and rolled back, and the run goes on with the next.
    PreviousImportResult run(const QString &sourceDir);

    // Shown in the window while a person is imported: "COGNOME NOME".
    std::function<void(const QString &)> onPerson;

private:
    void readSource(const QString &sourceDir, ClientDataSet &src);
    void addPerson(const ClientDataSet &src, const QString &codFis, ClientDataSet &dst);

    TQxSQLConnection &m_conn;
    SectionStore &m_store;
    PreviousKind m_kind;
    QString m_file; // the source file, for messages
};

} // namespace jex
