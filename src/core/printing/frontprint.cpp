#include "printing/sectionprints.h"

#include "sections/directorystore.h"
#include "sections/sectionstore.h"

#include "base/errors.h"
#include "base/paths.h"
#include "base/outputfile.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

namespace jex {

namespace {

int countOf(const QString &table)
{
    ClientDataSet cds;
    currentStore().openCds(table, cds);
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

[[noreturn]] void frontDamaged(const QString &path, const QDomElement &e, const QString &what)
{
    const QString name = e.attribute(QStringLiteral("Name"));
    throw EQxError(QStringLiteral("File di coordinate %1 danneggiato: %2%3 (riga %4), %5")
                       .arg(QDir::toNativeSeparators(path), e.tagName(),
                            name.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(name))
                       .arg(e.lineNumber())
                       .arg(what));
}

int frontInt(const QString &path, const QDomElement &e, const char *name)
{
    const QString text = e.attribute(QLatin1String(name)).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        frontDamaged(path, e, QStringLiteral("l'attributo %1 non è un numero valido: \"%2\"").arg(QLatin1String(name), text));
    return v;
}

// Reads FrontS.xml; a missing or damaged file is refused naming the file and
// the element, since a front page printed from it would be wrong.
void loadFront(const QString &path, QList<FrontSection> &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("File di coordinate del frontespizio mancante o illeggibile: %1")
                           .arg(QDir::toNativeSeparators(path)));
    QDomDocument dom;
    QString error;
    int line = 0;
    if (!dom.setContent(&f, &error, &line))
        throw EQxError(QStringLiteral("File di coordinate %1 danneggiato: XML non valido alla riga %2: %3")
                           .arg(QDir::toNativeSeparators(path)).arg(line).arg(error));
    const QDomElement root = dom.documentElement();
    if (root.tagName() != QLatin1String("Fronte"))
        frontDamaged(path, root, QStringLiteral("elemento radice Fronte atteso"));
    for (QDomElement s = root.firstChildElement(QStringLiteral("Section")); !s.isNull();
         s = s.nextSiblingElement(QStringLiteral("Section"))) {
        FrontSection section;
        section.name = s.attribute(QStringLiteral("Name"));
        section.page = frontInt(path, s, "Page");
        for (QDomElement e = s.firstChildElement(QStringLiteral("Edit")); !e.isNull();
             e = e.nextSiblingElement(QStringLiteral("Edit"))) {
            FrontEdit edit;
            edit.name = e.attribute(QStringLiteral("Name"));
            if (edit.name.trimmed().isEmpty())
                frontDamaged(path, e, QStringLiteral("campo senza nome"));
            edit.type = e.attribute(QStringLiteral("Type"));
            if (!isKnownFrontType(edit.type))
                frontDamaged(path, e, QStringLiteral("tipo sconosciuto \"%1\"").arg(edit.type));
            edit.page = frontInt(path, e, "Page");
            const QString space = e.attribute(QStringLiteral("Space")).trimmed();
            bool ok = space.isEmpty();
            edit.space = ok ? 0 : space.toDouble(&ok);
            if (!ok)
                frontDamaged(path, e, QStringLiteral("l'attributo Space non è un numero: \"%1\"").arg(space));
            const QDomElement r = e.firstChildElement(QStringLiteral("PrintRect"));
            if (r.isNull())
                frontDamaged(path, e, QStringLiteral("nessuna posizione (PrintRect)"));
            edit.top = frontInt(path, r, "Top");
            edit.left = frontInt(path, r, "Left");
            edit.height = frontInt(path, r, "Height");
            section.edits << edit;
        }
        out << section;
    }
    if (out.isEmpty())
        frontDamaged(path, root, QStringLiteral("nessuna sezione"));
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
    if (!QFileInfo::exists(templatePath))
        throw EQxError(QStringLiteral("Modello di stampa del frontespizio mancante: %1")
                           .arg(QDir::toNativeSeparators(templatePath)));
    loadFront(Paths::coordDir() + QStringLiteral("FrontS.xml"), sections);
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
    makeOutputFolder(path);
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
        currentStore().openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), sost);
        TdmJexStampe::refreshAgentCounters(sost);
        if (sost.hasPendingChanges())
            currentStore().saveCds(QStringLiteral("TSOS_DATOSOSTITUTO"), sost);
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
