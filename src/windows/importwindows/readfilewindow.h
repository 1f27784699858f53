#pragma once

// Reading a telematic supply back into the return (front and summary tables).

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace jex {

class SectionStore;
class SupplyFilePicker;

class TfmJexReadFile : public QDialog
{
    Q_OBJECT
public:
    // Without a store the program's database is used.
    explicit TfmJexReadFile(QWidget *parent = nullptr, SectionStore *store = nullptr);

    SupplyFilePicker *piFile = nullptr;
    QCheckBox *ckSostituisci = nullptr;
    QPushButton *buLeggi = nullptr;
    QPushButton *buChiudi = nullptr;
    QPlainTextEdit *meReport = nullptr;

    // Reads the chosen files; true when the return was written.
    bool buLeggiClick();

private:
    SectionStore *m_store;
};

} // namespace jex
