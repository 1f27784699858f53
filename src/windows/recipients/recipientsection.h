#pragma once

#include "entry/sectionwindows.h"

#include <QList>

class QLineEdit;

namespace jex {

struct CurrentRecipient;
struct CatalogueTable;

// What sets one recipient section apart from the others.
enum SectionRule : unsigned {
    NoRules = 0,
    NewRowFlagsZero = 1u << 0,   // every check box of a new row starts at "0"
    NoAmountFormats = 1u << 1,   // amounts shown as stored
    ThreeDecimals = 1u << 2,     // columns of three decimals get "#.000"
    FamilyFlags = 1u << 3,       // the dependants' relationship flags are made consistent
    MonthFields = 1u << 4,       // the months are checked as the user leaves them
    Instalments = 1u << 5,       // the severance-pay instalments are a choice
};

struct RecipientSectionDef
{
    const char *frame;
    const char *table;
    const char *page;         // page of the recipient window
    const char *deletePart;   // the quoted part of the delete question
    bool completeness;
    unsigned rules;
};

// The twelve sections of an employee, in the order the window opens them.
const QList<RecipientSectionDef> &employeeSectionDefs();
const RecipientSectionDef *employeeSectionDef(const QString &table);
// The sums paid to a self-employed recipient.
const RecipientSectionDef &selfEmployedSumsDef();

// A section of a recipient: one row at a time with its counter, only the
// rows of the recipient shown; a new row belongs to the current recipient.
class RecipientSectionFrame : public SectionFrame
{
    Q_OBJECT
public:
    RecipientSectionFrame(const RecipientSectionDef &def, const QString &ownerField, CurrentRecipient &owner,
                          QWidget *parent = nullptr);

    const RecipientSectionDef &def() const { return m_def; }
    QLineEdit *edRigo = nullptr;

    // After the window opened the table: formats, labels, the row counter.
    void afterOpen();
    // Formats of the amount columns as the catalogue's table describes them.
    void applyFormats(const CatalogueTable &table);
    // Shows only the rows of the registry link (0 shows none).
    void showRecipient(qint64 afiId);

    // The window's word on whether a row may be added now: empty when it
    // may, otherwise the message that refuses it.
    std::function<QString()> insertGuard;

protected:
    void cdsMainBeforePost() override;

private:
    void showRowCounter();
    void setupInstalments();
    RecipientSectionDef m_def;
    QString m_ownerField;
    CurrentRecipient &m_owner;
    qint64 m_shownAfi = -1;
};

} // namespace jex
