#include "printing/sectionprints.h"

#include "sections/directorystore.h"
#include "sections/sectionstore.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QSet>

#include <functional>

namespace jex {

namespace {

const QString TemplateFile = QStringLiteral("770_sempl_mod.pdf");

QString coordPath(const QString &file) { return Paths::coordDir() + file; }

QString codeOf(const ClientDataSet &cds)
{
    return cds.fieldByName(QStringLiteral("SSOE7CODICE"))->asString();
}

// Guarantees that every dataset of a print is closed again, also on error.
struct CloseGuard
{
    std::function<void()> fn;
    ~CloseGuard() { fn(); }
};

} // namespace

TdmJexProspSTPDF::TdmJexProspSTPDF()
{
    const QList<QPair<QString, ClientDataSet *>> sets = {
        {QStringLiteral("cdsSost"), &cdsSost}, {QStringLiteral("cdsST"), &cdsST},
        {QStringLiteral("cdsST2"), &cdsST2}, {QStringLiteral("cdsST3"), &cdsST3},
        {QStringLiteral("cdsST4"), &cdsST4}, {QStringLiteral("cdsSS"), &cdsSS},
        {QStringLiteral("cdsSV"), &cdsSV}, {QStringLiteral("cdsSX"), &cdsSX},
        {QStringLiteral("cdsSY"), &cdsSY}, {QStringLiteral("cdsSY2"), &cdsSY2},
        {QStringLiteral("cdsSY3"), &cdsSY3}, {QStringLiteral("cdsSY4"), &cdsSY4},
        {QStringLiteral("cdsDI"), &cdsDI}, {QStringLiteral("cdsAltreVoci"), &cdsAltreVoci},
        {QStringLiteral("cdsIntestazione"), &cdsIntestazione}, {QStringLiteral("cdsDipendenti"), &cdsDipendenti},
        {QStringLiteral("cdsAutonomi"), &cdsAutonomi}, {QStringLiteral("cdsTotali"), &cdsTotali},
        {QStringLiteral("cdsSubTotali"), &cdsSubTotali}, {QStringLiteral("CdsTotAnnuo"), &CdsTotAnnuo},
        {QStringLiteral("cdsRigoINPS"), &cdsRigoINPS}, {QStringLiteral("cdsTassSeparata"), &cdsTassSeparata},
        {QStringLiteral("cdsINPDAP"), &cdsINPDAP}, {QStringLiteral("cdsSommeErogate"), &cdsSommeErogate},
        {QStringLiteral("cdsQuadratura"), &cdsQuadratura},
    };
    for (const auto &s : sets)
        registerDataSet(s.first, s.second);
}

void TdmJexProspSTPDF::closeAll()
{
    for (ClientDataSet *c : {&cdsSost, &cdsST, &cdsST2, &cdsST3, &cdsST4, &cdsSS, &cdsSV, &cdsSX, &cdsSY, &cdsSY2,
                             &cdsSY3, &cdsSY4, &cdsDI, &cdsRigoINPS, &cdsTassSeparata, &cdsINPDAP,
                             &cdsSommeErogate, &cdsDipendenti, &cdsAutonomi}) {
        c->setFiltered(false);
        c->close();
    }
    for (ClientDataSet *c : {&cdsAltreVoci, &cdsIntestazione, &cdsTotali, &cdsSubTotali, &CdsTotAnnuo, &cdsQuadratura})
        c->clearFields();
}

// --- section prints -------------------------------------------------------

bool TdmJexProspSTPDF::openSectionPrint(const QString &coordFile, const QStringList &tables,
                                        const QList<ClientDataSet *> &sets)
{
    pageLog.clear();
    bool any = false;
    for (int i = 0; i < tables.size(); ++i) {
        currentStore().openCds(tables[i], *sets[i]);
        any = any || !sets[i]->isEmpty();
    }
    if (!any)
        return false;
    currentStore().openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), cdsSost);
    cdsAltreVoci.clearFields();
    cdsAltreVoci.addField(QStringLiteral("SAVOMODN"), FieldType::String, 2);
    cdsAltreVoci.createDataSet();
    if (!OpenTemplate(coordPath(TemplateFile), coordPath(coordFile))) {
        messages().error(pdfCreationErrorText() + QStringLiteral("\n\r") + openError());
        return false;
    }
    return true;
}

void TdmJexProspSTPDF::finishSectionPrint(const QString &path)
{
    DeletePages(1, 1);
    SavePdf(path, false, false);
}

void TdmJexProspSTPDF::newModule(int module, bool twoDigitsOfNumber)
{
    Q_UNUSED(twoDigitsOfNumber);
    cdsAltreVoci.append();
    cdsAltreVoci.fieldByName(QStringLiteral("SAVOMODN"))->setAsString(QString::asprintf("%.2d", module));
    cdsAltreVoci.post();
}

void TdmJexProspSTPDF::startFormPage(int templatePage, int module)
{
    AddTemplatePage(templatePage);
    newModule(module);
    PrintSection(QStringLiteral("ModN"), QStringLiteral("cdsAltreVoci"), 1);
    PrintSection(QStringLiteral("CodFis"), QStringLiteral("cdsSost"), 1);
    pageLog << QStringLiteral("%1:%2").arg(templatePage).arg(module, 2, 10, QLatin1Char('0'));
}

void TdmJexProspSTPDF::printRowTable(ClientDataSet &cds, const QString &cdsName, const RowLayout &layout,
                                     const std::function<void(const QString &)> &afterFirstPage)
{
    bool started = false;
    QString code;
    int position = 0;
    int module = 0;
    bool groupExtrasDone = false;
    for (cds.first(); !cds.eof(); cds.next()) {
        const QString rowCode = codeOf(cds);
        if (!started || rowCode != code) {
            if (started && afterFirstPage && !groupExtrasDone)
                afterFirstPage(code);
            started = true;
            code = rowCode;
            groupExtrasDone = false;
            module = 1;
            position = 0;
            startFormPage(layout.templatePage, module);
        } else if (position >= layout.rowsPerPage) {
            // The group's other sections follow its first page.
            if (afterFirstPage && !groupExtrasDone) {
                afterFirstPage(code);
                groupExtrasDone = true;
            }
            ++module;
            position = 0;
            startFormPage(layout.templatePage, module);
        }
        if (position == 0) {
            for (const QString &s : layout.firstSections)
                PrintSection(s, cdsName, layout.firstRow);
        } else {
            PrintSection(layout.followingSection, cdsName, position + layout.followingRowShift);
        }
        ++position;
    }
    if (started && afterFirstPage && !groupExtrasDone)
        afterFirstPage(code);
}

bool TdmJexProspSTPDF::PrintProspSV(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    if (!openSectionPrint(QStringLiteral("ProspSV.xml"), {QStringLiteral("TPSV_PROSPETTOSV")}, {&cdsSV}))
        return false;
    cdsSV.setIndexFieldNames(QStringLiteral("SSOE7CODICE;DPSVDTVERS;SPSVANNO;SPSVMESE"));
    printRowTable(cdsSV, QStringLiteral("cdsSV"),
                  {27, 12, {QStringLiteral("SV1"), QStringLiteral("SV2")}, 1, QStringLiteral("SVN"), -1});
    finishSectionPrint(path);
    return true;
}

bool TdmJexProspSTPDF::PrintProspDI(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    if (!openSectionPrint(QStringLiteral("ProspDI.xml"), {QStringLiteral("TPDI_PROSPETTODI")}, {&cdsDI}))
        return false;
    cdsDI.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPDICODFIS;SPDIPERIMP"));
    printRowTable(cdsDI, QStringLiteral("cdsDI"), {22, 21, {QStringLiteral("DIN")}, 0, QStringLiteral("DIN"), 0});
    finishSectionPrint(path);
    return true;
}

void TdmJexProspSTPDF::printSTSubSection(ClientDataSet &cds, const QString &cdsName, const QString &code,
                                         int templatePage, const QString &suffix, int rowsPerPage)
{
    int position = 0;
    for (cds.first(); !cds.eof(); cds.next()) {
        if (codeOf(cds) != code)
            continue;
        if (position == 0 || position >= rowsPerPage) {
            position = 0;
            AddTemplatePage(templatePage);
            PrintSection(QStringLiteral("CodFisST") + suffix, QStringLiteral("cdsSost"), 1);
            PrintSection(QStringLiteral("ModNST") + suffix, QStringLiteral("cdsAltreVoci"), 1);
            pageLog << QStringLiteral("%1:%2").arg(templatePage).arg(
                cdsAltreVoci.fieldByName(QStringLiteral("SAVOMODN"))->asString());
            PrintSection(QStringLiteral("ST") + suffix, cdsName, 1);
        } else {
            PrintSection(QStringLiteral("STN") + suffix, cdsName, position - 1);
        }
        ++position;
    }
}

void TdmJexProspSTPDF::printSTGroupSections(const QString &code)
{
    printSTSubSection(cdsST2, QStringLiteral("cdsST2"), code, 24, QStringLiteral("II"), 12);
    // A record of sections III and IV is one non-resident intermediary with
    // its eleven payment lines: the form gives it a page of its own.
    printSTSubSection(cdsST3, QStringLiteral("cdsST3"), code, 25, QStringLiteral("III"), 1);
    printSTSubSection(cdsST4, QStringLiteral("cdsST4"), code, 26, QStringLiteral("IV"), 1);
}

bool TdmJexProspSTPDF::PrintProspST(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    if (!openSectionPrint(QStringLiteral("ProspST.xml"),
                          {QStringLiteral("TPST_PROSPETTOST"), QStringLiteral("TPST2_PROSPETTOSTS2"),
                           QStringLiteral("TPST3_PROSPETTOSTS3"), QStringLiteral("TPST4_PROSPETTOSTS4")},
                          {&cdsST, &cdsST2, &cdsST3, &cdsST4}))
        return false;
    cdsST.setIndexFieldNames(QStringLiteral("SSOE7CODICE;DPSTDTVERS;SPSTANNO;SPSTMESE"));
    cdsST2.setIndexFieldNames(QStringLiteral("SSOE7CODICE;DPST2DTVERS;SPST2ANNO;SPST2MESE;SPST2CODREG"));
    cdsST3.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPST3CFINTNRES"));
    cdsST4.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SCFINTNRES"));
    QSet<QString> done;
    printRowTable(cdsST, QStringLiteral("cdsST"),
                  {23, 12,
                   {QStringLiteral("ST1"), QStringLiteral("ST2"), QStringLiteral("ST3"), QStringLiteral("ST4")},
                   1, QStringLiteral("STN"), -1},
                  [&](const QString &code) {
                      printSTGroupSections(code);
                      done.insert(code);
                  });
    // Groups that have rows only in the later sections still get printed,
    // under module 01 of their own.
    QStringList rest;
    for (ClientDataSet *c : {&cdsST2, &cdsST3, &cdsST4})
        for (c->first(); !c->eof(); c->next())
            if (!done.contains(codeOf(*c)) && !rest.contains(codeOf(*c)))
                rest << codeOf(*c);
    std::sort(rest.begin(), rest.end());
    for (const QString &code : std::as_const(rest)) {
        newModule(1);
        printSTGroupSections(code);
    }
    finishSectionPrint(path);
    return true;
}

bool TdmJexProspSTPDF::PrintProspSS(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    pageLog.clear();
    currentStore().openCds(QStringLiteral("TPSS_PROSPETTOSS"), cdsSS);
    if (cdsSS.isEmpty())
        return false;
    messages().warning(QStringLiteral("Si ricorda che la stampa dei prospetti SS è aggiornata con i dati "
                                      "calcolati durante l'ultima creazione del file telematico."));
    if (!openSectionPrint(QStringLiteral("ProspSS.xml"), {QStringLiteral("TPSS_PROSPETTOSS")}, {&cdsSS}))
        return false;
    printPagePerRecord(cdsSS, {QStringLiteral("SS")}, path);
    return true;
}

bool TdmJexProspSTPDF::PrintProspSX(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    if (!openSectionPrint(QStringLiteral("ProspSX.xml"), {QStringLiteral("TPSX_PROSPETTOSX")}, {&cdsSX}))
        return false;
    printPagePerRecord(cdsSX, {QStringLiteral("SX"), QStringLiteral("SX2")}, path);
    return true;
}

// SS and SX: the pages of one module for every record, in the order of the
// agents, each record numbered as its module.
void TdmJexProspSTPDF::printPagePerRecord(ClientDataSet &ds, const QStringList &pages, const QString &path)
{
    ds.setIndexFieldNames(QStringLiteral("SSOE7CODICE"));
    int n = 0;
    for (ds.first(); !ds.eof(); ds.next()) {
        newModule(++n);
        for (const QString &page : pages)
            PrintPage(page);
        pageLog << QStringLiteral("%1:%2").arg(pages.first()).arg(n, 2, 10, QLatin1Char('0'));
    }
    finishSectionPrint(path);
}

// Sections I, II and III of a group share the pages 30 of its modules:
// section II is printed first, then I and III continue on the last of those
// pages and start further pages (modules of the same group) when they
// overflow. Section IV fills pages 31 of its own, numbered from 01 per group.
bool TdmJexProspSTPDF::PrintProspSY(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    if (!openSectionPrint(QStringLiteral("ProspSY.xml"),
                          {QStringLiteral("TPSY_PROSPETTOSY"), QStringLiteral("TPSY2_PROSPETTOSY2"),
                           QStringLiteral("TPSY3_PROSPETTOSY3"), QStringLiteral("TPSY4_PROSPETTOSY4")},
                          {&cdsSY, &cdsSY2, &cdsSY3, &cdsSY4}))
        return false;
    cdsSY.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPSYDEBPRICODF;SPSYCREPIGCODF"));
    cdsSY2.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPSY2CREPIGCF"));
    cdsSY3.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPSY3CFBEN"));
    cdsSY4.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SSY4DEN"));

    QStringList groups;
    for (ClientDataSet *c : {&cdsSY2, &cdsSY, &cdsSY3, &cdsSY4})
        for (c->first(); !c->eof(); c->next())
            if (!groups.contains(codeOf(*c)))
                groups << codeOf(*c);
    std::sort(groups.begin(), groups.end());

    for (const QString &code : std::as_const(groups)) {
        int module = 0;
        bool pageOpen = false;
        auto newPage30 = [&] {
            startFormPage(30, ++module);
            pageOpen = true;
        };
        struct Part
        {
            ClientDataSet *cds;
            QString name, first, following, caption;
            int rows;
        };
        const QList<Part> parts = {
            {&cdsSY2, QStringLiteral("cdsSY2"), QStringLiteral("SYII"), QStringLiteral("SYNII"),
             QStringLiteral("SYC2"), 5},
            {&cdsSY, QStringLiteral("cdsSY"), QStringLiteral("SYI"), QStringLiteral("SYN"), QStringLiteral("SYC"), 5},
            {&cdsSY3, QStringLiteral("cdsSY3"), QStringLiteral("SYIII"), QStringLiteral("SYNIII"),
             QStringLiteral("SYC3"), 4},
        };
        for (const Part &part : parts) {
            int position = 0;
            for (part.cds->first(); !part.cds->eof(); part.cds->next()) {
                if (codeOf(*part.cds) != code)
                    continue;
                if (!pageOpen || position >= part.rows) {
                    if (pageOpen)
                        newPage30();
                    else
                        newPage30();
                    position = 0;
                }
                if (position == 0) {
                    PrintSection(part.caption, part.name, 1);
                    PrintSection(part.first, part.name, 1);
                } else {
                    PrintSection(part.following, part.name, position - 1);
                }
                ++position;
            }
            // The next section starts on the same page, in its own area.
            if (position > 0)
                position = 0;
        }
        int position = 0;
        int module4 = 0;
        for (cdsSY4.first(); !cdsSY4.eof(); cdsSY4.next()) {
            if (codeOf(cdsSY4) != code)
                continue;
            if (module4 == 0 || position >= 5) {
                AddTemplatePage(31);
                newModule(++module4);
                PrintSection(QStringLiteral("ModN2"), QStringLiteral("cdsAltreVoci"), 1);
                PrintSection(QStringLiteral("CodFis2"), QStringLiteral("cdsSost"), 1);
                pageLog << QStringLiteral("31:%1").arg(module4, 2, 10, QLatin1Char('0'));
                PrintSection(QStringLiteral("SYIV"), QStringLiteral("cdsSY4"), 1);
                position = 0;
            } else {
                PrintSection(QStringLiteral("SYNIV"), QStringLiteral("cdsSY4"), position - 1);
            }
            ++position;
        }
    }
    finishSectionPrint(path);
    return true;
}

} // namespace jex

// --- control reports ------------------------------------------------------

namespace jex {

namespace {

const QString ReportCoord = QStringLiteral("StampeVarie.xml");

QStringList prefixed(const QString &prefix, const QStringList &suffixes)
{
    QStringList out;
    for (const QString &s : suffixes)
        out << prefix + s;
    return out;
}

} // namespace

void TdmJexProspSTPDF::makeAmounts(ClientDataSet &cds, const QString &caption, const QStringList &fields,
                                   bool withYear, const QString &yearField, FieldType yearType)
{
    cds.clearFields();
    cds.addField(caption, FieldType::String, 20);
    if (withYear)
        cds.addField(yearField, yearType, yearType == FieldType::String ? 10 : 0);
    for (const QString &f : fields)
        cds.addField(f, FieldType::Float);
    cds.createDataSet();
}

void TdmJexProspSTPDF::zero(ClientDataSet &cds, const QStringList &fields)
{
    for (const QString &f : fields)
        cds.fieldByName(f)->setAsFloat(0);
}

void TdmJexProspSTPDF::addTo(ClientDataSet &target, const QStringList &targetFields, const ClientDataSet &source,
                             const QStringList &sourceFields)
{
    const bool editing = target.isEditing();
    if (!editing)
        target.edit();
    for (int i = 0; i < targetFields.size(); ++i) {
        Field *t = target.fieldByName(targetFields[i]);
        t->setAsFloat(t->asFloat() + source.fieldByName(sourceFields[i])->asFloat());
    }
    if (!editing)
        target.post();
}

bool TdmJexProspSTPDF::openReport(const QString &templateFile, bool showError)
{
    if (!OpenTemplate(coordPath(templateFile), coordPath(ReportCoord))) {
        if (showError)
            messages().error(pdfCreationErrorText() + QStringLiteral("\n\r") + openError());
        return false;
    }
    return true;
}

void TdmJexProspSTPDF::reportHeaderPage(const QString &pageName, const QString &headerSection)
{
    m_reportPage = pageName;
    m_headerSection = headerSection;
    AddTemplatePage(1);
    PrintSection(pageName, headerSection, 1);
    pageLog << QStringLiteral("1:%1").arg(pageLog.size() + 1, 2, 10, QLatin1Char('0'));
    // Every page of a report is a copy of the same template page: the page
    // number is written on each copy.
    TWqpPdf *out = pdf();
    const double size = out->TextSize();
    out->SetTextSize(6);
    out->QxDrawText(out->PageWidth() - 40, out->PageHeight() - 20, QStringLiteral("pag. %1").arg(pageLog.size()), 0,
                    TextAlign::Right);
    out->SetTextSize(size);
    m_row = 0;
}

void TdmJexProspSTPDF::checkPageBreak()
{
    if (m_row >= m_rowsPerPage)
        reportHeaderPage(m_reportPage, m_headerSection);
}

void TdmJexProspSTPDF::printAt(const QString &page, const QString &section, int row)
{
    PrintSection(page, section, row);
}

void TdmJexProspSTPDF::rule(double top, double width, double height)
{
    pdf()->Check(pdf()->DrawBox(59, top, width, height, 0), {});
}

void TdmJexProspSTPDF::openIntestazione(ClientDataSet &target, bool inps)
{
    currentStore().openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), cdsSost);
    auto s = [this](const char *f) { return cdsSost.fieldByName(QLatin1String(f))->asString(); };
    target.clearFields();
    const QStringList names = inps ? QStringList{QStringLiteral("SDENOMINAZIONE"), QStringLiteral("SINDIRIZZO"),
                                                 QStringLiteral("STELEFONOMAIL"), QStringLiteral("SANNOFIN")}
                                   : QStringList{QStringLiteral("sDenominazione"), QStringLiteral("sIndirizzo"),
                                                 QStringLiteral("sTelefonoMail"), QStringLiteral("sAnnoFin"),
                                                 QStringLiteral("sAnnoCurr")};
    const int sizes[] = {60, 255, 255, 4, 4};
    for (int i = 0; i < names.size(); ++i)
        target.addField(names[i], FieldType::String, sizes[i]);
    target.createDataSet();
    target.append();
    if (!cdsSost.isEmpty()) {
        target.fieldByName(names[0])->setAsString(s("SSOSDENOM"));
        target.fieldByName(names[1])->setAsString(QStringLiteral("%1 %2 (%3) CAP. %4")
                                                      .arg(s("SSOSINDIRIZSL"), s("SSOSCOMUNESL"),
                                                           s("SSOSPROVSL"), s("SSOSCAPSL")));
        target.fieldByName(names[2])->setAsString(
            QStringLiteral("Tel. %1 Fax. %2 E-Mail %3").arg(s("SSOSTEL"), s("SSOSFAX"), s("SSOSEMAIL")));
    }
    target.fieldByName(names[3])->setAsString(QStringLiteral("2024"));
    if (!inps)
        target.fieldByName(names[4])->setAsString(QStringLiteral("2025"));
    target.post();
}

void TdmJexProspSTPDF::openPeople(bool autonomi)
{
    ClientDataSet source;
    const QString table = autonomi ? QStringLiteral("TDAU7_DATIAUTONOM") : QStringLiteral("TDIP7_ANAGRFISCALI");
    const QString group = autonomi ? QStringLiteral("SDAU7") : QStringLiteral("SDIP7");
    currentStore().openCds(table, source);
    ClientDataSet &target = autonomi ? cdsAutonomi : cdsDipendenti;
    QVector<FieldDef> defs = source.fieldDefs();
    const QString nameField = group + QStringLiteral("COGNOMENOME");
    defs.append(FieldDef{nameField, FieldType::String, autonomi ? 100 : 61, 0, false});
    target.setFieldDefs(defs);
    target.createDataSet();
    target.setLogChanges(false);
    const int n = source.fieldCount();
    const Field *surname = source.fieldByName(group + QStringLiteral("COGNOME"));
    const Field *name = source.fieldByName(group + QStringLiteral("NOME"));
    Field *full = target.fieldByName(nameField);
    // Nobody watches the copy while it is filled.
    target.disableControls();
    for (source.first(); !source.eof(); source.next()) {
        target.append();
        for (int i = 0; i < n; ++i)
            target.field(i)->setValue(source.field(i)->value());
        full->setAsString(surname->asString() + QLatin1Char(' ') + name->asString());
        target.post();
    }
    target.enableControls();
    target.setIndexFieldNames(group + QStringLiteral("COGNOME;") + group + QStringLiteral("NOME"));
}

namespace {

// The record numbers of a dataset by the value of one text field, each list
// in the dataset's order: the detail rows of every person in one pass, not a
// filter over all of them per person. A null value belongs to nobody, as a
// filter "FIELD='...'" takes no null.
QHash<QString, QVector<int>> recordsBy(ClientDataSet &ds, const QString &field)
{
    QHash<QString, QVector<int>> out;
    const Field *f = ds.fieldByName(field);
    for (ds.first(); !ds.eof(); ds.next())
        if (const QVariant v = f->value(); v.isValid() && !v.isNull())
            out[v.toString()].append(ds.recNo());
    return out;
}

} // namespace

bool TdmJexProspSTPDF::PrintRiepilogoINPS(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    pageLog.clear();
    openPeople(false);
    if (cdsDipendenti.isEmpty()) {
        messages().information(QStringLiteral("Non ci sono dipendenti disponibili per il riepilogo."));
        return false;
    }
    ClientDataSet inps;
    currentStore().openCds(QStringLiteral("TINPS7_INPS"), inps);
    const QStringList sources = {QStringLiteral("fINPS7Imponibile"), QStringLiteral("fINPS7ContribTratt"),
                                 QStringLiteral("fINPS7CompCorrisp"), QStringLiteral("fINPS7CompDovuti"),
                                 QStringLiteral("fINPS7CompTratten")};
    const QStringList suffixes = {QStringLiteral("Imponibile"), QStringLiteral("ContribTratt"),
                                  QStringLiteral("CompCorrisp"), QStringLiteral("CompDovuti"),
                                  QStringLiteral("CompTratten")};
    const QStringList rowFields = prefixed(QStringLiteral("fINPS"), suffixes);
    const QStringList totFields = prefixed(QStringLiteral("fTot"), suffixes);
    makeAmounts(cdsRigoINPS, QStringLiteral("sCaption"), rowFields);
    makeAmounts(cdsTotali, QStringLiteral("sTotCaption"), totFields);
    cdsTotali.append();
    cdsTotali.fieldByName(QStringLiteral("sTotCaption"))->setAsString(QStringLiteral("Totale"));
    zero(cdsTotali, totFields);
    cdsTotali.post();
    cdsRigoINPS.append();
    zero(cdsRigoINPS, rowFields);
    cdsRigoINPS.post();
    openIntestazione(cdsAltreVoci, true);
    if (!openReport(QStringLiteral("RiepilogoINPS.pdf"), true))
        return false;
    m_rowsPerPage = 35;
    reportHeaderPage(QStringLiteral("RiepilogoINPS"), QStringLiteral("cdsAltreVoci"));
    const QString page = m_reportPage;
    const QHash<QString, QVector<int>> inpsOf = recordsBy(inps, QStringLiteral("SDIP7CODFIS"));
    for (cdsDipendenti.first(); !cdsDipendenti.eof(); cdsDipendenti.next()) {
        cdsRigoINPS.edit();
        zero(cdsRigoINPS, rowFields);
        for (const int n : inpsOf.value(cdsDipendenti.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString())) {
            inps.setRecNo(n);
            addTo(cdsRigoINPS, rowFields, inps, sources);
        }
        cdsRigoINPS.post();
        addTo(cdsTotali, totFields, cdsRigoINPS, rowFields);
        checkPageBreak();
        printAt(page, QStringLiteral("cdsDipendenti"), m_row);
        printAt(page, QStringLiteral("cdsRigoINPS"), m_row);
        ++m_row;
    }
    checkPageBreak();
    rule(178 + 17.0 * m_row, 478, 0.05);
    printAt(page, QStringLiteral("cdsTotali"), m_row);
    DeletePages(1, 1);
    SavePdf(path, openAfterReport, openAfterReport);
    return true;
}

bool TdmJexProspSTPDF::runDetailReport(const QString &templateFile, const QString &pageName,
                                       const QString &detailTable, ClientDataSet &detail,
                                       const QString &detailName, const QString &orderField,
                                       const QStringList &detailFields, const QStringList &suffixes,
                                       const QString &yearField, const QString &yearTarget, FieldType yearType,
                                       const QString &path, int rowsPerPage, double ruleTop, double ruleStep,
                                       double ruleWidth)
{
    CloseGuard guard{[this] { closeAll(); }};
    pageLog.clear();
    openPeople(false);
    currentStore().openCds(detailTable, detail);
    detail.setIndexFieldNames(orderField);
    const QStringList subFields = prefixed(QStringLiteral("fSubTot"), suffixes);
    const QStringList yearFields = prefixed(QStringLiteral("fTotAnnuo"), suffixes);
    const QStringList totFields = prefixed(QStringLiteral("fTot"), suffixes);
    makeAmounts(cdsSubTotali, QStringLiteral("sSubTotCaption"), subFields);
    makeAmounts(CdsTotAnnuo, QStringLiteral("sTotAnnuoCaption"), yearFields, true, yearTarget, yearType);
    CdsTotAnnuo.setIndexFieldNames(yearTarget);
    makeAmounts(cdsTotali, QStringLiteral("sTotCaption"), totFields);
    cdsTotali.append();
    cdsTotali.fieldByName(QStringLiteral("sTotCaption"))->setAsString(QStringLiteral("Totale complessivo"));
    zero(cdsTotali, totFields);
    cdsTotali.post();
    cdsSubTotali.append();
    cdsSubTotali.post();
    openIntestazione(cdsIntestazione, false);
    if (!openReport(templateFile, false))
        return false;
    m_rowsPerPage = rowsPerPage;
    reportHeaderPage(pageName, QStringLiteral("cdsIntestazione"));
    auto ruleAt = [&](int row) { rule(ruleTop + ruleStep * row, ruleWidth, 0.01); };

    const QHash<QString, QVector<int>> detailOf = recordsBy(detail, QStringLiteral("SDIP7CODFIS"));
    for (cdsDipendenti.first(); !cdsDipendenti.eof(); cdsDipendenti.next()) {
        cdsSubTotali.edit();
        cdsSubTotali.fieldByName(QStringLiteral("sSubTotCaption"))->setAsString(QStringLiteral("Totale dipendente"));
        zero(cdsSubTotali, subFields);
        cdsSubTotali.post();
        const QVector<int> rows = detailOf.value(cdsDipendenti.fieldByName(QStringLiteral("SDIP7CODFIS"))->asString());
        if (!rows.isEmpty()) {
            checkPageBreak();
            printAt(pageName, QStringLiteral("cdsDipendenti"), m_row);
            for (auto n = rows.crbegin(); n != rows.crend(); ++n) {
                detail.setRecNo(*n);
                addTo(cdsSubTotali, subFields, detail, detailFields);
                const QVariant year = detail.fieldByName(yearField)->value();
                if (!CdsTotAnnuo.locate(yearTarget, year)) {
                    CdsTotAnnuo.append();
                    CdsTotAnnuo.fieldByName(QStringLiteral("sTotAnnuoCaption"))->setAsString(QStringLiteral("Totale anno"));
                    CdsTotAnnuo.fieldByName(yearTarget)->setValue(year);
                    zero(CdsTotAnnuo, yearFields);
                    CdsTotAnnuo.post();
                    CdsTotAnnuo.locate(yearTarget, year);
                }
                addTo(CdsTotAnnuo, yearFields, detail, detailFields);
                checkPageBreak();
                printAt(pageName, detailName, m_row);
                ++m_row;
            }
            checkPageBreak();
            printAt(pageName, QStringLiteral("cdsSubTotali"), m_row);
            ruleAt(m_row + 1);
            ++m_row;
        }
        addTo(cdsTotali, totFields, cdsSubTotali, subFields);
    }
    for (CdsTotAnnuo.first(); !CdsTotAnnuo.eof(); CdsTotAnnuo.next()) {
        checkPageBreak();
        printAt(pageName, QStringLiteral("CdsTotAnnuo"), m_row);
        ++m_row;
    }
    checkPageBreak();
    ruleAt(m_row);
    printAt(pageName, QStringLiteral("cdsTotali"), m_row);
    DeletePages(1, 1);
    SavePdf(path, openAfterReport, openAfterReport);
    return true;
}

bool TdmJexProspSTPDF::PrintRiepilogoTassSep(const QString &path)
{
    return runDetailReport(QStringLiteral("RiepilogoTassazioneSeparata.pdf"), QStringLiteral("RiepilogoTassSeparata"),
                           QStringLiteral("TTAS7_TASSAZIONESE"), cdsTassSeparata, QStringLiteral("cdsTassSeparata"),
                           QStringLiteral("STAS7PERIODOIMP"),
                           {QStringLiteral("FTAS7COMPARRDETR"), QStringLiteral("FTAS7COMPARRNODETR"),
                            QStringLiteral("FTAS7RITOPERATE")},
                           {QStringLiteral("ComparrDetr"), QStringLiteral("ComparrNoDetr"), QStringLiteral("RitOperate")},
                           QStringLiteral("STAS7PERIODOIMP"), QStringLiteral("sTotAnnuoAnno"), FieldType::String,
                           path, 35, 178, 17, 478);
}

bool TdmJexProspSTPDF::PrintRiepilogoINPDAP(const QString &path)
{
    const QStringList suffixes = {QStringLiteral("_Dma_ImpTFR"), QStringLiteral("_Dma_ImpPens"),
                                  QStringLiteral("_Dma_ImpCredito"), QStringLiteral("_Dma_ConTFR"),
                                  QStringLiteral("_Dma_ConPens"), QStringLiteral("_Dma_ConCredito")};
    return runDetailReport(QStringLiteral("RiepilogoINPDAP.pdf"), QStringLiteral("RiepilogoINPDAP"),
                           QStringLiteral("TINP7_INPDAP"), cdsINPDAP, QStringLiteral("cdsINPDAP"),
                           QStringLiteral("IINPDAP7ANNORIF"), prefixed(QStringLiteral("fInpdap7"), suffixes), suffixes,
                           QStringLiteral("IINPDAP7ANNORIF"), QStringLiteral("iTotAnnuoAnnoRif"), FieldType::Integer,
                           path, 26, 151, 14, 727);
}

bool TdmJexProspSTPDF::PrintRiepilogoIRPEF(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    pageLog.clear();
    openPeople(false);
    const QStringList sources = {QStringLiteral("fFis7ReddDetr"), QStringLiteral("fFis7ImpoLorda"),
                                 QStringLiteral("FFIS7RITIRPEF"), QStringLiteral("fFis7AddRegIRPEF"),
                                 QStringLiteral("fFis7AddComAcc"), QStringLiteral("fFis7AddComSa"),
                                 QStringLiteral("fFis7ADDCOMIRPEFACC")};
    const QStringList totals = {QStringLiteral("fTotReddDetr"), QStringLiteral("fTotImpoLorda"),
                                QStringLiteral("FTOTRITIRPEF"), QStringLiteral("fTotAddRegIRPEF"),
                                QStringLiteral("fTotAddComAcc"), QStringLiteral("fTotAddComSa"),
                                QStringLiteral("fTotADDCOMIRPEFACC")};
    makeAmounts(cdsTotali, QStringLiteral("sTotCaption"), totals);
    cdsTotali.append();
    cdsTotali.fieldByName(QStringLiteral("sTotCaption"))->setAsString(QStringLiteral("Totale complessivo"));
    zero(cdsTotali, totals);
    cdsTotali.post();
    openIntestazione(cdsIntestazione, false);
    if (!openReport(QStringLiteral("RiepilogoIRPEF.pdf"), false))
        return false;
    m_rowsPerPage = 23;
    reportHeaderPage(QStringLiteral("RiepilogoIRPEF"), QStringLiteral("cdsIntestazione"));
    for (cdsDipendenti.first(); !cdsDipendenti.eof(); cdsDipendenti.next()) {
        addTo(cdsTotali, totals, cdsDipendenti, sources);
        checkPageBreak();
        printAt(m_reportPage, QStringLiteral("cdsDipendenti"), m_row);
        ++m_row;
    }
    checkPageBreak();
    rule(158 + 17.0 * m_row, 727, 0.01);
    printAt(m_reportPage, QStringLiteral("cdsTotali"), m_row);
    DeletePages(1, 1);
    SavePdf(path, openAfterReport, openAfterReport);
    return true;
}

bool TdmJexProspSTPDF::PrintRiepilogoAutonomi(const QString &path)
{
    CloseGuard guard{[this] { closeAll(); }};
    pageLog.clear();
    openPeople(true);
    currentStore().openCds(QStringLiteral("TDSE7_SOMMEEROGATE"), cdsSommeErogate);
    cdsSommeErogate.setIndexFieldNames(QStringLiteral("SDSE7ANNO"));
    const QStringList suffixes = {QStringLiteral("RitTitAcc"), QStringLiteral("Imponibile"),
                                  QStringLiteral("ContrDip"), QStringLiteral("ContrAmm"),
                                  QStringLiteral("AmmLordo"), QStringLiteral("AltreSomme"),
                                  QStringLiteral("AddrTitAcc")};
    const QStringList sources = prefixed(QStringLiteral("fDse7"), suffixes);
    const QStringList totals = prefixed(QStringLiteral("fTot"), suffixes);
    makeAmounts(cdsTotali, QStringLiteral("sTotCaption"), totals);
    cdsTotali.append();
    cdsTotali.fieldByName(QStringLiteral("sTotCaption"))->setAsString(QStringLiteral("Totale complessivo"));
    zero(cdsTotali, totals);
    cdsTotali.post();
    openIntestazione(cdsIntestazione, false);
    if (!openReport(QStringLiteral("RiepilogoAutonomi.pdf"), false))
        return false;
    m_rowsPerPage = 26;
    reportHeaderPage(QStringLiteral("RiepilogoAutonomi"), QStringLiteral("cdsIntestazione"));
    const QHash<QString, QVector<int>> sumsOf = recordsBy(cdsSommeErogate, QStringLiteral("SDAU7CODFIS"));
    for (cdsAutonomi.first(); !cdsAutonomi.eof(); cdsAutonomi.next()) {
        const QVector<int> rows = sumsOf.value(cdsAutonomi.fieldByName(QStringLiteral("SDAU7CODFIS"))->asString());
        if (rows.isEmpty())
            continue;
        checkPageBreak();
        printAt(m_reportPage, QStringLiteral("cdsAutonomi"), m_row);
        for (auto n = rows.crbegin(); n != rows.crend(); ++n) {
            cdsSommeErogate.setRecNo(*n);
            addTo(cdsTotali, totals, cdsSommeErogate, sources);
            checkPageBreak();
            printAt(m_reportPage, QStringLiteral("cdsSommeErogate"), m_row);
            ++m_row;
        }
    }
    checkPageBreak();
    rule(171 + 14.0 * m_row, 727, 0.01);
    printAt(m_reportPage, QStringLiteral("cdsTotali"), m_row);
    DeletePages(1, 1);
    SavePdf(path, openAfterReport, openAfterReport);
    return true;
}

} // namespace jex
