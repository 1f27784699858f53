#include "printing/templates.h"

#include "base/errors.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>

#include <podofo/podofo.h>

using namespace PoDoFo;

namespace jex {

namespace {

double num(const QDomElement &e, const char *name, double def = 0)
{
    bool ok = false;
    const double v = e.attribute(QLatin1String(name)).toDouble(&ok);
    return ok ? v : def;
}

PdfString pdfText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return PdfString(reinterpret_cast<const pdf_utf8 *>(utf8.constData()));
}

} // namespace

QStringList makePrintTemplates(const QString &descriptionPath, const QString &outDir)
{
    QFile f(descriptionPath);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire %1").arg(descriptionPath));
    QDomDocument dom;
    QString error;
    int line = 0;
    if (!dom.setContent(&f, &error, &line))
        throw EQxError(QStringLiteral("%1: XML non valido alla riga %2: %3").arg(descriptionPath).arg(line).arg(error));
    QDir().mkpath(outDir);
    QStringList written;
    for (QDomElement d = dom.documentElement().firstChildElement(QStringLiteral("document")); !d.isNull();
         d = d.nextSiblingElement(QStringLiteral("document"))) {
        try {
            PdfMemDocument doc;
            PdfFont *regular = doc.CreateFont("Helvetica", false, false, false,
                                              PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                              PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
            PdfFont *bold = doc.CreateFont("Helvetica", true, false, false,
                                           PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                           PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
            int number = 0;
            const int pageCount = d.elementsByTagName(QStringLiteral("page")).count();
            for (QDomElement p = d.firstChildElement(QStringLiteral("page")); !p.isNull();
                 p = p.nextSiblingElement(QStringLiteral("page"))) {
                ++number;
                const bool landscape = p.attribute(QStringLiteral("landscape")) == QLatin1String("1");
                PdfPage *page = doc.CreatePage(PdfPage::CreateStandardPageSize(ePdfPageSize_A4, landscape));
                const double height = page->GetMediaBox().GetHeight();
                const double width = page->GetMediaBox().GetWidth();
                PdfPainter painter;
                painter.SetPage(page);
                painter.SetStrokeWidth(0.4);
                for (QDomElement e = p.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
                    if (e.tagName() == QLatin1String("box")) {
                        const double x = num(e, "x"), y = num(e, "y"), w = num(e, "w"), h = num(e, "h");
                        if (e.hasAttribute(QStringLiteral("fill"))) {
                            const double g = num(e, "fill", 1);
                            painter.SetColor(g, g, g);
                            painter.Rectangle(x, height - y - h, w, h);
                            painter.Fill();
                            painter.SetColor(0, 0, 0);
                        }
                        painter.Rectangle(x, height - y - h, w, h);
                        painter.Stroke();
                    } else if (e.tagName() == QLatin1String("text")) {
                        PdfFont *font = e.attribute(QStringLiteral("bold")) == QLatin1String("1") ? bold : regular;
                        font->SetFontSize(float(num(e, "size", 7)));
                        painter.SetFont(font);
                        painter.DrawText(num(e, "x"), height - num(e, "y"), pdfText(e.text()));
                    } else {
                        throw EQxError(QStringLiteral("%1: elemento %2 sconosciuto").arg(descriptionPath, e.tagName()));
                    }
                }
                regular->SetFontSize(6);
                painter.SetFont(regular);
                // A one-page template is a report page, copied once per
                // printed page: the report writes its own page numbers
                // after the title.
                const bool single = pageCount == 1;
                const QString foot = single ? p.attribute(QStringLiteral("title"))
                                            : QStringLiteral("%1 - pag. %2").arg(p.attribute(QStringLiteral("title"))).arg(number);
                painter.DrawText(width - (single ? 70 : 40) - regular->GetFontMetrics()->StringWidth(foot.toLatin1().constData()),
                                 20, pdfText(foot));
                painter.FinishPage();
            }
            const QString path = QDir(outDir).filePath(d.attribute(QStringLiteral("file")));
            doc.Write(QFile::encodeName(path).constData());
            written << path;
        } catch (const PdfError &e) {
            throw EQxError(QStringLiteral("%1: %2").arg(d.attribute(QStringLiteral("file")),
                                                        QString::fromLatin1(PdfError::ErrorMessage(e.GetError()))));
        }
    }
    return written;
}

} // namespace jex
