#pragma once

// How the imports that commit one transaction per person (the CU import, the
// integration from an extinct agent) go through their persons: the progress
// bar follows the persons, each person's changes commit or roll back
// together, an error stops the run naming the person it stopped on, and what
// a person gave to say stands in the report under that person's name.

#include <QString>
#include <QStringList>

#include <functional>

namespace jex {

class ImportReport;
class TQxSQLConnection;

// The words of one import in its messages.
struct PersonRunWords
{
    QString progress;    // the caption of the progress bar
    QString interrupted; // "Importazione interrotta"
    QString doneBefore;  // "importate": what the persons before the error are
};

// Calls `person` for each code in order, the progress bar counting them.
void forEachPerson(const PersonRunWords &words, const QStringList &persons,
                   const std::function<void(const QString &)> &person);

// `body` in one transaction: committed when it returns, rolled back when it
// throws. An interruption passes through as it is; any other error becomes
// an EQxError that names the person and says that the persons before it stay.
void inPersonTransaction(TQxSQLConnection &conn, const PersonRunWords &words, const QString &surname,
                         const QString &name, const QString &codFis, const std::function<void()> &body);

// The lines added to the report since `start` are put under "Dipendente
// <surname> <name>" and closed by a ruled line; nothing when none was added.
void closePersonLines(ImportReport &report, int start, const QString &surname, const QString &name);

// A whole run: the result of `body`, or false with `error` set to
// "<interrupted>." when the user stopped it or to the error's text.
bool runPersons(const PersonRunWords &words, QString &error, const std::function<bool()> &body);

// For the windows and the commands: the run's error, or its report in the
// information window and "Fine operazione". Returns `ok`.
bool showPersonRunOutcome(bool ok, const QString &error, const ImportReport &report);

} // namespace jex
