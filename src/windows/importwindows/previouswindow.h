#pragma once

#include "imports/previous/previousimport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace jex {

struct WindowRegistry;

// "Import anagrafiche da 770 anno precedente ": the persons of last year's
// return that are not yet in this one, employees or self-employed (neither
// box ticked: self-employed), from last year's data folder or another the
// user chooses.
class TfmJexImp770ap : public QDialog
{
    Q_OBJECT
public:
    // Without a connection and a store the program's own are used.
    explicit TfmJexImp770ap(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr,
                            SectionStore *store = nullptr);

    PreviousKind kind() const;

    QCheckBox *ckDipend = nullptr;
    QCheckBox *ckAuton = nullptr;
    QLineEdit *edPercorso = nullptr;
    QPushButton *buSfoglia = nullptr;
    QLabel *laCorrente = nullptr;
    QPlainTextEdit *meReport = nullptr;
    QPushButton *buImporta = nullptr;
    QPushButton *buChiudi = nullptr;

    PreviousImportResult lastResult;

public Q_SLOTS:
    // False when the run was refused (folder or file) or failed for a person.
    bool buImportaClick();

private:
    TQxSQLConnection *m_conn;
    SectionStore *m_store;
};

void registerPreviousImportWindow(WindowRegistry &registry);

} // namespace jex
