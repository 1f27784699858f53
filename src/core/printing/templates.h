#pragma once

#include <QString>
#include <QStringList>

namespace jex {

// Draws the PDF templates of the prints from their description (documents
// of pages with texts and boxes, positions from the top-left corner in
// points). Returns the files written; throws EQxError on a bad description.
QStringList makePrintTemplates(const QString &descriptionPath, const QString &outDir);

} // namespace jex
