#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;
class SectionStore;

// Rules of the front of the return and of the summary tables that do not
// need a window, so the batch load applies them as the windows do.
namespace prosp {

// The month of a summary row as the user leaves the field: empty when
// acceptable (an empty field is), otherwise the message.
QString monthFieldError(const QString &text);
// The month columns of a summary table, checked by its window and by a batch
// load (empty for a table without them).
QStringList monthFieldsOf(const QString &table);

// ST section IV, lines 39 to 49 of the current record: the first failing
// line's message, empty when the record may be stored.
QString stSectionFourError(const ClientDataSet &ds);

// Whether an SS or SX row carries data ("Dati presenti").
bool ssDataPresent(const ClientDataSet &ds, int row);
bool sxDataPresent(const ClientDataSet &ds, int row);
QString dataPresentText(bool present); // "Sì" / "No"

// Counters and section flags of the agent record, from the other sections.
// Returns false when the agent section is empty (nothing recomputed).
bool recomputeSostitutoFlags(SectionStore &store, ClientDataSet &sostituto);

// "Tipo sostituto" of the notices domicile (LSOSPERSFISICA, "0" office,
// "1" natural person): the columns the chosen type leaves out. No type
// chosen leaves nothing out.
QStringList tipoSostitutoHidden(const QString &type);
// Applies the chosen type to the current record: while it is being edited
// the columns left out are cleared, so no stale office or name is filed with
// the other type. Returns the columns left out.
QStringList applyTipoSostituto(ClientDataSet &sostituto);
// Moving on to the signatory without a type means an office; the record
// goes into edit for it, as if the user had chosen.
bool defaultTipoSostituto(ClientDataSet &sostituto);

// The years of each "%s" of a column's label, for the columns whose years
// are not just the income year (balances of the year before); columns
// absent take the income year for every "%s".
QHash<QString, QStringList> labelYears(const QString &table);

// Every check-box column of a new row starts at "0".
void zeroFlags(ClientDataSet &ds, const QString &table);

extern const char *const noCloseText;
extern const char *const noPageChangeText;
extern const char *const missingSchoolCodeText;

} // namespace prosp
} // namespace jex
