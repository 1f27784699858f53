#pragma once

#include <QComboBox>
#include <QStringList>

namespace jex {

class ClientDataSet;
class FieldBinding;

// A field that takes one of a few fixed values, or none.
class DBChoice : public QComboBox
{
    Q_OBJECT
public:
    DBChoice(ClientDataSet *ds, const QString &fieldName, const QStringList &values, QWidget *parent = nullptr);
    FieldBinding *binding() const { return m_binding; }

private:
    void refreshFromField();
    FieldBinding *m_binding;
};

} // namespace jex
