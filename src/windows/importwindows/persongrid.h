#pragma once

#include <QList>
#include <QStringList>
#include <QTableView>

class QStandardItemModel;

namespace jex {

// The grid of persons the CU import and the integration windows offer:
// codice fiscale, surname and name, read only, ordered by codice fiscale.
// Only the user selects rows; none selected means every person.
class PersonGrid : public QTableView
{
    Q_OBJECT
public:
    explicit PersonGrid(QWidget *parent);

    // Any list of persons with codFis, cognome and nome.
    template <class Person>
    void setPersons(const QList<Person> &persons)
    {
        clearPersons();
        for (const Person &p : persons)
            addPerson(p.codFis, p.cognome, p.nome);
        sortBy(0);
    }

    int rowCount() const;
    void sortBy(int column);
    // Makes the row current without selecting it.
    void moveTo(int row);
    int currentRow() const;
    // The codici fiscali of the selected rows; empty: every person.
    QStringList selectedCodes() const;

private:
    void clearPersons();
    void addPerson(const QString &codFis, const QString &surname, const QString &name);

    QStandardItemModel *m_model;
};

} // namespace jex
