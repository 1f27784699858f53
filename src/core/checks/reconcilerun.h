#pragma once

// The reconciliation on the program's database, as the command, the print
// items and the telematic wizard run it.

#include "checks/reconcile.h"

namespace jex {

// A job on the program's store and connection, with the map file in force
// (the demo's codes on the demo school). Throws EQxError when the map file
// cannot be read.
ReconcileJob programReconcileJob();
// The same on another store of the return (the telematic wizard's).
ReconcileJob programReconcileJob(SectionStore &store);

// The print "Quadratura CU / 770 / F24" of a report; false when the
// template could not be opened (the user has been told).
bool printReconciliation(const ReconcileReport &report, const QString &path, bool openAfter);

} // namespace jex
