#pragma once

// The telematic file on the return's database: sections reached through the
// dataset-structure service, and the completeness check it runs first.

#include "telematic/generation.h"

#include <QList>
#include <QStringList>
#include <functional>

namespace jex {

class TQmrDBCds;


// Completeness check of the agent's and the supplier's records: appends the
// findings and returns true when there are none. The shell plugs in its
// check; while none is plugged in every return passes.
using CompletenessCheck = std::function<bool(QStringList &, const QList<ClientDataSet *> &, int)>;
CompletenessCheck &telematicCompletenessCheck();

// Demo rows for the file: SX, the four SY sections, DI and one extinct agent
// with its own ST and SV rows. Rows already there are left alone.
void seedTelematicDemo(TQmrDBCds &service);
// The same on any section access (tests, in-memory stores).
void seedTelematicDemo(SectionStore &access);

// Code of the demo's extinct agent.
inline const QString kDemoExtinctAgent = QStringLiteral("80011223346");

} // namespace jex
