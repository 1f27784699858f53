#include "demoagent.h"

#include "demoschool.h"

namespace jex::demo {
namespace {

void set(ClientDataSet &ds, const char *field, const QVariant &value)
{
    if (Field *f = ds.findField(QString::fromLatin1(field)))
        f->setValue(value);
}

} // namespace

void seedAgentDemo(const DemoSchool &school, const SectionAccess &access)
{
    ClientDataSet agent;
    access.open(agent, QStringLiteral("TSOS_DATOSOSTITUTO"));
    if (!agent.isEmpty())
        return;
    const Seat &s = school.seat;
    const Representative &r = school.dirigente;
    agent.append();
    // Check boxes of a new record start unticked.
    for (int i = 0; i < agent.fieldCount(); ++i)
        if (Field *f = agent.field(i); f->name().startsWith(u'L') && f->type() == FieldType::Integer)
            f->setValue(0);
    set(agent, "ISOSSEZ", 1);
    set(agent, "SSOSCODFIS", s.codFis);
    set(agent, "SSOSDENOM", s.denom);
    set(agent, "SCOACODICE", s.ateco);
    set(agent, "SSOSEMAIL", s.email);
    set(agent, "SSOSTEL", s.tel);
    set(agent, "SSOSCFDICASTERO", DemoSchool::kMinistryCode);
    set(agent, "SSOSINDIRIZSL", s.indirizzo);
    set(agent, "SSOSCOMUNESL", s.comune);
    set(agent, "SSOSPROVSL", s.prov);
    set(agent, "SSOSCAPSL", s.cap);
    // Altri soggetti: in normal activity, a public non-economic body, a
    // normal tax period.
    set(agent, "STSACODICE", QStringLiteral("1"));
    set(agent, "STSBCODICE", QStringLiteral("14"));
    set(agent, "STSCCODICE", QStringLiteral("6"));
    // The head teacher signs as legal representative (codice carica 1).
    set(agent, "SCARCODICE", QStringLiteral("1"));
    set(agent, "SSOSCFRAPPR", r.codFis);
    set(agent, "SSOSCOGNRAPPR", r.cognome.toUpper());
    set(agent, "SSOSNOMERAPPR", r.nome.toUpper());
    set(agent, "SSOSSESSO", r.sesso);
    set(agent, "DSOSDTNASRAPPR", r.nascita);
    set(agent, "SSOSCOMNASRAPPR", r.comuneNascita);
    set(agent, "SSOSPROVNASRAPPR", r.provNascita);
    set(agent, "SSOSCOMRESRAPPR", s.comune);
    set(agent, "SSOSPROVRESRAPPR", s.prov);
    set(agent, "SSOSDICHIARANTE", QStringLiteral("%1 %2").arg(r.cognome.toUpper(), r.nome.toUpper()));
    // The return holds the withholdings on employees and on self-employed.
    set(agent, "LSOSDIP", 1);
    set(agent, "LSOSAUT", 1);
    agent.post();
    access.save(agent, QStringLiteral("TSOS_DATOSOSTITUTO"));

    ClientDataSet supplier;
    access.open(supplier, QStringLiteral("TFOR_FORNITORE"));
    if (supplier.isEmpty()) {
        supplier.append();
        set(supplier, "SFORCODFIS", s.codFis);
        set(supplier, "STFOCODICE", QStringLiteral("01")); // sends its own return
        supplier.post();
        access.save(supplier, QStringLiteral("TFOR_FORNITORE"));
    }
}

} // namespace jex::demo
