#pragma once

#include <QGroupBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;
class QButtonGroup;

namespace jex {

class ClientDataSet;
class Field;
class SectionStore;

// Ties an editor to one field of a dataset: shows the current record's
// value, and starts an edit when the user changes it.
class FieldBinding : public QObject
{
    Q_OBJECT
public:
    FieldBinding(ClientDataSet *ds, const QString &fieldName, QObject *parent);
    Field *field() const;
    ClientDataSet *dataSet() const { return m_ds; }
    QString fieldName() const { return m_fieldName; }
    // Puts the dataset in edit state when it browses; false when it cannot change.
    bool beginChange();
    bool writing() const { return m_writing; }
    void write(const QVariant &value);
Q_SIGNALS:
    void refresh();
private:
    QPointer<ClientDataSet> m_ds;
    QString m_fieldName;
    bool m_writing = false;
};

// Text, integer, decimal and date fields. Text fields are upper case.
class DBEdit : public QLineEdit
{
    Q_OBJECT
public:
    DBEdit(ClientDataSet *ds, const QString &fieldName, QWidget *parent = nullptr);
    FieldBinding *binding() const { return m_binding; }
    void refreshFromField();
protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
private:
    void commitText();
    FieldBinding *m_binding;
};

// A "1"/"0" flag.
class DBCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    DBCheckBox(ClientDataSet *ds, const QString &fieldName, const QString &caption, QWidget *parent = nullptr);
    FieldBinding *binding() const { return m_binding; }
private:
    FieldBinding *m_binding;
};

// One of a few values, one radio button each.
class DBRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    DBRadioGroup(ClientDataSet *ds, const QString &fieldName, const QString &caption,
                 const QStringList &items, const QStringList &values, QWidget *parent = nullptr);
    FieldBinding *binding() const { return m_binding; }
private:
    FieldBinding *m_binding;
    QButtonGroup *m_group;
    QStringList m_values;
};

// A code field: an edit with an ellipsis button; the button or F8 opens the
// search window on the field's code list.
class DBCodeEdit : public QWidget
{
    Q_OBJECT
public:
    DBCodeEdit(ClientDataSet *ds, const QString &fieldName, const QString &codeList, QWidget *parent = nullptr);
    DBEdit *edit() const { return m_edit; }
    QToolButton *button() const { return m_button; }
    // The description of the code typed, from its list ("14 — ...").
    QLabel *description() const { return m_description; }
    QString codeList() const { return m_codeList; }
    void setSectionStore(SectionStore *store) { m_store = store; showDescription(); }
    void search();
protected:
    bool eventFilter(QObject *o, QEvent *e) override;
private:
    void showDescription();
    DBEdit *m_edit;
    QToolButton *m_button;
    QLabel *m_description;
    QString m_codeList;
    SectionStore *m_store = nullptr;
};

} // namespace jex
