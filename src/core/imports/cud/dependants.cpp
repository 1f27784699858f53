// The dependants declared for deductions in the payroll, written into the
// dependants' section of employees whose certification brought none.

#include "imports/cud/completionsupport.h"
#include "imports/cud/importreport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/money.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QHash>
#include <algorithm>

namespace jex {
namespace {

const QString kFamiliari = QStringLiteral("TCFC7_CONFAMCARICO");
const QString kHeader = QStringLiteral("**** IMPORTAZIONE DATI FAMILIARI A CARICO PER DETRAZIONI ****");

// One child merged from its payroll periods.
struct Child
{
    QString codFis;
    int ordine = 0;
    qint64 perc = 0; // ten-thousandths of a percent point
    int handicap = 0;
    int affido100 = 0;
    int months = 0;
    int monthsUnder3 = 0;
};

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// A percentage as the dependants' page writes it in a text column: "50", "12,5".
QString percentText(qint64 perc)
{
    QString s = QString::number(TQmrCalcola::toDouble(perc), 'f', 4);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s.replace(QLatin1Char('.'), QLatin1Char(','));
}

bool flagSet(ClientDataSet &ds, const char *field) { return fieldOf(ds, field)->asInteger() == 1; }

// The writing of one person's dependants on the section's rows of that person
// (the dataset filtered on the person).
class DependantsWriter
{
public:
    DependantsWriter(ClientDataSet &fam, const QString &codFis, const QVariant &afiId,
                     std::function<void(const QString &)> message)
        : m_fam(fam), m_codFis(codFis), m_afiId(afiId), m_message(std::move(message))
    {
    }

    void spouse(const QSqlRecord &row)
    {
        newRecord();
        fieldOf(m_fam, "LCFC7RELPARCON")->setAsInteger(1);
        const QString cf = textOf(row, "SADETCFCONCAR");
        if (cf.isEmpty())
            m_message(QStringLiteral("Codice fiscale coniuge mancante"));
        fieldOf(m_fam, "SCFC7CODFISCON")->setAsString(cf);
        fieldOf(m_fam, "SCFC7MESICARCON")->setAsString(QStringLiteral("12"));
        fieldOf(m_fam, "SCFC7DTANNOCONIUGE")->setAsString(textOf(row, "IANFVALORE"));
        m_fam.post();
    }

    void child(const Child &c, bool first, const QString &year)
    {
        if (c.months == 0) {
            m_message(QStringLiteral("Figlio (codice fiscale %1): nessun mese a carico.").arg(c.codFis));
            return;
        }
        // A record whose child place is taken gets no second child: a new
        // record follows it.
        if (m_fam.isEmpty() || (first ? firstChildTaken() : otherChildTaken()))
            newRecord();
        else
            m_fam.edit();
        const char *rel = first ? "LCFC7RELPARPRIFIGL" : "LCFC7RELPARFIGL";
        fieldOf(m_fam, rel)->setAsInteger(c.handicap != 0 ? 0 : 1);
        fieldOf(m_fam, first ? "LCFC7RELPARPRIFIGLDIS" : "LCFC7RELPARFIGLDIS")->setAsInteger(c.handicap);
        fieldOf(m_fam, first ? "SCFC7CODFISPRIFIGL" : "SCFC7CODFISFIGL")->setAsString(c.codFis);
        fieldOf(m_fam, first ? "SCFC7MESICARPRIFIGL" : "SCFC7MESICARFIGL")->setAsString(twoDigits(c.months));
        if (c.monthsUnder3 > 0)
            fieldOf(m_fam, first ? "SCFC7MINTREANNPRIFIGL" : "SCFC7MINTREANNFIGL")->setAsString(twoDigits(c.monthsUnder3));
        if (c.perc > 0) {
            if (first)
                fieldOf(m_fam, "SCFC7DETRSPETTPRIFIGL")->setAsString(percentText(c.perc));
            else
                setMoney(m_fam, "FCFC7DETRSPETTFIGL", TQmrCalcola::RoundCurr(0, c.perc));
        }
        if (!first && c.affido100 > 0)
            fieldOf(m_fam, "LCFC7DET100AFFFIGL")->setAsInteger(c.affido100);
        fieldOf(m_fam, first ? "SCFC7DTANNOPRIFIGL" : "SCFC7DTANNOFIGL")->setAsString(year);
        m_fam.post();
    }

    // Another dependant goes into the first record whose place of "other
    // child" is free, else into a new record.
    void other(const QString &cf, qint64 perc, const QString &year)
    {
        bool found = false;
        for (m_fam.first(); !m_fam.eof(); m_fam.next())
            if (!otherChildTaken()) {
                found = true;
                break;
            }
        if (found)
            m_fam.edit();
        else
            newRecord();
        fieldOf(m_fam, "LCFC7RELPARFIGL")->setAsInteger(0);
        fieldOf(m_fam, "LCFC7RELPARFIGLALTRFAM")->setAsInteger(1);
        fieldOf(m_fam, "SCFC7CODFISFIGL")->setAsString(cf);
        fieldOf(m_fam, "SCFC7MESICARFIGL")->setAsString(QStringLiteral("12"));
        if (perc > 0)
            setMoney(m_fam, "FCFC7DETRSPETTFIGL", perc);
        fieldOf(m_fam, "SCFC7DTANNOFIGL")->setAsString(year);
        m_fam.post();
    }

private:
    bool firstChildTaken()
    {
        return flagSet(m_fam, "LCFC7RELPARPRIFIGL") || flagSet(m_fam, "LCFC7RELPARPRIFIGLDIS")
               || !text(m_fam, "SCFC7CODFISPRIFIGL").isEmpty();
    }
    bool otherChildTaken()
    {
        return flagSet(m_fam, "LCFC7RELPARFIGL") || flagSet(m_fam, "LCFC7RELPARFIGLALTRFAM")
               || flagSet(m_fam, "LCFC7RELPARFIGLDIS") || !text(m_fam, "SCFC7CODFISFIGL").isEmpty();
    }

    void newRecord()
    {
        m_fam.append();
        fieldOf(m_fam, "SDIP7CODFIS")->setAsString(m_codFis);
        fieldOf(m_fam, "IAFIID")->setValue(m_afiId);
        for (const char *flag : {"LCFC7RELPARCON", "LCFC7RELPARPRIFIGL", "LCFC7RELPARFIGL", "LCFC7RELPARFIGLALTRFAM",
                                 "LCFC7RELPARPRIFIGLDIS", "LCFC7RELPARFIGLDIS", "LCFC7DET100AFFPRIFIGL",
                                 "LCFC7DET100AFFFIGL"})
            fieldOf(m_fam, flag)->setAsInteger(0);
    }

    ClientDataSet &m_fam;
    QString m_codFis;
    QVariant m_afiId;
    std::function<void(const QString &)> m_message;
};

// The children of a person's rows (ordered by child number and first
// month), one entry per codice fiscale with the months of its periods.
QVector<Child> mergeChildren(const QVector<QSqlRecord> &rows, const std::function<void(const QString &)> &message)
{
    QVector<Child> children;
    for (const QSqlRecord &r : rows) {
        const QString cf = textOf(r, "SADEFCODFISC").toUpper();
        if (cf.isEmpty()) {
            message(QStringLiteral("Figlio nr %1: codice fiscale non impostato.").arg(intOf(r, "IADEFORDINE")));
            continue;
        }
        auto it = std::find_if(children.begin(), children.end(), [&](const Child &c) { return c.codFis == cf; });
        if (it == children.end()) {
            Child c;
            c.codFis = cf;
            c.ordine = intOf(r, "IADEFORDINE");
            c.perc = moneyOf(r, "FDEFPERC");
            c.handicap = intOf(r, "LADEFHANDYCAP");
            c.affido100 = intOf(r, "LADEFAFFIDO100");
            children.append(c);
            it = children.end() - 1;
        }
        if (intOf(r, "MESI_CARICO") > 0)
            it->months = std::min(12, it->months + intOf(r, "MESI_CARICO"));
        if (intOf(r, "MESI_MIN3") > 0)
            it->monthsUnder3 = std::min(12, it->monthsUnder3 + intOf(r, "MESI_MIN3"));
    }
    return children;
}

void importPerson(ClientDataSet &fam, const QString &codFis, const QVariant &afiId, const QVector<QSqlRecord> &rows,
                  const std::function<void(const QString &)> &message)
{
    const QSqlRecord &head = rows.first();
    const QString year = textOf(head, "IANFVALORE");
    DependantsWriter writer(fam, codFis, afiId, message);
    if (intOf(head, "LADETCONCAR") == 1)
        writer.spouse(head);

    if (head.value(QStringLiteral("IADEFID")).isNull()) {
        if (intOf(head, "IADETFIGLI") > 0)
            message(QStringLiteral("Dati relativi ai figli a carico non importati. \r\nNon inseriti nel CUD o sezione "
                                   "casi particolari delle detrazioni non impostate nei dati retributivi."));
    } else {
        for (const Child &c : mergeChildren(rows, message))
            writer.child(c, c.ordine == 1, year);
    }

    const int others = intOf(head, "IADETALTRI");
    const QString altri[] = {textOf(head, "SADETCFALTRICAR1").toUpper(), textOf(head, "SADETCFALTRICAR2").toUpper()};
    if (others < 1) {
        // Codes of other dependants without their number: the settings are incomplete.
        if (!altri[0].isEmpty() || !altri[1].isEmpty())
            message(QStringLiteral("Dati degli altri familiari a carico: manca la percentuale di detrazione"));
        return;
    }
    int written = 0;
    for (const QString &cf : altri) {
        if (cf.isEmpty())
            continue;
        writer.other(cf, moneyOf(head, "FADETPERCALTRI"), year);
        ++written;
    }
    if (written < others)
        message(QStringLiteral("Dati degli altri familiari a carico non importati correttamente"));
}

} // namespace

void PayrollCompletion::importDependants(const QStringList &codFis)
{
    const QString caption = QStringLiteral("Importazione dati dei familiari a carico ...");
    showPhase(caption);
    auto write = [&](const PersonName *who, const QString &text) {
        m_ctx.report->addPhaseHeader(kHeader);
        if (who) {
            m_ctx.report->setPerson(who->surname, who->name);
            m_ctx.report->addMessage(text);
        } else {
            m_ctx.report->addLine(QString());
            m_ctx.report->addLine(QStringLiteral("-  ") + text);
        }
    };
    try {
        QHash<QString, QVector<QSqlRecord>> settings; // the year's rows by person, in the query's order
        for (const QSqlRecord &r : archiveRows(*m_ctx.conn, QStringLiteral("QRY_JEX_ADET"),
                                               {{QStringLiteral("IANFID"), m_ctx.yearId},
                                                {QStringLiteral("IANFID_P"), m_ctx.yearId - 1}}))
            if (intOf(r, "IANFID") == m_ctx.yearId)
                settings[textOf(r, "SANACODFISCALE").toUpper()].append(r);

        PersonTable &employees = this->employees();
        PersonTable dependants;
        openByPerson(dependants, *m_ctx.store, kFamiliari);
        ClientDataSet &dip = employees.ds;
        ClientDataSet &fam = dependants.ds;
        forEachEmployee(employees, codFis, caption, [&](const QString &cf) {
            if (money(dip, "FFIS7DEDUZFAM") <= 0)
                return;
            const PersonName who = personOf(dip);
            auto message = [&](const QString &text) { write(&who, text); };
            try {
                const QVariant afiId = dip.fieldByName(QStringLiteral("IAFIID"))->value();
                if (afiId.toLongLong() < 1)
                    throw EQxError(QStringLiteral("Il dipendente %1 non ha un identificativo anagrafico (IAFIID).")
                                       .arg(cf));
                dependants.load(cf);
                const auto rows = settings.constFind(cf.toUpper());
                // Dependants that came with the certification are never replaced.
                if (!fam.isEmpty() || rows == settings.constEnd())
                    return;
                importPerson(fam, cf, afiId, *rows, message);
                m_ctx.store->saveCds(kFamiliari, fam);
            } catch (const std::exception &e) {
                if (fam.isEditing())
                    fam.cancel();
                fam.cancelUpdates();
                message(QStringLiteral("Impossibile importare i dati dei familiari a carico.\r\nErrore non previsto:\r\n")
                        + errorText(e));
            }
        });
    } catch (const std::exception &e) {
        write(nullptr, QStringLiteral("Importazione dati dei familiari a carico interrotta in maniera anomala.\r\n")
                           + errorText(e));
    }
}

} // namespace jex
