// "Quadratura CU / 770 / F24": the lines of a reconciliation on the report
// template of the same name, grouped by check, a long description continued
// on the rows below it.

#include "printing/sectionprints.h"

#include "checks/reconcile.h"

namespace jex {

namespace {

// Characters of a description on one row at the report's text size.
constexpr int kDescriptionWidth = 80;

QStringList wrapped(const QString &text)
{
    QStringList rows;
    QString current;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!current.isEmpty() && current.size() + 1 + word.size() > kDescriptionWidth) {
            rows << current;
            current.clear();
        }
        current += (current.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!current.isEmpty() || rows.isEmpty())
        rows << current;
    return rows;
}

QString shortCaption(ReconcileCheck check)
{
    switch (check) {
    case ReconcileCheck::CertVsSummary:
        return QStringLiteral("CU / 770");
    case ReconcileCheck::SummaryVsF24:
        return QStringLiteral("770 / F24");
    case ReconcileCheck::SummaryRow:
        return QStringLiteral("Rigo");
    case ReconcileCheck::Data:
        return QStringLiteral("Dati");
    }
    return {};
}

} // namespace

bool TdmJexProspSTPDF::PrintQuadratura(const QString &path, const ReconcileReport &report)
{
    struct Guard
    {
        TdmJexProspSTPDF *m;
        ~Guard() { m->closeAll(); }
    } guard{this};
    pageLog.clear();
    cdsQuadratura.clearFields();
    cdsQuadratura.addField(QStringLiteral("sControllo"), FieldType::String, 20);
    cdsQuadratura.addField(QStringLiteral("sRiferimento"), FieldType::String, 60);
    cdsQuadratura.addField(QStringLiteral("sDescrizione"), FieldType::String, 255);
    for (const char *f : {"fA", "fB", "fDifferenza"})
        cdsQuadratura.addField(QLatin1String(f), FieldType::Float);
    cdsQuadratura.createDataSet();
    cdsTotali.clearFields();
    cdsTotali.addField(QStringLiteral("sTotCaption"), FieldType::String, 20);
    cdsTotali.addField(QStringLiteral("sEsito"), FieldType::String, 255);
    cdsTotali.createDataSet();
    cdsTotali.append();
    cdsTotali.fieldByName(QStringLiteral("sTotCaption"))->setAsString(QStringLiteral("Esito"));
    cdsTotali.fieldByName(QStringLiteral("sEsito"))->setAsString(report.summary());
    cdsTotali.post();
    openIntestazione(cdsIntestazione, false);
    if (!openReport(QStringLiteral("Quadratura.pdf"), true))
        return false;
    m_rowsPerPage = 26;
    reportHeaderPage(QStringLiteral("Quadratura"), QStringLiteral("cdsIntestazione"));

    auto printRow = [this](const QString &check, const QString &reference, const QString &text,
                           std::optional<qint64> a, std::optional<qint64> b, std::optional<qint64> diff) {
        cdsQuadratura.emptyDataSet();
        cdsQuadratura.append();
        cdsQuadratura.fieldByName(QStringLiteral("sControllo"))->setAsString(check);
        cdsQuadratura.fieldByName(QStringLiteral("sRiferimento"))->setAsString(reference);
        cdsQuadratura.fieldByName(QStringLiteral("sDescrizione"))->setAsString(text);
        // Amounts are shown only: every comparison was made in cents.
        const std::pair<const char *, std::optional<qint64>> amounts[] = {{"fA", a}, {"fB", b}, {"fDifferenza", diff}};
        for (const auto &[name, value] : amounts)
            if (value)
                cdsQuadratura.fieldByName(QLatin1String(name))->setAsFloat(double(*value) / 100.0);
        cdsQuadratura.post();
        checkPageBreak();
        printAt(m_reportPage, QStringLiteral("cdsQuadratura"), m_row);
        ++m_row;
    };

    for (ReconcileCheck check : {ReconcileCheck::Data, ReconcileCheck::CertVsSummary, ReconcileCheck::SummaryVsF24,
                                 ReconcileCheck::SummaryRow}) {
        bool heading = false;
        for (const ReconcileLine &l : report.lines) {
            if (l.check != check)
                continue;
            if (!heading) {
                const QString amounts = reconcileAmountsCaption(check);
                printRow(QString(), QString(),
                         reconcileCheckCaption(check).toUpper()
                             + (amounts.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(amounts)),
                         std::nullopt, std::nullopt, std::nullopt);
                heading = true;
            }
            const QStringList rows = wrapped((l.flagged ? QStringLiteral("DA VERIFICARE: ") : QString()) + l.text);
            printRow(shortCaption(check), l.reference, rows.first(), l.a, l.b,
                     l.a && l.b ? l.difference() : std::nullopt);
            for (int i = 1; i < rows.size(); ++i)
                printRow(QString(), QString(), rows[i], std::nullopt, std::nullopt, std::nullopt);
        }
    }
    checkPageBreak();
    rule(158 + 14.0 * m_row, 727, 0.01);
    printAt(m_reportPage, QStringLiteral("cdsTotali"), m_row);
    DeletePages(1, 1);
    SavePdf(path, openAfterReport, openAfterReport);
    return true;
}

} // namespace jex
