#pragma once

// The one reader of code-list files: the delivered sources (data/codelists)
// and the files a user loads to complete a list at run time.

#include "dataset/dataset.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace jex {

struct CodeListReadOptions
{
    // The columns the file must have, in this order (a user's file for an
    // existing list). Empty: the header defines them, and then every column
    // must carry its type (NAME:TYPE[:SIZE]).
    QVector<FieldDef> columns;
    // The widest code the return's columns can hold; 0 = only the list's own
    // width applies.
    int codeWidth = 0;
    // At least one code (a user's file: an empty one would wipe the list).
    bool requireRows = false;
};

// Reads the text of a code-list file into ds (all rows, no change log).
// Text is UTF-8, or Latin-1 when it is not valid UTF-8. Tab-separated, or
// ";"/"," separated with double quotes where the header has no tab. Lines
// starting with "#" are comments; the first names the source and is
// returned, without a leading "Fonte:". The first column is the code:
// present, unique and of the column's width and type on every row. All or
// nothing: the first fault throws EQxError naming the file and the line,
// and ds is left empty.
QString readCodeListText(const QByteArray &bytes, const QString &fileName, const CodeListReadOptions &options,
                         ClientDataSet &ds);

// The same for a file on disk; throws EQxError when it cannot be read.
QString readCodeListFile(const QString &path, const CodeListReadOptions &options, ClientDataSet &ds);

// The header line of a list as a source file writes it: CODICE:S:5 ...
QString codeListHeader(const QVector<FieldDef> &columns);

} // namespace jex
