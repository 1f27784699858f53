#include "demoagent.h"

#include "demoschool.h"

namespace jex::demo {

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
    setField(agent, "ISOSSEZ", 1);
    setField(agent, "SSOSCODFIS", s.codFis);
    setField(agent, "SSOSDENOM", s.denom);
    setField(agent, "SCOACODICE", s.ateco);
    setField(agent, "SSOSEMAIL", s.email);
    setField(agent, "SSOSTEL", s.tel);
    setField(agent, "SSOSCFDICASTERO", DemoSchool::kMinistryCode);
    setField(agent, "SSOSINDIRIZSL", s.indirizzo);
    setField(agent, "SSOSCOMUNESL", s.comune);
    setField(agent, "SSOSPROVSL", s.prov);
    setField(agent, "SSOSCAPSL", s.cap);
    // Altri soggetti: in normal activity, a public non-economic body, a
    // normal tax period.
    setField(agent, "STSACODICE", QStringLiteral("1"));
    setField(agent, "STSBCODICE", QStringLiteral("14"));
    setField(agent, "STSCCODICE", QStringLiteral("6"));
    // The head teacher signs as legal representative (codice carica 1).
    setField(agent, "SCARCODICE", QStringLiteral("1"));
    setField(agent, "SSOSCFRAPPR", r.codFis);
    setField(agent, "SSOSCOGNRAPPR", r.cognome.toUpper());
    setField(agent, "SSOSNOMERAPPR", r.nome.toUpper());
    setField(agent, "SSOSSESSO", r.sesso);
    setField(agent, "DSOSDTNASRAPPR", r.nascita);
    setField(agent, "SSOSCOMNASRAPPR", r.comuneNascita);
    setField(agent, "SSOSPROVNASRAPPR", r.provNascita);
    setField(agent, "SSOSCOMRESRAPPR", s.comune);
    setField(agent, "SSOSPROVRESRAPPR", s.prov);
    setField(agent, "SSOSDICHIARANTE", QStringLiteral("%1 %2").arg(r.cognome.toUpper(), r.nome.toUpper()));
    // The return holds the withholdings on employees and on self-employed.
    setField(agent, "LSOSDIP", 1);
    setField(agent, "LSOSAUT", 1);
    agent.post();
    access.save(agent, QStringLiteral("TSOS_DATOSOSTITUTO"));

    ClientDataSet supplier;
    access.open(supplier, QStringLiteral("TFOR_FORNITORE"));
    if (supplier.isEmpty()) {
        supplier.append();
        setField(supplier, "SFORCODFIS", s.codFis);
        setField(supplier, "STFOCODICE", QStringLiteral("01")); // sends its own return
        supplier.post();
        access.save(supplier, QStringLiteral("TFOR_FORNITORE"));
    }
}

} // namespace jex::demo
