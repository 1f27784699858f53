#include "telematic/job.h"

#include "base/messages.h"
#include "telematic/generation.h"
#include "telematic/returndata.h"

namespace jex {

namespace {
const QString kPhase = QStringLiteral("File telematico");
constexpr int kSteps = 4;
} // namespace

void TelematicJob::open(bool withFrontTables)
{
    messages().progress(kPhase + QStringLiteral(": apertura delle tabelle"), 0, kSteps);
    m_dm.openTables(withFrontTables);
}

void TelematicJob::close()
{
    m_dm.closeTables();
}

bool TelematicJob::hasSummaryData() const
{
    return m_dm.hasDiStSvSxData();
}

bool TelematicJob::hasSyData() const
{
    return m_dm.hasSyData();
}

QString TelematicJob::path() const
{
    const bool d = hasSummaryData();
    const bool sy = hasSyData();
    if (!d && !sy)
        return QStringLiteral("onlyfile");
    if (!sy)
        return QStringLiteral("onlySV-ST-Sx-DI");
    if (!d)
        return QStringLiteral("onlySY");
    return QStringLiteral("Default");
}

bool TelematicJob::check(QStringList &findings) const
{
    messages().progress(kPhase + QStringLiteral(": controllo dei dati"), 1, kSteps);
    const CompletenessCheck &completeness = telematicCompletenessCheck();
    return !completeness || completeness(findings, {&m_dm.cds("cdsSost"), &m_dm.cds("cdsForn")}, 1);
}

void TelematicJob::generate(bool includeD, bool includeSY)
{
    messages().progress(kPhase + QStringLiteral(": generazione dei record"), 2, kSteps);
    m_dm.includeD = includeD;
    m_dm.includeSY = includeSY;
    m_dm.runGeneration();
}

QStringList TelematicJob::write(const QString &target)
{
    messages().progress(kPhase + QStringLiteral(": scrittura della fornitura"), 3, kSteps);
    m_dm.BuildFile();
    const QStringList files = m_dm.WriteTelematicFile(target);
    messages().progress(kPhase + QStringLiteral(": scritto"), kSteps, kSteps);
    return files;
}

} // namespace jex
