#pragma once

// The surtaxes withheld, carried into the ceased-employment boxes of the
// fiscal data: the step the certification import runs after all persons when
// the user asks for it, and what "Riporta le addizionali IRPEF nei punti 8 e
// 12 dei Dati Fiscali ..." runs on the chosen employees.

#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;
class SectionStore;

struct AdditionalTaxesResult
{
    int carried = 0;       // records changed
    QStringList failed;    // "surname name" of the persons that could not be changed
};

// On the current TDIP7_ANAGRFISCALI record, when the regional surtax
// (FFIS7ADDREGIRPEF) or the municipal balance (FFIS7ADDCOMSA) is above 0:
// FFIS7ADDREGRPCESS = FFIS7ADDREGIRPEF and FFIS7ADDCOMRPCESS = FFIS7ADDCOMSA
// - FFIS7ADDCOMACC, in exact currency. Edits and posts; false when the record
// has nothing to carry.
bool carryAdditionalTaxes(ClientDataSet &anagrafica);

// The step over the employees of the given codici fiscali (all of them when
// the list is empty): each person apart, a failure is shown and the next
// person goes on; what was carried is stored in one save at the end.
AdditionalTaxesResult carryAdditionalTaxes(SectionStore &store, const QStringList &codFis);

extern const char *const additionalTaxesCaption; // "Importi addizionali IRPEF trattenuti ..."

} // namespace jex
