#include "demo/demorecipients.h"
#include "sections/sectionstore.h"

#include "demo/demoschool.h"

#include <QHash>
#include <QSet>

namespace jex::demo {
namespace {

// The certification columns are named like the return's: type letter, "CUD",
// then the field word that follows the return column's prefix
// (FFIS7REDDDETR <- FCUDREDDDETR, fInps7Imponibile <- FCUDIMPONIBILE).
QString sourceName(const QString &target, const QStringList &prefixes)
{
    const QString upper = target.toUpper();
    for (const QString &p : prefixes)
        if (upper.mid(1).startsWith(p))
            return upper.left(1) + QStringLiteral("CUD") + upper.mid(1 + p.size());
    return {};
}

// Copies one certification row into the current (appended) return row.
void copyRow(const ClientDataSet &from, ClientDataSet &to, const QStringList &prefixes,
             const QHash<QString, QString> &extra)
{
    for (int i = 0; i < to.fieldCount(); ++i) {
        Field *target = to.field(i);
        const QString name = target->name();
        QString source = extra.value(name.toUpper());
        if (source.isEmpty())
            source = sourceName(name, prefixes);
        Field *f = source.isEmpty() ? nullptr : from.findField(source);
        if (!f || f->isNull())
            continue;
        if (f->isText() && !target->isText() && !target->isDate()) {
            // Certification flags are "X"; the return stores them as numbers.
            const QString mark = f->asString().trimmed();
            if (mark == QLatin1String("X") || mark == QLatin1String("1"))
                target->setValue(1);
            else if (!mark.isEmpty())
                target->setAsString(mark);
        } else {
            target->setValue(f->value());
        }
    }
}

class Transfer
{
public:
    Transfer(const DemoSchool &school, SectionStore &access) : m_school(school), m_access(access) {}

    void run()
    {
        ClientDataSet people;
        m_access.openCds(QStringLiteral("TDIP7_ANAGRFISCALI"), people);
        if (!people.isEmpty())
            return; // recipients already there: the demo never overwrites them
        ClientDataSet autonomi;
        m_access.openCds(QStringLiteral("TDAU7_DATIAUTONOM"), autonomi);

        QSet<QString> selfEmployed;
        ClientDataSet &ase = m_school.table(QStringLiteral("TASE_AUTSOMMEEROGATE"));
        for (ase.first(); !ase.eof(); ase.next())
            selfEmployed.insert(ase.fieldByName(QStringLiteral("SCUDCODFIS"))->asString());

        ClientDataSet &cud = m_school.table(QStringLiteral("TCUD_DATICUD"));
        int employee = 0;
        for (cud.first(); !cud.eof(); cud.next()) {
            const QString cf = cud.fieldByName(QStringLiteral("SCUDCODFIS"))->asString();
            if (selfEmployed.contains(cf)) {
                autonomi.append();
                copyRow(cud, autonomi, {QStringLiteral("DAU7")},
                        {{QStringLiteral("SDAU7INDIRIZZZO"), QStringLiteral("SCUDINDIRIZZO")}});
                autonomi.fieldByName(QStringLiteral("SDAU7GRUPPOANA"))->setAsString(QStringLiteral("A"));
                autonomi.post();
            } else {
                people.append();
                copyRow(cud, people, {QStringLiteral("DIP7"), QStringLiteral("FIS7")},
                        {{QStringLiteral("SCAP7CODICE"), QStringLiteral("SCUDCATPART")}});
                if (Field *g = people.findField(QStringLiteral("SDIP7GRUPPOANA")))
                    g->setAsString(QStringLiteral("D"));
                people.post();
                if (employee++ % 7 == 2)
                    m_arrears.append(cf);
            }
        }
        m_access.saveCds(QStringLiteral("TDIP7_ANAGRFISCALI"), people);
        m_access.saveCds(QStringLiteral("TDAU7_DATIAUTONOM"), autonomi);
        // The section rows belong to their person by the registry link the
        // store gave each record, as the windows and the import file them.
        remember(people, QStringLiteral("SDIP7CODFIS"));
        remember(autonomi, QStringLiteral("SDAU7CODFIS"));

        copyTable(QStringLiteral("TCUDI_INPS"), QStringLiteral("TINPS7_INPS"), {QStringLiteral("INPS7")});
        copyTable(QStringLiteral("TCUDN_INPDAP"), QStringLiteral("TINP7_INPDAP"),
                  {QStringLiteral("INPDAP7"), QStringLiteral("INP7")});
        copyTable(QStringLiteral("TASE_AUTSOMMEEROGATE"), QStringLiteral("TDSE7_SOMMEEROGATE"), {QStringLiteral("DSE7")},
                  {{QStringLiteral("SCAUCODICE"), QStringLiteral("SCUDCAUSALE")},
                   {QStringLiteral("SDAU7CODFIS"), QStringLiteral("SCUDCODFIS")}});
        separateTaxation();
    }

private:
    void remember(ClientDataSet &persons, const QString &codFis)
    {
        for (persons.first(); !persons.eof(); persons.next())
            if (const qint64 afi = persons.fieldByName(QStringLiteral("IAFIID"))->asInteger())
                m_links.insert(persons.fieldByName(codFis)->asString(), afi);
    }

    void link(ClientDataSet &row, const QString &codFis)
    {
        const Field *cf = row.findField(codFis);
        if (const qint64 afi = cf ? m_links.value(cf->asString()) : 0)
            row.fieldByName(QStringLiteral("IAFIID"))->setValue(afi);
    }

    void copyTable(const QString &from, const QString &to, const QStringList &prefixes,
                   const QHash<QString, QString> &extra = {})
    {
        ClientDataSet &source = m_school.table(from);
        QHash<QString, QString> names = extra;
        names.insert(QStringLiteral("SDIP7CODFIS"), QStringLiteral("SCUDCODFIS"));
        ClientDataSet target;
        m_access.openCds(to, target);
        for (source.first(); !source.eof(); source.next()) {
            target.append();
            copyRow(source, target, prefixes, names);
            link(target, target.hasField(QStringLiteral("SDIP7CODFIS")) ? QStringLiteral("SDIP7CODFIS")
                                                                         : QStringLiteral("SDAU7CODFIS"));
            target.post();
        }
        m_access.saveCds(to, target);
    }

    // Arrears of earlier years taxed separately, for a few employees: the
    // rows of the separate-taxation summary.
    void separateTaxation()
    {
        ClientDataSet tas;
        m_access.openCds(QStringLiteral("TTAS7_TASSAZIONESE"), tas);
        int n = 0;
        for (const QString &cf : std::as_const(m_arrears)) {
            const int years = 1 + n % 2;
            for (int y = 0; y < years; ++y) {
                const double amount = 420.0 + 137.35 * ((n + y) % 5);
                tas.append();
                tas.fieldByName(QStringLiteral("SDIP7CODFIS"))->setAsString(cf);
                link(tas, QStringLiteral("SDIP7CODFIS"));
                tas.fieldByName(QStringLiteral("STAS7PERIODOIMP"))->setAsString(QString::number(2022 + y));
                tas.fieldByName(QStringLiteral("FTAS7COMPARRDETR"))->setAsFloat(amount);
                tas.fieldByName(QStringLiteral("FTAS7RITOPERATE"))->setAsFloat(qRound(amount * 23.0) / 100.0);
                tas.post();
            }
            ++n;
        }
        m_access.saveCds(QStringLiteral("TTAS7_TASSAZIONESE"), tas);
    }

    const DemoSchool &m_school;
    SectionStore &m_access;
    QStringList m_arrears;
    QHash<QString, qint64> m_links; // codice fiscale -> registry link
};

} // namespace

void seedRecipientsDemo(const DemoSchool &school, SectionStore &access)
{
    Transfer(school, access).run();
}

} // namespace jex::demo
