#pragma once

#include "imports/cud/cudimport.h"
#include "importwindows/persongrid.h"

#include <QDialog>

#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QPushButton;

namespace jex {

// "Import da CU ...": the persons of the payroll module's certifications,
// of which the user picks some (none picked: all), and the switches of
// the run. The import itself is TCudImport's.
class TfmJexImpCUD : public QDialog
{
    Q_OBJECT
public:
    // Without a connection the program's own is used.
    explicit TfmJexImpCUD(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr);
    ~TfmJexImpCUD() override;

    static QString caption() { return QStringLiteral("Import da CU ..."); }

    PersonGrid *grMulti = nullptr;
    QLabel *laPersona = nullptr;
    QCheckBox *ckAdd = nullptr;
    QCheckBox *ckSost = nullptr;
    QPushButton *buImporta = nullptr;
    QPushButton *buChiudi = nullptr;
    QAction *acPrimo = nullptr;
    QAction *acPrecedente = nullptr;
    QAction *acSuccessivo = nullptr;
    QAction *acUltimo = nullptr;

    // The codici fiscali the run imports: the selected rows, or every row.
    QStringList selection() const;
    bool lastRunSucceeded() const { return m_succeeded; }

public Q_SLOTS:
    void acImportaExecute();

private:
    void fill();
    TQxSQLConnection *m_conn;
    std::unique_ptr<TCudImport> m_job;
    bool m_succeeded = false;
};

} // namespace jex
