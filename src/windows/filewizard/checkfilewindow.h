#pragma once

// "Controlla file telematico": the check of a supply before it is sent.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace jex {

class SupplyFilePicker;

class TfmJexCheckFile : public QDialog
{
    Q_OBJECT
public:
    explicit TfmJexCheckFile(QWidget *parent = nullptr);

    SupplyFilePicker *piFile = nullptr;
    QPushButton *buControlla = nullptr;
    QPushButton *buChiudi = nullptr;
    QPlainTextEdit *meRisultato = nullptr;

    // Checks the chosen files and shows the findings; the exit code of the
    // command (0, 1, 2).
    int buControllaClick();
};

} // namespace jex
