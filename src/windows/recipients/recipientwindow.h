#pragma once

#include "recipients/registryframe.h"

#include <QList>
#include <QWidget>

class QListWidget;
class QTabWidget;

namespace jex {

class RecipientSectionFrame;
class SectionStore;
struct CurrentRecipient;
struct RecipientSectionDef;

// A page of the recipient detail: registry columns of the given catalogue
// groups (each on a page of its own when `subPages`), and a section frame.
struct RecipientPage
{
    QString caption;
    QStringList groups;
    QString section;
    bool subPages = false;
};

// "Lavoro Dipendente" and "Lavoro Autonomo": the recipients' list and
// registry pages, the sections of the person shown, and the guards that keep
// a half-typed row from being left or lost.
class RecipientWindow : public QWidget
{
    Q_OBJECT
public:
    RecipientWindow(const QString &className, SectionStore *store = nullptr, QWidget *parent = nullptr);

    RecipientRegistryFrame *registry() const { return m_registry; }
    QList<RecipientSectionFrame *> sections() const { return m_sections; }
    RecipientSectionFrame *section(const QString &table) const;
    QTabWidget *pages() const { return m_registry->pcDettaglio; }
    // The list of the pages beside them, where their tabs would not fit one
    // row (the employee window); nullptr where the tabs show.
    QListWidget *pageList() const { return m_pageList; }
    CurrentRecipient &current() const { return *m_current; }
    SectionStore &store() const { return *m_store; }

    bool anyEditing() const;
    bool sectionsEditing() const;
    // The window's first opening: the registry, then every section.
    void openTables();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildPages(const QList<RecipientPage> &pages);
    void recipientShown();
    void save(TfrJezBase *frame, const QString &table);
    void guardPages(QTabWidget *tabs);
    void listPagesAside();
    QString sectionInsertRefusal() const;

    SectionStore *m_store;
    CurrentRecipient *m_current;
    RecipientRegistryFrame *m_registry = nullptr;
    QList<RecipientSectionFrame *> m_sections;
    QString m_ownerField;
    QListWidget *m_pageList = nullptr;
    bool m_opening = false;
};

// The window of a registered class name (TfmJexDipendente, TfmJexAutonomo),
// on the given store (tests) or the application's; nullptr for another name.
RecipientWindow *createRecipientWindow(const QString &className, SectionStore *store = nullptr,
                                       QWidget *parent = nullptr);

} // namespace jex
