#pragma once

#include <QString>
#include <QHash>
#include <map>
#include <memory>
#include <vector>

namespace PoDoFo {
class PdfMemDocument;
class PdfPainter;
class PdfFont;
class PdfXObject;
class PdfPage;
}

namespace jex {

enum class TextAlign { Left, Right, Center };

// The PDF drawing layer of the prints: page copies from a template, text and
// boxes at positions measured in points from the top-left corner. Operations
// return a result code (1 = done, 0 = failed) that the caller hands to
// Check together with the name of the step, as the prints do.
class TWqpPdf
{
public:
    TWqpPdf();
    ~TWqpPdf();
    TWqpPdf(const TWqpPdf &) = delete;
    TWqpPdf &operator=(const TWqpPdf &) = delete;

    int LoadFromFile(const QString &path);
    int SelectedDocument() const { return m_selected; }
    int SelectDocument(int id);
    int NewDocument();
    int SetOrigin(int origin);        // 1 = top-left (the only one used)
    int SetMeasurementUnits(int unit); // 1 = points
    // Appends copies of pages of another document ("24", "1,2,3", "4-6").
    int CopyPageRanges(int sourceDocument, const QString &pageList);
    int DeletePages(int firstPage, int count);
    int PageCount() const;
    int SelectPage(int page);
    int SelectedPage() const { return m_page; }
    int SetTextSize(double size);
    double TextSize() const { return m_textSize; }
    int DrawRotatedText(double left, double top, double angle, const QString &text);
    // style 0: outline, 1: filled.
    int DrawBox(double left, double top, double width, double height, int style);
    int SaveToFile(const QString &path);

    // A failed step becomes an EQxError naming it and the library's reason.
    void Check(int result, const QString &operation);
    void SetLastOperation(const QString &operation) { m_lastOperation = operation; }
    QString LastOperation() const { return m_lastOperation; }
    QString LastError() const { return m_lastError; }

    // One text on the selected page. `space` is added between characters,
    // in points; right and centre alignment end or centre the text on `left`.
    void QxDrawText(double left, double top, const QString &text, double space, TextAlign align);

    // Width of a text in the current size, without character spacing.
    double TextWidth(const QString &text) const;
    // Size of the selected page, in points.
    double PageWidth() const;
    double PageHeight() const { return m_page > 0 ? pageHeight(m_page) : 0; }

private:
    PoDoFo::PdfMemDocument *doc(int id) const;
    PoDoFo::PdfMemDocument *selectedDoc() const { return doc(m_selected); }
    PoDoFo::PdfFont *font();
    void paintOn(int page);
    void finishPainting();
    double pageHeight(int page) const;
    // Page `page` (from 1) of a document, whether in its page tree or still
    // among the pages made since the tree was last built.
    PoDoFo::PdfPage *pageOf(int docId, int page) const;
    // Puts the pages made since into the document's page tree, in one step.
    void buildPageTree(int docId);
    int fail(const QString &reason);

    std::vector<std::unique_ptr<PoDoFo::PdfMemDocument>> m_docs; // id = index + 1
    int m_selected = 0;
    int m_page = 0;
    double m_textSize = 10;
    QString m_lastOperation;
    QString m_lastError;
    std::unique_ptr<PoDoFo::PdfPainter> m_painter;
    int m_paintedPage = 0;
    int m_paintedDoc = 0;
    QHash<int, PoDoFo::PdfFont *> m_fonts;             // per document
    QHash<QString, PoDoFo::PdfXObject *> m_pageForms;  // "dst:src:page"
    // Pages copied into a document and not yet in its page tree: the tree is
    // built once, before the document is written or its pages are counted
    // off, instead of being walked for every page added or text drawn.
    std::map<int, std::vector<std::unique_ptr<PoDoFo::PdfPage>>> m_newPages;
};

} // namespace jex
