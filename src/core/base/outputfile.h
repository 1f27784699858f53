#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace jex {

// Writes the program's output files (telematic supplies, prints, exported
// tables) so that a failed write never leaves a truncated file where a good
// one was: the bytes go to a temporary file in the same folder, every write
// and the close are checked, and only then the temporary file takes the
// place of the old one. A target that exists and is not a regular file (a
// device, a pipe) is written directly and never replaced.
//
// Failures are thrown as EQxError with an Italian message naming the file.
void writeOutputFile(const QString &path, const QByteArray &bytes);

// Several files of one output (a supply split in parts): all are written to
// temporary files first, then put in place; when one cannot be written none
// of the previous files is touched.
void writeOutputFiles(const QList<QPair<QString, QByteArray>> &files);

// Creates the folder of an output file; throws naming the folder.
void makeOutputFolder(const QString &path);

// Italian text of the last system error, for the messages above.
QString systemErrorText(int error);

} // namespace jex
