#pragma once

#include "codelists/codelists.h"
#include "dataset/dataset.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace jex {

class DataSetModel;

// "Tabelle codici": the codes of a list in force, and a file loaded into
// it (the same file "jex770 codelist load" takes).
class TfmJexTabelleCodici : public QDialog
{
    Q_OBJECT
public:
    // Without lists the installation's are used.
    explicit TfmJexTabelleCodici(QWidget *parent = nullptr, const CodeLists *lists = nullptr);
    ~TfmJexTabelleCodici() override;

    QComboBox *cbTabella = nullptr;
    QLabel *laFonte = nullptr;
    QTableView *grCodici = nullptr;
    QPushButton *buCarica = nullptr;
    QPushButton *buChiudi = nullptr;
    ClientDataSet cdsCodici;

    // Picks the file to load; the file dialog unless a test replaces it.
    std::function<QString(QWidget *)> chooseFile;

    void showList(const QString &name);
    // Loads a file into the list shown; false, with the reason shown, when refused.
    bool loadFile(const QString &path);

private:
    CodeLists m_lists;
    DataSetModel *m_model;
};

} // namespace jex
