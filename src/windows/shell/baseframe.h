#pragma once

#include "dataset/dataset.h"

#include <QWidget>

class QAction;
class QLineEdit;
class QTabWidget;
class QTableView;
class QToolBar;

namespace jex {

class DataSetModel;

// Base of every data-entry frame: the record tool bar, a read-only grid page
// and a detail page over one dataset, and the rule that a record is stored
// only through the confirm action.
class TfrJezBase : public QWidget
{
    Q_OBJECT
public:
    explicit TfrJezBase(QWidget *parent = nullptr, bool shortcuts = true);
    ~TfrJezBase() override;

    ClientDataSet cdsMain;

    QToolBar *xoaCustom = nullptr;
    QAction *acFirst = nullptr, *acPrior = nullptr, *acNext = nullptr, *acLast = nullptr;
    QAction *acInsert = nullptr, *acDelete = nullptr, *acEdit = nullptr;
    QAction *acPost = nullptr, *acCancel = nullptr;
    QTabWidget *pcMain = nullptr;
    QWidget *tsGrid = nullptr;
    QWidget *tsDetail = nullptr;
    QTableView *grFrame = nullptr;
    DataSetModel *model() const { return m_model; }
    // A grid model of the frame's own (extra columns); the grid and the
    // dataset's cursor stay in step as with the plain one.
    void setGridModel(DataSetModel *model);

    // Runs an action's work; failures reach the user, a silent abort does not.
    static bool guarded(const std::function<void()> &work);

    void acInsertExecute();
    void acPostExecute();
    void acCancelExecute();
    void acDeleteExecute();
    void acEditExecute();

    // "Ins." while inserting, otherwise "%d di %d".
    static QString recNoText(const ClientDataSet &ds);
    void showRecNo(QLineEdit *edit) const;
    // Text handler of amount fields: zero shows as an empty text.
    static QString zeroBlankGetText(const Field &field, bool display);
    // Attaches the amount formats and zero blanking to every decimal field.
    static void setAmountFormats(ClientDataSet &ds);

    bool postAllowed() const { return m_postAllowed; }

Q_SIGNALS:
    void posted();
    void deleted();

protected:
    // Descendants that check before posting call this first.
    virtual void cdsMainBeforePost();
    // Text of the delete question; empty deletes without asking.
    virtual QString deleteQuestion() const;
    void updateActions();

private:
    void dsMainStateChange();
    void fitGridColumns();
    void syncGridRow();
    bool m_postAllowed = false;
    DataSetModel *m_model = nullptr;
    bool m_syncing = false;
};

} // namespace jex
