#pragma once

// qmrUDBCds: the sections of the return are stored as named structures whose
// records live one value per row in a shared table. This service turns that
// storage into client datasets and sends their pending changes back.

#include "dataset/dataset.h"
#include "database/sqlconnection.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace jex {

class TQmrDBCds
{
public:
    // Texts of the wait window, for the window program that shows it.
    static QString waitCaption() { return QStringLiteral("Attendere..."); }
    static QString waitText() { return QStringLiteral("Caricamento in corso...attendere."); }

    // The wait window is the window program's business: it fills these once;
    // batch runs and tests leave them empty.
    struct WaitHooks
    {
        std::function<void()> show;
        std::function<void()> hide;
    };
    static void setWaitHooks(const WaitHooks &hooks);
    static const WaitHooks &waitHooks();

    explicit TQmrDBCds(int anno = 2024, const QString &programma = QStringLiteral("jex"), int mese = 0);

    int Anno;
    int Mese;
    QString Programma;

    // The connection of every statement; the global one while none is set.
    void SetConnection(TQxSQLConnection *connection) { m_conn = connection; }
    TQxSQLConnection *Connection() const;
    void SetProgramma(const QString &programma) { Programma = programma; }
    void SetShowWait(bool on) { m_showWait = on; }
    bool ShowWait() const { return m_showWait; }

    // Opens a section by name into the caller's dataset. afiId -1 = every
    // record, otherwise only those linked to that registry entry.
    void OpenCds(ClientDataSet &ds, const QString &name);
    void OpenCdsPeriod(ClientDataSet &ds, const QString &name, int mese, int anno);
    void OpenCdsFiltered(ClientDataSet &ds, const QString &name, qint64 afiId, int mese, int anno);

    // Writes the dataset's pending changes in one transaction (the caller's,
    // when it holds one). On failure the pending changes are cancelled and
    // EQxError carries the database's message.
    void SaveCds(ClientDataSet &ds, const QString &name);
    void SaveCdsPeriod(ClientDataSet &ds, const QString &name, int mese, int anno);

    // Inside the caller's transaction, makes the section's rows this
    // writer's until the transaction ends: another writer's save of the same
    // section waits (or gives up with a message), so that rows read, checked
    // and saved again in the transaction are what the database holds.
    void LockCds(const QString &name);
    void LockCdsPeriod(const QString &name, int mese, int anno);

    // One NAME.cds file per structure of the program into the directory.
    // False when a file was skipped (its folder could not be made, the user
    // has been told); a file that cannot be written is thrown.
    bool ExportCds(const QString &programma, int anno, const QString &dir, int mese);

    // A "column=field[+field...]" pair of a structure's field map.
    struct MapPair
    {
        QString column;      // lower case
        QString fieldSide;   // as written
        QStringList fields;  // the parts of fieldSide
        bool concatenated() const { return fieldSide.contains(u'+'); }
    };
    static QList<MapPair> parseFieldMap(const QString &map);

private:
    struct Structure
    {
        qint64 id = 0;
        bool anagrafica = false;
        bool fmapReadOnly = false;
        qint64 rigo = 0;
        QString fieldMapText;
        QList<MapPair> fieldMap;
        QByteArray schema;
        qint64 crfId = 0; // the period of the last save, 0 when unknown
    };
    bool findStructure(const QString &name, int mese, int anno, Structure &out, bool withSchema);
    // The structure row for a save, its counter current (and locked on a
    // server) inside the caller's transaction. The row is kept between saves
    // and taken again when the structure table has changed.
    Structure structureForSave(const QString &name, int mese, int anno);
    void rememberPeriod(const QString &name, int mese, int anno, qint64 crfId);

    struct KeptStructure
    {
        TQxSQLConnection *connection = nullptr;
        QString signature;
        Structure structure;
    };
    QHash<QString, KeptStructure> m_saveCache;
    // The summary of the structure table as summed in a transaction.
    struct Summed
    {
        TQxSQLConnection *connection = nullptr;
        quint64 transaction = 0;
        QString signature;
    };
    Summed m_summed;

    // What a save takes from a dataset's fields and the structure's field
    // map, kept by section for the next save of the same fields: working it
    // out again costs more than a save of one person's few records.
    struct SavePlan
    {
        QString fieldMapText;
        QStringList names;          // the dataset's fields, as they were, then the record marker
        QList<int> fieldTypes;
        QList<bool> calculated;
        QList<bool> stored;         // which fields become value rows
        QList<int> valueSlots;           // their value column
        bool fits(const ClientDataSet &ds, const QString &fieldMapText) const;
    };
    const SavePlan &savePlan(const ClientDataSet &ds, const QString &name, const Structure &st);
    QHash<QString, SavePlan> m_savePlans;

    TQxSQLConnection *m_conn = nullptr;
    bool m_showWait = true;
};

} // namespace jex
