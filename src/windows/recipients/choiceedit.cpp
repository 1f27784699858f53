#include "recipients/choiceedit.h"

#include "shell/editors.h"

#include "dataset/dataset.h"

namespace jex {

DBChoice::DBChoice(ClientDataSet *ds, const QString &fieldName, const QStringList &values, QWidget *parent)
    : QComboBox(parent), m_binding(new FieldBinding(ds, fieldName, this))
{
    setObjectName(QStringLiteral("co") + fieldName);
    addItem(QString());
    addItems(values);
    setMaximumWidth(80);
    connect(m_binding, &FieldBinding::refresh, this, &DBChoice::refreshFromField);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_binding->beginChange()) {
            refreshFromField();
            return;
        }
        const QString t = itemText(index);
        m_binding->write(t.isEmpty() ? QVariant() : QVariant(t.toInt()));
    });
    refreshFromField();
}

void DBChoice::refreshFromField()
{
    const Field *f = m_binding->field();
    QString t;
    if (f && !f->isNull() && !(f->dataSet()->isEmpty() && !f->dataSet()->isEditing()))
        t = QString::number(qRound64(f->asFloat()));
    const QSignalBlocker b(this);
    const int i = findText(t);
    setCurrentIndex(i < 0 ? 0 : i);
}

} // namespace jex
