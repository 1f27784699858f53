#include "imports/cud/payrollcompletion.h"

#include "base/errors.h"

// Placeholder bodies until the payroll completion lands on this branch.

namespace jex {

PayrollPosition PayrollCompletion::position(const QString &) { return {}; }
void PayrollCompletion::importFiscalAssistance(ClientDataSet &, const QString &, const QString &, const QString &) {}
void PayrollCompletion::additionalTaxes(const QStringList &) {}
void PayrollCompletion::checkDeductions(const QStringList &) {}
void PayrollCompletion::splitSeparateTaxation(const QStringList &) {}
void PayrollCompletion::importDependants(const QStringList &) {}
bool CheckDeductions(ClientDataSet &) { return false; }

} // namespace jex
