#include "printing/sectionprints.h"

#include "printing/printtables.h"

#include "base/errors.h"
#include "base/paths.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

namespace jex {

namespace {

int countOf(const QString &table)
{
    ClientDataSet cds;
    printTables().open(table, cds);
    return cds.recordCount();
}

struct FrontEdit
{
    QString name, type;
    int page = 0;
    double space = 0;
    int top = 0, left = 0, height = 0;
};

struct FrontSection
{
    QString name;
    int page = 0;
    QList<FrontEdit> edits;
};

// Reads FrontS.xml; false when it is missing or not a front-page format.
bool loadFront(const QString &path, QList<FrontSection> &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QDomDocument dom;
    if (!dom.setContent(&f) || dom.documentElement().tagName() != QLatin1String("Fronte"))
        return false;
    const QDomElement root = dom.documentElement();
    for (QDomElement s = root.firstChildElement(QStringLiteral("Section")); !s.isNull();
         s = s.nextSiblingElement(QStringLiteral("Section"))) {
        FrontSection section;
        section.name = s.attribute(QStringLiteral("Name"));
        section.page = s.attribute(QStringLiteral("Page")).toInt();
        for (QDomElement e = s.firstChildElement(QStringLiteral("Edit")); !e.isNull();
             e = e.nextSiblingElement(QStringLiteral("Edit"))) {
            FrontEdit edit;
            edit.name = e.attribute(QStringLiteral("Name"));
            edit.type = e.attribute(QStringLiteral("Type"));
            edit.page = e.attribute(QStringLiteral("Page")).toInt();
            bool ok = false;
            edit.space = e.attribute(QStringLiteral("Space")).trimmed().toDouble(&ok);
            if (!ok)
                edit.space = 0;
            const QDomElement r = e.firstChildElement(QStringLiteral("PrintRect"));
            edit.top = r.attribute(QStringLiteral("Top")).toInt();
            edit.left = r.attribute(QStringLiteral("Left")).toInt();
            edit.height = r.attribute(QStringLiteral("Height")).toInt();
            section.edits << edit;
        }
        out << section;
    }
    return true;
}

} // namespace

void TdmJexStampe::refreshAgentCounters(ClientDataSet &sost)
{
    if (sost.isEmpty())
        return;
    auto flag = [](int n) { return n > 0 ? 1 : 0; };
    sost.first();
    sost.edit();
    const int nDip = countOf(QStringLiteral("TDIP7_ANAGRFISCALI"));
    const int nAut = countOf(QStringLiteral("TDAU7_DATIAUTONOM"));
    sost.fieldByName(QStringLiteral("ISOSNDIP"))->setAsInteger(nDip);
    sost.fieldByName(QStringLiteral("ISOSNAUTON"))->setAsInteger(nAut);
    sost.fieldByName(QStringLiteral("LSOSSS"))->setAsInteger(flag(nDip + nAut));
    sost.fieldByName(QStringLiteral("LSOSSS"))->setAsInteger(flag(countOf(QStringLiteral("TPSS_PROSPETTOSS"))));
    sost.fieldByName(QStringLiteral("LSOSST"))->setAsInteger(flag(countOf(QStringLiteral("TPST_PROSPETTOST"))));
    sost.fieldByName(QStringLiteral("LSOSSV"))->setAsInteger(flag(countOf(QStringLiteral("TPSV_PROSPETTOSV"))));
    sost.fieldByName(QStringLiteral("LSOSSX"))->setAsInteger(flag(countOf(QStringLiteral("TPSX_PROSPETTOSX"))));
    int sy = countOf(QStringLiteral("TPSY_PROSPETTOSY"));
    for (const char *t : {"TPSY2_PROSPETTOSY2", "TPSY3_PROSPETTOSY3", "TPSY4_PROSPETTOSY4"})
        if (sy == 0)
            sy = countOf(QLatin1String(t));
    sost.fieldByName(QStringLiteral("LSOSSY"))->setAsInteger(flag(sy));
    sost.fieldByName(QStringLiteral("LSOSDI"))->setAsInteger(flag(countOf(QStringLiteral("TPDI_PROSPETTODI"))));
    sost.post();
}

bool TdmJexStampe::printFront(ClientDataSet &sost, const QString &path)
{
    QList<FrontSection> sections;
    const QString templatePath = Paths::coordDir() + QStringLiteral("770_sempl_mod.pdf");
    if (!QFileInfo::exists(templatePath) || !loadFront(Paths::coordDir() + QStringLiteral("FrontS.xml"), sections))
        return false;
    TWqpPdf pdf;
    pdf.Check(pdf.LoadFromFile(templatePath), QStringLiteral("Caricamento modello base"));
    const int templateDoc = pdf.SelectedDocument();
    pdf.Check(pdf.NewDocument(), QStringLiteral("Creazione nuovo documento"));
    pdf.Check(pdf.SetOrigin(1), {});
    pdf.Check(pdf.SetMeasurementUnits(1), {});
    pdf.Check(pdf.CopyPageRanges(templateDoc, QStringLiteral("1,2,3")), QStringLiteral("Copia pagina 1,2,3"));
    pdf.Check(pdf.DeletePages(1, 1), {});
    pdf.Check(pdf.SelectPage(2), {});
    const bool haveRecord = sost.isActive() && !sost.isEmpty();
    if (haveRecord)
        sost.first();
    const QString sez = haveRecord ? sost.fieldByName(QStringLiteral("ISOSSEZ"))->asString() : QString();
    for (const FrontSection &section : std::as_const(sections)) {
        if (section.page == 2)
            pdf.Check(pdf.SelectPage(3), {});
        if (!haveRecord)
            continue;
        for (const FrontEdit &edit : section.edits) {
            if (edit.page > 0 && QString::number(edit.page) != sez)
                continue;
            const Field *field = sost.findField(edit.name);
            if (!field)
                throw EQxError(QStringLiteral("FrontS.xml: campo %1 inesistente").arg(edit.name));
            const QString value = field->asString();
            if (value == QLatin1String("0") || value.isEmpty())
                continue;
            QString text;
            if (edit.type == QLatin1String("DT"))
                text = value.mid(0, 2) + QString(5, QLatin1Char(' ')) + value.mid(3, 2) + QString(6, QLatin1Char(' ')) +
                       value.mid(6, 4);
            else
                text = FormatStampa(edit.type, value);
            pdf.SetLastOperation(QStringLiteral("Scrivi testo: ") + text);
            pdf.Check(pdf.SetTextSize(edit.height > 0 ? edit.height : 8), {});
            pdf.QxDrawText(edit.left, edit.top, text, edit.space, TextAlign::Left);
        }
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    pdf.Check(pdf.SaveToFile(path), QStringLiteral("Salvataggio stampa"));
    return true;
}

QList<PrintItem> printItems(bool openAfterReport)
{
    auto section = [openAfterReport](bool (TdmJexProspSTPDF::*fn)(const QString &)) {
        return [fn, openAfterReport](const QString &path) {
            TdmJexProspSTPDF module;
            module.openAfterReport = openAfterReport;
            return (module.*fn)(path);
        };
    };
    auto front = [](const QString &path) {
        ClientDataSet sost;
        printTables().open(QStringLiteral("TSOS_DATOSOSTITUTO"), sost);
        TdmJexStampe::refreshAgentCounters(sost);
        if (sost.hasPendingChanges())
            printTables().save(QStringLiteral("TSOS_DATOSOSTITUTO"), sost);
        return TdmJexStampe::printFront(sost, path);
    };
    return {
        {QStringLiteral("xafStpFront"), QStringLiteral("Frontespizio.pdf"), front},
        {QStringLiteral("axfDI"), QStringLiteral("DI.pdf"), section(&TdmJexProspSTPDF::PrintProspDI)},
        {QStringLiteral("axfST"), QStringLiteral("ST.pdf"), section(&TdmJexProspSTPDF::PrintProspST)},
        {QStringLiteral("axfSV"), QStringLiteral("SV.pdf"), section(&TdmJexProspSTPDF::PrintProspSV)},
        {QStringLiteral("axfSX"), QStringLiteral("SX.pdf"), section(&TdmJexProspSTPDF::PrintProspSX)},
        {QStringLiteral("axfSY"), QStringLiteral("SY.pdf"), section(&TdmJexProspSTPDF::PrintProspSY)},
        {QStringLiteral("axfSS"), QStringLiteral("SS.pdf"), section(&TdmJexProspSTPDF::PrintProspSS)},
        {QStringLiteral("xafRiepilogoINPS"), QStringLiteral("RiepilogoINPS.pdf"),
         section(&TdmJexProspSTPDF::PrintRiepilogoINPS)},
        {QStringLiteral("xafRiepilogoTassSep"), QStringLiteral("RiepilogoTassazioneSeparata.pdf"),
         section(&TdmJexProspSTPDF::PrintRiepilogoTassSep)},
        {QStringLiteral("xafRiepilogoIRPEF"), QStringLiteral("RiepilogoIRPEF.pdf"),
         section(&TdmJexProspSTPDF::PrintRiepilogoIRPEF)},
        {QStringLiteral("xafRiepilogoINPDAP"), QStringLiteral("RiepilogoINPDAP.pdf"),
         section(&TdmJexProspSTPDF::PrintRiepilogoINPDAP)},
        {QStringLiteral("xafRiepilogoAutonomi"), QStringLiteral("RiepilogoAutonomi.pdf"),
         section(&TdmJexProspSTPDF::PrintRiepilogoAutonomi)},
    };
}

} // namespace jex
