#pragma once

#include "imports/f24/f24import.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace jex {

// The F24 import window: which summary tables to replace, and the report
// of the last run.
class TfmJexImportF24 : public QDialog
{
    Q_OBJECT
public:
    // Without a connection and a store the program's own are used.
    explicit TfmJexImportF24(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr,
                             SectionStore *store = nullptr);
    ~TfmJexImportF24() override;

    QCheckBox *ckSTI = nullptr;
    QCheckBox *ckSTII = nullptr;
    QCheckBox *ckSV = nullptr;
    QPushButton *buImporta = nullptr;
    QPushButton *buAnnulla = nullptr;
    QPlainTextEdit *meReport = nullptr;

    static QString captionFor(bool f24ep);

public Q_SLOTS:
    void acImportaExecute();

private:
    void updateActions();
    TQxSQLConnection *m_conn;
    SectionStore *m_store;
    std::unique_ptr<SectionStore> m_ownStore;
    F24Year m_year;
};

} // namespace jex
