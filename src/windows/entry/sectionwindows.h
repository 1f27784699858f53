#pragma once

#include "shell/baseframe.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>

class QTabWidget;

namespace jex {

class SectionStore;

// A data-entry frame of one section of the return: detail page built from
// the table catalogue, the completeness check before storing, the section's
// own checks, month fields checked as the user leaves them.
class SectionFrame : public TfrJezBase
{
    Q_OBJECT
public:
    SectionFrame(const QString &frameName, const QString &table, QWidget *parent = nullptr);
    QString table() const { return m_table; }

    void openTable(SectionStore &store, bool applySort);
    void buildDetail(const QStringList &pageGroups = {});

    // Extra check before the completeness check: a message refuses the post.
    std::function<QString(ClientDataSet &)> postCheck;
    bool completenessCheck = true;
    bool suppressChecks = false; // the window posting values it computed
    QString deleteText = QStringLiteral("Confermi la cancellazione del modello corrente?");
    QStringList monthFields;
    QWidget *pagesHost = nullptr; // the detail pages of a multi-page frame

protected:
    void cdsMainBeforePost() override;
    QString deleteQuestion() const override { return deleteText; }
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    QString m_table;
};

// A document window of one or more section frames; ST and SY show their
// sections as pages.
class SectionWindow : public QWidget
{
    Q_OBJECT
public:
    struct Section { QString frame; QString page; QString table; };
    SectionWindow(const QString &className, const QString &caption, const QList<Section> &sections,
                  bool applySort, SectionStore *store = nullptr, QWidget *parent = nullptr);

    QList<SectionFrame *> frames() const { return m_frames; }
    SectionFrame *frame(const QString &table) const;
    QTabWidget *pages() const { return m_pages; }
    SectionStore &store() const { return *m_store; }
    bool anyEditing() const;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void save(SectionFrame *f);
    QList<SectionFrame *> m_frames;
    QTabWidget *m_pages = nullptr;
    SectionStore *m_store;
    int m_lastPage = 0;
};

// The window of a registered class name, on the given store (tests) or the
// application's.
SectionWindow *createSectionWindow(const QString &className, SectionStore *store = nullptr, QWidget *parent = nullptr);

} // namespace jex
