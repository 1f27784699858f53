#include "printing/pdfdocument.h"

#include "base/errors.h"
#include "base/outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <podofo/podofo.h>

#include <cmath>

using namespace PoDoFo;

namespace jex {

namespace {

// The standard Helvetica with WinAnsi encoding covers the accented letters of
// Italian without embedding a font file.
constexpr const char *FontName = "Helvetica";

PdfString pdfText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return PdfString(reinterpret_cast<const pdf_utf8 *>(utf8.constData()));
}

QString podofoReason(const PdfError &e)
{
    QString reason = QString::fromLatin1(PdfError::ErrorMessage(e.GetError()));
    if (reason.isEmpty())
        reason = QString::fromLatin1(PdfError::ErrorName(e.GetError()));
    return reason;
}

} // namespace

TWqpPdf::TWqpPdf()
{
    PdfError::EnableDebug(false);
    PdfError::EnableLogging(false);
}

TWqpPdf::~TWqpPdf()
{
    try {
        finishPainting();
    } catch (...) {
    }
}

PdfMemDocument *TWqpPdf::doc(int id) const
{
    if (id < 1 || id > int(m_docs.size()))
        return nullptr;
    return m_docs[size_t(id - 1)].get();
}

int TWqpPdf::fail(const QString &reason)
{
    m_lastError = reason;
    return 0;
}

int TWqpPdf::LoadFromFile(const QString &path)
{
    finishPainting();
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("file non trovato: %1").arg(path));
    try {
        auto d = std::make_unique<PdfMemDocument>();
        d->Load(QFile::encodeName(path).constData());
        m_docs.push_back(std::move(d));
        m_selected = int(m_docs.size());
        m_page = 0;
        return 1;
    } catch (const PdfError &e) {
        return fail(QStringLiteral("%1 danneggiato: %2").arg(QDir::toNativeSeparators(path), podofoReason(e)));
    }
}

int TWqpPdf::SelectDocument(int id)
{
    if (!doc(id))
        return fail(QStringLiteral("documento %1 inesistente").arg(id));
    finishPainting();
    m_selected = id;
    m_page = 0;
    return 1;
}

int TWqpPdf::NewDocument()
{
    finishPainting();
    try {
        auto d = std::make_unique<PdfMemDocument>();
        d->CreatePage(PdfPage::CreateStandardPageSize(ePdfPageSize_A4));
        m_docs.push_back(std::move(d));
        m_selected = int(m_docs.size());
        m_page = 1;
        return m_selected;
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
}

int TWqpPdf::SetOrigin(int origin)
{
    return origin == 1 ? 1 : fail(QStringLiteral("origine %1 non gestita").arg(origin));
}

int TWqpPdf::SetMeasurementUnits(int unit)
{
    return unit == 1 ? 1 : fail(QStringLiteral("unità di misura %1 non gestita").arg(unit));
}

int TWqpPdf::CopyPageRanges(int sourceDocument, const QString &pageList)
{
    PdfMemDocument *src = doc(sourceDocument);
    PdfMemDocument *dst = selectedDoc();
    if (!src || !dst || src == dst)
        return fail(QStringLiteral("documento non valido"));
    QList<int> pages;
    for (const QString &part : pageList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool ok1 = false, ok2 = true;
        const int a = ends.value(0).trimmed().toInt(&ok1);
        const int b = ends.size() > 1 ? ends.value(1).trimmed().toInt(&ok2) : a;
        if (!ok1 || !ok2 || ends.size() > 2)
            return fail(QStringLiteral("elenco pagine non valido: %1").arg(pageList));
        for (int p = a; p <= b; ++p)
            pages << p;
    }
    finishPainting();
    try {
        buildPageTree(sourceDocument);
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
    const int count = src->GetPageCount();
    for (int p : pages)
        if (p < 1 || p > count)
            return fail(QStringLiteral("il modello ha %1 pagine").arg(count));
    finishPainting();
    try {
        for (int p : pages) {
            // Each template page becomes one form object of the output the
            // first time it is used; every copy then only draws that form,
            // so a print of hundreds of pages stays small and fast.
            const QString key = QStringLiteral("%1:%2:%3").arg(m_selected).arg(sourceDocument).arg(p);
            PdfXObject *form = m_pageForms.value(key);
            if (!form) {
                form = new PdfXObject(*src, p - 1, dst);
                m_pageForms.insert(key, form);
            }
            const PdfRect box = src->GetPage(p - 1)->GetMediaBox();
            auto page = std::make_unique<PdfPage>(PdfRect(0, 0, box.GetWidth(), box.GetHeight()), dst);
            PdfPainter painter;
            painter.SetPage(page.get());
            m_newPages[m_selected].push_back(std::move(page));
            painter.DrawXObject(0, 0, form);
            painter.FinishPage();
        }
        return 1;
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
}

int TWqpPdf::DeletePages(int firstPage, int count)
{
    PdfMemDocument *d = selectedDoc();
    if (!d || firstPage < 1 || count < 1 || firstPage + count - 1 > PageCount())
        return fail(QStringLiteral("pagine da eliminare non valide"));
    finishPainting();
    try {
        buildPageTree(m_selected);
        d->DeletePages(firstPage - 1, count);
        if (m_page > d->GetPageCount())
            m_page = d->GetPageCount();
        return 1;
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
}

int TWqpPdf::PageCount() const
{
    PdfMemDocument *d = selectedDoc();
    if (!d)
        return 0;
    const auto made = m_newPages.find(m_selected);
    return d->GetPageCount() + (made == m_newPages.end() ? 0 : int(made->second.size()));
}

PdfPage *TWqpPdf::pageOf(int docId, int page) const
{
    PdfMemDocument *d = doc(docId);
    const int inTree = d->GetPageCount();
    if (page <= inTree)
        return d->GetPage(page - 1);
    return m_newPages.at(docId).at(size_t(page - inTree - 1)).get();
}

void TWqpPdf::buildPageTree(int docId)
{
    const auto made = m_newPages.find(docId);
    if (made == m_newPages.end() || made->second.empty())
        return;
    if (m_paintedDoc == docId)
        finishPainting();
    PdfMemDocument *d = doc(docId);
    std::vector<PdfObject *> objects;
    objects.reserve(made->second.size());
    for (const auto &p : made->second)
        objects.push_back(p->GetObject());
    d->GetPagesTree()->InsertPages(d->GetPageCount() - 1, objects);
    m_newPages.erase(made);
}

int TWqpPdf::SelectPage(int page)
{
    if (page < 1 || page > PageCount())
        return fail(QStringLiteral("pagina %1 inesistente").arg(page));
    m_page = page;
    return 1;
}

int TWqpPdf::SetTextSize(double size)
{
    if (!(size > 0))
        return fail(QStringLiteral("dimensione testo non valida"));
    m_textSize = size;
    return 1;
}

PdfFont *TWqpPdf::font()
{
    PdfFont *f = m_fonts.value(m_selected);
    if (!f) {
        f = selectedDoc()->CreateFont(FontName, false, false, false,
                                      PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                      PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
        if (!f)
            PODOFO_RAISE_ERROR(ePdfError_InvalidFontFile);
        m_fonts.insert(m_selected, f);
    }
    return f;
}

void TWqpPdf::paintOn(int page)
{
    if (m_painter && m_paintedDoc == m_selected && m_paintedPage == page)
        return;
    finishPainting();
    m_painter = std::make_unique<PdfPainter>();
    m_painter->SetPage(pageOf(m_selected, page));
    m_paintedDoc = m_selected;
    m_paintedPage = page;
}

void TWqpPdf::finishPainting()
{
    if (m_painter) {
        auto painter = std::move(m_painter);
        m_paintedPage = 0;
        m_paintedDoc = 0;
        painter->FinishPage();
    }
}

double TWqpPdf::pageHeight(int page) const
{
    return pageOf(m_selected, page)->GetMediaBox().GetHeight();
}

double TWqpPdf::PageWidth() const
{
    return m_page > 0 ? pageOf(m_selected, m_page)->GetMediaBox().GetWidth() : 0;
}

double TWqpPdf::TextWidth(const QString &text) const
{
    auto *self = const_cast<TWqpPdf *>(this);
    if (!selectedDoc())
        return 0;
    PdfFont *f = self->font();
    f->SetFontSize(float(m_textSize));
    f->SetFontCharSpace(0);
    const QByteArray latin = text.toLatin1();
    return f->GetFontMetrics()->StringWidth(latin.constData(), latin.size());
}

void TWqpPdf::QxDrawText(double left, double top, const QString &text, double space, TextAlign align)
{
    if (text.isEmpty())
        return;
    try {
        if (!selectedDoc() || m_page < 1)
            throw EQxError(QStringLiteral("nessuna pagina selezionata"));
        PdfFont *f = font();
        const double width = TextWidth(text) + space * (text.size() - 1);
        double x = left;
        if (align == TextAlign::Right)
            x = left - width;
        else if (align == TextAlign::Center)
            x = left - width / 2;
        f->SetFontSize(float(m_textSize));
        f->SetFontCharSpace(float(space * 100.0 / m_textSize));
        paintOn(m_page);
        m_painter->SetFont(f);
        m_painter->DrawText(x, pageHeight(m_page) - top, pdfText(text));
    } catch (const PdfError &e) {
        throw EQxError(QStringLiteral("%1 (%2)").arg(m_lastOperation, podofoReason(e)));
    } catch (const EQxError &e) {
        throw EQxError(QStringLiteral("%1 (%2)").arg(m_lastOperation, e.message()));
    }
}

int TWqpPdf::DrawRotatedText(double left, double top, double angle, const QString &text)
{
    if (!selectedDoc() || m_page < 1)
        return fail(QStringLiteral("nessuna pagina selezionata"));
    try {
        PdfFont *f = font();
        f->SetFontSize(float(m_textSize));
        f->SetFontCharSpace(0);
        paintOn(m_page);
        const double rad = angle * M_PI / 180.0;
        const double c = std::cos(rad), s = std::sin(rad);
        m_painter->Save();
        m_painter->SetTransformationMatrix(c, s, -s, c, left, pageHeight(m_page) - top);
        m_painter->SetFont(f);
        m_painter->DrawText(0, 0, pdfText(text));
        m_painter->Restore();
        return 1;
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
}

int TWqpPdf::DrawBox(double left, double top, double width, double height, int style)
{
    if (!selectedDoc() || m_page < 1)
        return fail(QStringLiteral("nessuna pagina selezionata"));
    try {
        paintOn(m_page);
        m_painter->Save();
        m_painter->Rectangle(left, pageHeight(m_page) - top - height, width, height);
        if (style == 1) {
            m_painter->Fill();
        } else {
            m_painter->SetStrokeWidth(0.5);
            m_painter->Stroke();
        }
        m_painter->Restore();
        return 1;
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
}

int TWqpPdf::SaveToFile(const QString &path)
{
    PdfMemDocument *d = selectedDoc();
    if (!d)
        return fail(QStringLiteral("nessun documento"));
    QByteArray bytes;
    try {
        finishPainting();
        buildPageTree(m_selected);
        // The document is made in memory; the file is written as every
        // output file is, so a failed write leaves the old print in place.
        PdfRefCountedBuffer buffer;
        PdfOutputDevice device(&buffer);
        d->Write(&device);
        bytes = QByteArray(buffer.GetBuffer(), qsizetype(device.GetLength()));
    } catch (const PdfError &e) {
        return fail(podofoReason(e));
    }
    try {
        writeOutputFile(path, bytes);
    } catch (const EQxError &e) {
        return fail(e.message());
    }
    return 1;
}

void TWqpPdf::Check(int result, const QString &operation)
{
    if (result != 0)
        return;
    QString text = operation.isEmpty() ? m_lastOperation : operation;
    if (!m_lastError.isEmpty())
        text = text.isEmpty() ? m_lastError : text + QStringLiteral(": ") + m_lastError;
    throw EQxError(text.isEmpty() ? QStringLiteral("Errore della libreria PDF") : text);
}

} // namespace jex
