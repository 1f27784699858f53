#pragma once

#include "shell/baseframe.h"

#include <QHash>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;
class QTabWidget;

namespace jex {

class SectionStore;

// What tells the employees' registry frame from the self-employed one.
struct RegistryFrameDef
{
    QString frame;      // TfrJexDipAnagr, TfrJexAutonomo
    QString table;
    QString codFis, surname, name, birth; // birth empty: not in the list
    QString gruppoField, gruppo; // group of a new row: SDIP7GRUPPOANA "D", SDAU7GRUPPOANA "A"
    QStringList gridCaptions; // captions of codice fiscale, surname, name, birth
    bool progressive = false; // the list's first column is "Progressivo"
};

// The list of the recipients and their registry pages: the codice fiscale
// is typed only for a new row, a new row needs it, the completeness check
// runs before storing. The list is narrowed by the search field.
class RecipientRegistryFrame : public TfrJezBase
{
    Q_OBJECT
public:
    explicit RecipientRegistryFrame(const RegistryFrameDef &def, QWidget *parent = nullptr);
    ~RecipientRegistryFrame() override;

    const RegistryFrameDef &def() const { return m_def; }
    QLineEdit *edCerca = nullptr;      // the search field above the list
    QLabel *laInfo = nullptr;          // the information panel: surname and name
    QTabWidget *pcDettaglio = nullptr; // the pages of the detail

    // After the table was opened: formats, the list's columns, the
    // progressive list, the search kept.
    void afterOpen();
    // Position of a codice fiscale in codice-fiscale order (0 when absent).
    int progressive(const QString &codFis) const { return m_progressive.value(codFis.trimmed().toUpper()); }
    void rebuildProgressive();

    // Sorts by the field behind a column of the list; a column without one
    // leaves the order as it is. False when refused.
    bool sortByColumn(int column);
    // Narrows the list; the row shown stays when it still matches.
    void setSearchText(const QString &text);
    QString searchText() const { return m_search; }
    bool refiltering() const { return m_refiltering; }

    // The surname and name of the row shown, empty while inserting.
    QString shownName() const;
    qint64 shownAfiId() const;

    // Whether another part of the window is editing: the list then keeps
    // its row (moving would leave a section's row to the wrong person).
    std::function<bool()> othersEditing;
    std::function<void()> afterInsertStarted;

Q_SIGNALS:
    // The row shown may have changed (moved, filtered, stored, inserting).
    void shownRowChanged();

protected:
    void cdsMainBeforePost() override;

private:
    void guardMove();
    void followState();
    RegistryFrameDef m_def;
    QHash<QString, int> m_progressive;
    QString m_search;
    bool m_refiltering = false;
};

} // namespace jex
