#include "printing/formengine.h"

#include "base/desktop.h"

#include "base/money.h"
#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/numformat.h"
#include "base/outputfile.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace jex {

namespace {

// Where an element of a coordinate file is, for the messages of a damaged file.
QString elementPlace(const QDomElement &e)
{
    QStringList path;
    for (QDomElement p = e; !p.isNull(); p = p.parentNode().toElement()) {
        const QString name = p.attribute(QStringLiteral("Name"));
        path.prepend(name.isEmpty() ? p.tagName() : QStringLiteral("%1 \"%2\"").arg(p.tagName(), name));
    }
    return QStringLiteral("%1 (riga %2)").arg(path.join(QStringLiteral(" / "))).arg(e.lineNumber());
}

[[noreturn]] void damaged(const QString &path, const QDomElement &e, const QString &what)
{
    throw EQxError(QStringLiteral("File di coordinate %1 danneggiato: %2, %3")
                       .arg(QDir::toNativeSeparators(path), elementPlace(e), what));
}

// A missing attribute reads as 0, as the delivered files leave some out; one
// that is there must be a number.
int intAttr(const QString &path, const QDomElement &e, const char *name)
{
    const QString text = e.attribute(QLatin1String(name)).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        damaged(path, e, QStringLiteral("l'attributo %1 non è un numero intero: \"%2\"").arg(QLatin1String(name), text));
    return v;
}

double realAttr(const QString &path, const QDomElement &e, const char *name)
{
    const QString text = e.attribute(QLatin1String(name)).trimmed();
    if (text.isEmpty())
        return 0;
    double v = 0;
    if (!parseAmount(text, &v))
        damaged(path, e, QStringLiteral("l'attributo %1 non è un numero: \"%2\"").arg(QLatin1String(name), text));
    return v;
}

bool knownAlignment(const QString &text)
{
    return text.isEmpty() || text == QLatin1String("taLeftJustify") || text == QLatin1String("taRightJustify")
           || text == QLatin1String("taCenter");
}

QList<QDomElement> children(const QDomElement &parent, const char *tag)
{
    QList<QDomElement> out;
    for (QDomElement e = parent.firstChildElement(QLatin1String(tag)); !e.isNull();
         e = e.nextSiblingElement(QLatin1String(tag)))
        out << e;
    return out;
}

QString cutDate(const QString &text, int blanksDayMonth, int blanksMonthYear, bool withYear = true)
{
    // The field text of a date is dd/mm/yyyy.
    QString out = text.mid(0, 2) + QString(blanksDayMonth, QLatin1Char(' ')) + text.mid(3, 2);
    if (withYear)
        out += QString(blanksMonthYear, QLatin1Char(' ')) + text.mid(6, 4);
    return out;
}

double numberOf(const QString &text, bool strict)
{
    double v = 0;
    if (!parseAmount(text.trimmed(), &v)) {
        if (strict)
            throw EQxError(QStringLiteral("\"%1\" non è un numero valido").arg(text));
        return 0;
    }
    return v;
}

} // namespace

TextAlign alignmentFromText(const QString &text)
{
    if (text.compare(QLatin1String("taRightJustify"), Qt::CaseInsensitive) == 0)
        return TextAlign::Right;
    if (text.compare(QLatin1String("taCenter"), Qt::CaseInsensitive) == 0)
        return TextAlign::Center;
    return TextAlign::Left;
}

QVector<PdfPageFormat> loadPageFormat(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il file %1").arg(path));
    QDomDocument dom;
    QString error;
    int line = 0;
    if (!dom.setContent(&f, &error, &line))
        throw EQxError(QStringLiteral("%1: XML non valido alla riga %2: %3").arg(path).arg(line).arg(error));
    const QDomElement root = dom.documentElement();
    if (root.tagName() != QLatin1String("PdfConf"))
        throw EQxError(QStringLiteral("%1: elemento radice PdfConf atteso").arg(path));
    QVector<PdfPageFormat> pages;
    if (children(root, "Page").isEmpty())
        damaged(path, root, QStringLiteral("nessuna pagina"));
    for (const QDomElement &p : children(root, "Page")) {
        PdfPageFormat page;
        page.name = p.attribute(QStringLiteral("Name"));
        if (page.name.trimmed().isEmpty())
            damaged(path, p, QStringLiteral("pagina senza nome"));
        page.templatePage = intAttr(path, p, "Template");
        if (page.templatePage < 0)
            damaged(path, p, QStringLiteral("pagina del modello negativa"));
        for (const QDomElement &s : children(p, "Section")) {
            PdfSection section;
            section.name = s.attribute(QStringLiteral("Name"));
            if (section.name.trimmed().isEmpty())
                damaged(path, s, QStringLiteral("sezione senza nome"));
            section.repeat = s.attribute(QStringLiteral("Repeat"));
            for (const QDomElement &e : children(s, "Edit")) {
                PdfEdit edit;
                edit.name = e.attribute(QStringLiteral("Name"));
                if (edit.name.trimmed().isEmpty())
                    damaged(path, e, QStringLiteral("campo senza nome"));
                const QString alignment = e.attribute(QStringLiteral("Alignment"));
                if (!knownAlignment(alignment))
                    damaged(path, e, QStringLiteral("allineamento sconosciuto \"%1\"").arg(alignment));
                edit.alignment = alignmentFromText(alignment);
                edit.type = e.attribute(QStringLiteral("Type"));
                if (!isKnownPdfType(edit.type))
                    damaged(path, e, QStringLiteral("tipo sconosciuto \"%1\"").arg(edit.type));
                if (children(e, "PrintRect").isEmpty())
                    damaged(path, e, QStringLiteral("nessuna posizione (PrintRect)"));
                for (const QDomElement &r : children(e, "PrintRect")) {
                    PdfPrintRect rect;
                    rect.top = intAttr(path, r, "Top");
                    rect.left = intAttr(path, r, "Left");
                    rect.height = intAttr(path, r, "Height");
                    rect.space = realAttr(path, r, "Space");
                    rect.vOffset = intAttr(path, r, "vOffset");
                    rect.oOffset = intAttr(path, r, "oOffset");
                    rect.minIndex = intAttr(path, r, "MinIndex");
                    rect.maxIndex = intAttr(path, r, "MaxIndex");
                    if (rect.top < 0 || rect.left < 0 || rect.height < 0 || rect.minIndex < 0 || rect.maxIndex < 0)
                        damaged(path, r, QStringLiteral("posizione negativa"));
                    if (rect.maxIndex != 0 && rect.maxIndex < rect.minIndex)
                        damaged(path, r, QStringLiteral("MaxIndex minore di MinIndex"));
                    edit.rects << rect;
                }
                section.edits << edit;
            }
            page.sections << section;
        }
        pages << page;
    }
    return pages;
}

bool isKnownPdfType(const QString &type)
{
    // Every type formatPdfValue knows; SP and an empty type print the text as it is.
    static const QStringList known = {QString(), QStringLiteral("SP"), QStringLiteral("FL"), QStringLiteral("TR"),
                                      QStringLiteral("FF"), QStringLiteral("TA"), QStringLiteral("DT"),
                                      QStringLiteral("DT2"), QStringLiteral("DA"), QStringLiteral("CD"),
                                      QStringLiteral("CB"), QStringLiteral("M"), QStringLiteral("F")};
    return known.contains(type == QLatin1String("M") || type == QLatin1String("F") ? type : type.toUpper());
}

bool isKnownFrontType(const QString &type)
{
    // Every type FormatStampa knows; X prints the text as it is.
    static const QStringList known = {QStringLiteral("X"),  QStringLiteral("DT"), QStringLiteral("DTd"),
                                      QStringLiteral("DA"), QStringLiteral("CB"), QStringLiteral("M"),
                                      QStringLiteral("F"),  QStringLiteral("TR"), QStringLiteral("AR"),
                                      QStringLiteral("PC"), QStringLiteral("SP"), QStringLiteral("SP2")};
    return known.contains(type);
}

QString formatPdfValue(const QString &type, const QString &text)
{
    const QString t = type.toUpper();
    if (t == QLatin1String("FL"))
        return formatFloatPattern(QStringLiteral("0.00"), text.isEmpty() ? 0.0 : numberOf(text, false));
    if (t == QLatin1String("TR")) {
        if (text.isEmpty())
            return {};
        return formatFloatPattern(QStringLiteral("#,##0"), std::trunc(numberOf(text, false)));
    }
    if (t == QLatin1String("FF")) {
        if (text.trimmed().isEmpty())
            return {};
        return formatFloatPattern(QStringLiteral("0.00"), numberOf(text, true));
    }
    if (t == QLatin1String("TA")) {
        if (text.isEmpty())
            return {};
        const qint64 money = TQmrCalcola::fromDouble(numberOf(text, false));
        return formatFloatPattern(QStringLiteral("#,##0"),
                                  TQmrCalcola::toDouble(TQmrCalcola::RoundCurr(0, money)));
    }
    if (t == QLatin1String("DT"))
        return text.isEmpty() ? QString() : cutDate(text, 2, 2);
    if (t == QLatin1String("DT2"))
        return text.isEmpty() ? QString() : cutDate(text, 3, 2);
    if (t == QLatin1String("DA"))
        return text.isEmpty() ? QString() : cutDate(text, 1, 0, false);
    if (t == QLatin1String("CD"))
        return text.isEmpty() ? QString() : text.rightJustified(11, QLatin1Char(' '));
    if (t == QLatin1String("CB"))
        return text == QLatin1String("1") ? QStringLiteral("X") : QString();
    if (type == QLatin1String("M") || type == QLatin1String("F"))
        return text == type ? QStringLiteral("X") : QStringLiteral(" ");
    return text;
}

QString FormatStampa(const QString &type, const QString &value)
{
    if (type == QLatin1String("DT"))
        return cutDate(value, 2, 2);
    if (type == QLatin1String("DTd"))
        return cutDate(value, 1, 1);
    if (type == QLatin1String("DA"))
        return cutDate(value, 1, 0, false);
    if (type == QLatin1String("CB"))
        return value == QLatin1String("1") ? QStringLiteral("X") : QString();
    if (type == QLatin1String("M") || type == QLatin1String("F"))
        return value == type ? QStringLiteral("X") : QStringLiteral(" ");
    if (type == QLatin1String("TR")) {
        if (value.isEmpty())
            return QStringLiteral("0");
        return QString::number(qint64(std::trunc(numberOf(value, false))));
    }
    if (type == QLatin1String("AR")) {
        if (value.isEmpty())
            return QStringLiteral("0");
        const double v = numberOf(value, false);
        const double whole = std::trunc(v);
        return QString::number(qint64(std::fabs(v - whole) >= 0.5 ? v + 1 : whole));
    }
    if (type == QLatin1String("PC"))
        return value.isEmpty() ? QStringLiteral("0") : value;
    if (type == QLatin1String("SP") || type == QLatin1String("SP2")) {
        const QString gap = type == QLatin1String("SP") ? QStringLiteral(" ") : QStringLiteral("   ");
        QString out;
        for (const QChar c : value)
            out += c + gap;
        return out;
    }
    return value;
}

int diRowCorrection(int row)
{
    if (row > 17)
        return 4;
    if (row > 13)
        return 3;
    if (row > 8)
        return 2;
    if (row > 4)
        return 1;
    return 0;
}

bool pdfRectPosition(const PdfPrintRect &rect, int row, bool diSection, double *x, double *y)
{
    if (rect.maxIndex != 0 && (row < rect.minIndex || row > rect.maxIndex))
        return false;
    const int step = row - rect.minIndex;
    *x = double(step) * rect.oOffset + rect.left;
    *y = double(step) * rect.vOffset + rect.top + (diSection ? diRowCorrection(row) : 0);
    return true;
}

QString noPrintText(bool ssPrint)
{
    if (ssPrint)
        return QStringLiteral("Nessun file prodotto: il prospetto SS viene calcolato durante la creazione del file "
                              "telematico.");
    return QStringLiteral("Nessun file prodotto.");
}

QString pdfCreationErrorText()
{
    return QStringLiteral(
        "Impossibile creare il file PDF:\n\r1) Controllare che il file di tamplate e il file XML di "
        "configurazione esistano\n\r   e siano contenuti nella giusta cartella\n\r2) Che l'XML abbia "
        "una sintassi corretta\n\r3) I file potrebbero essere danneggiati");
}

QString TdmJexPDF::creditLine()
{
    return QStringLiteral("Stampa prodotta con jex770 - Modello 770/2025 Redditi 2024");
}

TdmJexPDF::TdmJexPDF() = default;
TdmJexPDF::~TdmJexPDF() = default;

void TdmJexPDF::registerDataSet(const QString &name, ClientDataSet *cds)
{
    m_dataSets.insert(name.toLower(), cds);
}

ClientDataSet *TdmJexPDF::dataSet(const QString &name) const
{
    return m_dataSets.value(name.toLower());
}

bool TdmJexPDF::OpenTemplate(const QString &templatePath, const QString &coordPath)
{
    m_loaded = false;
    m_pages.clear();
    m_coordPath = coordPath;
    m_openError.clear();
    if (!QFileInfo::exists(templatePath)) {
        m_openError = QStringLiteral("Modello di stampa mancante: %1").arg(QDir::toNativeSeparators(templatePath));
        return false;
    }
    if (!QFileInfo::exists(coordPath)) {
        m_openError = QStringLiteral("File di coordinate mancante: %1").arg(QDir::toNativeSeparators(coordPath));
        return false;
    }
    try {
        m_pages = loadPageFormat(coordPath);
        m_pdf = std::make_unique<TWqpPdf>();
        m_pdf->Check(m_pdf->LoadFromFile(templatePath), QStringLiteral("Caricamento modello base"));
        m_templateDoc = m_pdf->SelectedDocument();
        // A page the coordinates place on must be in the template.
        const int templatePages = m_pdf->PageCount();
        for (const PdfPageFormat &page : std::as_const(m_pages))
            if (page.templatePage > templatePages)
                throw EQxError(QStringLiteral("Il modello di stampa %1 ha %2 pagine: la pagina \"%3\" del file %4 "
                                              "vuole la pagina %5")
                                   .arg(QDir::toNativeSeparators(templatePath)).arg(templatePages)
                                   .arg(page.name, QDir::toNativeSeparators(coordPath)).arg(page.templatePage));
        m_outputDoc = m_pdf->NewDocument();
        m_pdf->Check(m_outputDoc, QStringLiteral("Creazione nuovo documento"));
        m_pdf->Check(m_pdf->SetOrigin(1), {});
        m_pdf->Check(m_pdf->SetMeasurementUnits(1), {});
        m_loaded = true;
        return true;
    } catch (const std::exception &e) {
        m_pages.clear();
        m_openError = errorText(e);
        return false;
    }
}

void TdmJexPDF::AddTemplatePage(int templatePage, bool dropFirst)
{
    if (!m_pdf)
        throw EQxError(QStringLiteral("Copia pagina %1").arg(templatePage));
    m_pdf->Check(m_pdf->CopyPageRanges(m_templateDoc, QString::number(templatePage)),
                 QStringLiteral("Copia pagina %1").arg(templatePage));
    if (dropFirst)
        m_pdf->Check(m_pdf->DeletePages(1, 1), {});
    m_pdf->Check(m_pdf->SelectPage(m_pdf->PageCount()), {});
    const double size = m_pdf->TextSize();
    m_pdf->Check(m_pdf->SetTextSize(7), {});
    // Top 747 on a portrait A4 page; a landscape page is 595 points high, so
    // the line keeps the same distance from the bottom edge there.
    const double creditTop = std::min(747.0, m_pdf->PageHeight() - 95);
    m_pdf->Check(m_pdf->DrawRotatedText(10, creditTop, 90, creditLine()), {});
    m_pdf->SetTextSize(size);
}

bool TdmJexPDF::PrintPage(const QString &pageName)
{
    if (!m_loaded)
        return false;
    for (const PdfPageFormat &page : std::as_const(m_pages)) {
        if (page.name != pageName)
            continue;
        AddTemplatePage(page.templatePage);
        for (const PdfSection &section : page.sections)
            if (!printSection(section, 0))
                return false;
        return true;
    }
    return false;
}

bool TdmJexPDF::PrintSection(const QString &pageName, const QString &sectionName, int row)
{
    if (!m_loaded)
        return false;
    for (const PdfPageFormat &page : std::as_const(m_pages)) {
        if (page.name.compare(pageName, Qt::CaseInsensitive) != 0)
            continue;
        for (const PdfSection &section : page.sections)
            if (section.name.compare(sectionName, Qt::CaseInsensitive) == 0)
                return printSection(section, row);
        // The print asks for what its coordinate file must hold: a section
        // not there means a damaged or wrong file, not an empty print.
        throw EQxError(QStringLiteral("File di coordinate %1 danneggiato: la pagina \"%2\" non ha la sezione \"%3\"")
                           .arg(QDir::toNativeSeparators(m_coordPath), pageName, sectionName));
    }
    throw EQxError(QStringLiteral("File di coordinate %1 danneggiato: manca la pagina \"%2\"")
                       .arg(QDir::toNativeSeparators(m_coordPath), pageName));
}

bool TdmJexPDF::printSection(const PdfSection &section, int row)
{
    ClientDataSet *cds = dataSet(section.name);
    if (!cds || !cds->isActive())
        return false;
    const bool di = section.name.compare(QLatin1String("cdsDI"), Qt::CaseInsensitive) == 0;
    for (const PdfEdit &edit : section.edits) {
        QString text;
        bool haveText = false;
        for (const PdfPrintRect &rect : edit.rects) {
            double x = 0, y = 0;
            if (!pdfRectPosition(rect, row, di, &x, &y))
                continue;
            if (!haveText) {
                const Field *field = cds->fieldByName(edit.name);
                text = formatPdfValue(edit.type, cds->isEmpty() ? QString() : field->asString());
                haveText = true;
            }
            m_pdf->SetLastOperation(QStringLiteral("Scrivi testo: ") + text);
            m_pdf->Check(m_pdf->SetTextSize(rect.height > 0 ? rect.height : 8), {});
            m_pdf->QxDrawText(x, y, text, rect.space, edit.alignment);
        }
    }
    return true;
}

void TdmJexPDF::DeletePages(int first, int count)
{
    if (m_pdf)
        m_pdf->Check(m_pdf->DeletePages(first, count), {});
}

void TdmJexPDF::SavePdf(const QString &path, bool openFolder, bool openFile)
{
    if (!m_pdf)
        throw EQxError(QStringLiteral("Salvataggio stampa"));
    const QFileInfo info(path);
    makeOutputFolder(path);
    m_pdf->Check(m_pdf->SaveToFile(path), QStringLiteral("Salvataggio stampa"));
    // Batch commands and tests have no desktop to open things on.
    Desktop *shown = desktop();
    if (!shown)
        return;
    if (openFolder)
        shown->openPath(info.absolutePath());
    if (openFile)
        shown->openPath(info.absoluteFilePath());
}

} // namespace jex
