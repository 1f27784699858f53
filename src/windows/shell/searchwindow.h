#pragma once

#include "dataset/dataset.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace jex {

class DataSetModel;
class Field;
class SectionStore;

// The lookup window: a list of codes, searched by typing in the column
// shown in "Cerca per"; confirms the first visible column's value.
class TfmQmrRicerca : public QDialog
{
    Q_OBJECT
public:
    explicit TfmQmrRicerca(QWidget *parent = nullptr);
    ~TfmQmrRicerca() override;

    // The application's instance (created on first use when start-up has not).
    static TfmQmrRicerca *instance();
    static void setInstance(TfmQmrRicerca *w);

    ClientDataSet cdsSearch;
    QTableView *grSearch = nullptr;
    QLabel *laCampo = nullptr;
    QLineEdit *edValue = nullptr;
    QPushButton *buOk = nullptr;
    QPushButton *buCancel = nullptr;

    // Shows the list modally; the chosen value (null when cancelled).
    QVariant SearchValue(const QString &source, Field *field, SectionStore *store);
    void SearchForField(Field &field, const QString &source, SectionStore *store);
    // The chosen row of a code-list file, positioned in cdsSearch; nullptr when cancelled.
    ClientDataSet *SearchRecord(const QString &filePath);

    // The search column and the search by typed text.
    void setOrderField(int fieldIndex);
    int orderField() const { return m_orderField; }
    static bool locateText(ClientDataSet &ds, int fieldIndex, const QString &text);

    // Test hook: runs instead of exec(), returns the dialog's result.
    std::function<int(TfmQmrRicerca &)> execHook;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void afterOpen();
    void loadSource(const QString &source, SectionStore *store);
    bool handleKey(QKeyEvent *ke);
    DataSetModel *m_model;
    Field *m_lookupField = nullptr;
    int m_orderField = -1;
};

} // namespace jex
