#pragma once

#include "imports/integration/intsosimport.h"
#include "importwindows/persongrid.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace jex {

class SectionStore;
struct WindowRegistry;

// "Integra da sostituto estinto": the persons that an extinct agent exported,
// of which the user picks some (none picked: all) and integrates them with
// one click. The folder comes from the registry item (property "directory")
// or setDirectory(); the integration itself is TIntSosImport's.
class TfmJexIntSos : public QDialog
{
    Q_OBJECT
public:
    // Without a connection and a store the program's own are used.
    TfmJexIntSos(QWidget *parent, IntSosVariant variant, TQxSQLConnection *conn = nullptr,
                 SectionStore *store = nullptr);
    ~TfmJexIntSos() override;

    static QString caption() { return QStringLiteral("Integra da sostituto estinto "); }

    void setDirectory(const QString &dir) { m_dir = dir; }
    QString directory() const { return m_dir; }

    PersonGrid *grMulti = nullptr;
    QLabel *laStato = nullptr;
    QPushButton *buImporta = nullptr;

    // The codici fiscali of the selected rows; empty: every person.
    QStringList selection() const;
    int rowCount() const;
    // Whether the folder was read and the grid filled.
    bool isPrepared() const { return m_job != nullptr; }
    bool lastRunSucceeded() const { return m_succeeded; }
    const TIntSosImport *job() const { return m_job.get(); }

    // Reads the folder and fills the grid; false (the user has been told)
    // when the integration cannot start. The first showing calls it.
    bool prepare();

public Q_SLOTS:
    void acImportaExecute();

protected:
    void showEvent(QShowEvent *event) override;

private:
    IntSosVariant m_variant;
    TQxSQLConnection *m_conn;
    SectionStore *m_store;
    QString m_dir;
    std::unique_ptr<TIntSosImport> m_job;
    bool m_shown = false;
    bool m_succeeded = false;
};

class TfmJexIntSosDip : public TfmJexIntSos
{
    Q_OBJECT
public:
    explicit TfmJexIntSosDip(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr, SectionStore *store = nullptr);
    static QString caption() { return QStringLiteral("Integra dipendenti da sostituto estinto "); }
};

class TfmJexIntSosAut : public TfmJexIntSos
{
    Q_OBJECT
public:
    explicit TfmJexIntSosAut(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr, SectionStore *store = nullptr);
    static QString caption() { return QStringLiteral("Integra autonomi da sostituto estinto "); }
};

void registerIntSosWindows(WindowRegistry &registry);

} // namespace jex
