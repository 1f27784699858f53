#pragma once

#include "printing/formengine.h"

#include "dataset/dataset.h"

#include <QString>
#include <QStringList>

namespace jex {

struct ReconcileReport;

// Section-print module: the datasets that the coordinate files name and the
// prints of the summary tables and of the control reports. Each print reads
// its sections through printTables(), so it runs on the database as well as
// on datasets a test hands in.
class TdmJexProspSTPDF : public TdmJexPDF
{
public:
    TdmJexProspSTPDF();

    // Section prints: false when there was nothing to print or the template
    // could not be opened (the user has then been told).
    bool PrintProspSS(const QString &path);
    bool PrintProspST(const QString &path);
    bool PrintProspDI(const QString &path);
    bool PrintProspSV(const QString &path);
    bool PrintProspSX(const QString &path);
    bool PrintProspSY(const QString &path);

    // Control reports.
    bool PrintRiepilogoINPS(const QString &path);
    bool PrintRiepilogoTassSep(const QString &path);
    bool PrintRiepilogoIRPEF(const QString &path);
    bool PrintRiepilogoINPDAP(const QString &path);
    bool PrintRiepilogoAutonomi(const QString &path);
    // "Quadratura CU / 770 / F24": the lines of a reconciliation already run.
    bool PrintQuadratura(const QString &path, const ReconcileReport &report);

    // Opening the produced file or its folder after a report (the window
    // program does; batch runs do not).
    bool openAfterReport = true;

    // Pages printed by the last print, in order: "page:module" for the form
    // pages ("27:01"), the template page for reports; lets callers check the
    // layout without reading the PDF.
    QStringList pageLog;

    ClientDataSet cdsSost, cdsST, cdsST2, cdsST3, cdsST4, cdsSS, cdsSV, cdsSX;
    ClientDataSet cdsSY, cdsSY2, cdsSY3, cdsSY4, cdsDI, cdsAltreVoci;
    ClientDataSet cdsIntestazione, cdsDipendenti, cdsAutonomi, cdsTotali, cdsSubTotali, CdsTotAnnuo;
    ClientDataSet cdsRigoINPS, cdsTassSeparata, cdsINPDAP, cdsSommeErogate, cdsQuadratura;

private:
    struct RowLayout
    {
        int templatePage;
        int rowsPerPage;
        QStringList firstSections; // pages of the coordinate file for a page's first row
        int firstRow;
        QString followingSection;
        int followingRowShift; // row = position + shift
    };

    bool openSectionPrint(const QString &coordFile, const QStringList &tables,
                          const QList<ClientDataSet *> &sets);
    void finishSectionPrint(const QString &path);
    void printPagePerRecord(ClientDataSet &ds, const QStringList &pages, const QString &path);
    void closeAll();
    void newModule(int module, bool twoDigitsOfNumber = false);
    void startFormPage(int templatePage, int module);
    void printRowTable(ClientDataSet &cds, const QString &cdsName, const RowLayout &layout,
                       const std::function<void(const QString &code)> &afterFirstPage = {});
    void printSTGroupSections(const QString &code);
    void printSTSubSection(ClientDataSet &cds, const QString &cdsName, const QString &code, int templatePage,
                           const QString &suffix, int rowsPerPage);

    // Reports.
    bool openReport(const QString &templateFile, bool showError);
    void reportHeaderPage(const QString &pageName, const QString &headerSection);
    void printAt(const QString &page, const QString &section, int row);
    void openIntestazione(ClientDataSet &target, bool inps);
    void openPeople(bool autonomi);
    void makeAmounts(ClientDataSet &cds, const QString &caption, const QStringList &fields, bool withYear = false,
                     const QString &yearField = {}, FieldType yearType = FieldType::String);
    void zero(ClientDataSet &cds, const QStringList &fields);
    void addTo(ClientDataSet &target, const QStringList &targetFields, const ClientDataSet &source,
               const QStringList &sourceFields);
    void rule(double top, double width, double height);
    bool runDetailReport(const QString &templateFile, const QString &pageName, const QString &detailTable,
                         ClientDataSet &detail, const QString &detailName, const QString &orderField,
                         const QStringList &detailFields, const QStringList &suffixes,
                         const QString &yearField, const QString &yearTarget, FieldType yearType,
                         const QString &path, int rowsPerPage, double ruleTop, double ruleStep,
                         double ruleWidth);
    void checkPageBreak();

    int m_row = 0;
    int m_rowsPerPage = 0;
    QString m_reportPage;
    QString m_headerSection;
};

// The front page (print module TdmJexStampe): counters of the agent record
// brought up to date, then the form's first pages filled from FrontS.xml.
class TdmJexStampe
{
public:
    // Refreshes the agent's counters and flags and saves them.
    static void refreshAgentCounters(ClientDataSet &sost);
    // Prints the front page of the open agent record; throws on a failed step.
    // False when the template or coordinate file is missing or malformed.
    static bool printFront(ClientDataSet &sost, const QString &path);
};

// Registry names of the prints and the function that makes each file.
struct PrintItem
{
    QString item;       // "axfSV"
    QString fileName;   // default file name, with extension
    std::function<bool(const QString &path)> run;
};
QList<PrintItem> printItems(bool openAfterReport);

} // namespace jex
