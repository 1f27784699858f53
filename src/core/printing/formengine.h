#pragma once

#include "printing/pdfdocument.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <memory>

namespace jex {

class ClientDataSet;

// One rectangle of a field on the page format: where the value of row r goes.
struct PdfPrintRect
{
    int top = 0;
    int left = 0;
    int height = 0; // text size
    double space = 0;
    int vOffset = 0;
    int oOffset = 0;
    int minIndex = 0;
    int maxIndex = 0; // 0 = every row
};

struct PdfEdit
{
    QString name;
    TextAlign alignment = TextAlign::Left;
    QString type;
    QVector<PdfPrintRect> rects;
};

struct PdfSection
{
    QString name; // dataset component
    QString repeat;
    QVector<PdfEdit> edits;
};

struct PdfPageFormat
{
    QString name;
    int templatePage = 0;
    QVector<PdfSection> sections;
};

// Coordinate file of the page format (root PdfConf). Throws EQxError naming
// the file when it cannot be read or is not a page format.
QVector<PdfPageFormat> loadPageFormat(const QString &path);
TextAlign alignmentFromText(const QString &text);

// Text printed for a field's text under a page-format code ("FL", "CD", ...).
QString formatPdfValue(const QString &type, const QString &text);
// Text printed for a front-page value under its code ("DT", "SP", ...).
QString FormatStampa(const QString &type, const QString &value);
// Vertical correction of the DI rows, whose lines on the form are not evenly spaced.
int diRowCorrection(int row);
// Where a rectangle puts row `row`; false when the row is outside its range.
bool pdfRectPosition(const PdfPrintRect &rect, int row, bool diSection, double *x, double *y);


// The dialog shown when a print cannot start from its template and coordinates.
QString pdfCreationErrorText();
// Types of the coordinate files of the prints and of the front page.
bool isKnownPdfType(const QString &type);
bool isKnownFrontType(const QString &type);

// What the print window and the batch command say when a print produced no
// file; the SS print has rows only after a run of the telematic file.
QString noPrintText(bool ssPrint);

// Engine of the form prints: copies template pages into a new document and
// writes the values of the datasets that the coordinate file names.
class TdmJexPDF
{
public:
    TdmJexPDF();
    virtual ~TdmJexPDF();

    // Makes a dataset known under the component name the coordinate files use.
    void registerDataSet(const QString &name, ClientDataSet *cds);
    ClientDataSet *dataSet(const QString &name) const;

    bool OpenTemplate(const QString &templatePath, const QString &coordPath);
    void AddTemplatePage(int templatePage, bool dropFirst = false);
    bool PrintPage(const QString &pageName);
    bool PrintSection(const QString &pageName, const QString &sectionName, int row);
    void DeletePages(int first, int count);
    void SavePdf(const QString &path, bool openFolder, bool openFile);

    TWqpPdf *pdf() const { return m_pdf.get(); }
    bool hasCoordinates() const { return m_loaded; }
    // Why the last OpenTemplate failed, naming the file and the element.
    QString openError() const { return m_openError; }
    const QVector<PdfPageFormat> &pages() const { return m_pages; }

    // The producer's line printed along the left margin of every page.
    static QString creditLine();

protected:
    bool printSection(const PdfSection &section, int row);

private:
    std::unique_ptr<TWqpPdf> m_pdf;
    QVector<PdfPageFormat> m_pages;
    bool m_loaded = false;
    QString m_coordPath;
    QString m_openError;
    int m_templateDoc = 0;
    int m_outputDoc = 0;
    QHash<QString, ClientDataSet *> m_dataSets; // lower-case name
};

} // namespace jex
