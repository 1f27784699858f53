#include "imports/personrun.h"

#include "imports/cud/importreport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/sqlconnection.h"

namespace jex {

void forEachPerson(const PersonRunWords &words, const QStringList &persons,
                   const std::function<void(const QString &)> &person)
{
    const int total = int(persons.size());
    int done = 0;
    messages().progress(words.progress, 0, total);
    for (const QString &cf : persons) {
        person(cf);
        messages().progress(words.progress, ++done, total);
    }
}

void inPersonTransaction(TQxSQLConnection &conn, const PersonRunWords &words, const QString &surname,
                         const QString &name, const QString &codFis, const std::function<void()> &body)
{
    TQxTransaction tr(conn);
    tr.StartTransaction();
    try {
        body();
        tr.Commit();
    } catch (const EAbort &) {
        tr.Rollback();
        throw;
    } catch (const std::exception &e) {
        tr.Rollback();
        throw EQxError(QStringLiteral("%1 su %2 %3 (%4): %5\nI dati di questa persona sono rimasti quelli di prima; "
                                      "le persone precedenti sono state %6.")
                           .arg(words.interrupted, surname, name, codFis, errorText(e), words.doneBefore));
    }
}

void closePersonLines(ImportReport &report, int start, const QString &surname, const QString &name)
{
    if (report.size() <= start)
        return;
    report.insertLine(start, QStringLiteral("Dipendente %1 %2").arg(surname, name));
    report.addLine(QString());
    report.addLine(QString(96, u'-'));
    report.addLine(QString());
}

bool runPersons(const PersonRunWords &words, QString &error, const std::function<bool()> &body)
{
    try {
        return body();
    } catch (const EAbort &) {
        error = words.interrupted + QLatin1Char('.');
    } catch (const std::exception &e) {
        error = errorText(e);
    }
    return false;
}

bool showPersonRunOutcome(bool ok, const QString &error, const ImportReport &report)
{
    if (!ok) {
        messages().error(error);
        return false;
    }
    if (!report.isEmpty())
        messages().showFindings(report.lines(), false);
    messages().warning(QStringLiteral("Fine operazione"));
    return true;
}

} // namespace jex
