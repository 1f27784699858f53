#include "demo/demoagent.h"

#include "demo/demoschool.h"

namespace jex::demo {

void seedAgentDemo(const DemoSchool &school, const SectionAccess &access)
{
    ClientDataSet agent;
    access.open(agent, QStringLiteral("TSOS_DATOSOSTITUTO"));
    if (!agent.isEmpty())
        return;
    const Seat &s = school.seat;
    ClientDataSet &cus = school.table(QStringLiteral("TCUS_DATISOST"));
    cus.first();
    agent.append();
    for (int i = 0; i < agent.fieldCount(); ++i) {
        Field *f = agent.field(i);
        const bool rowKey = f->name() == u"IAFIID" || f->name() == u"IFISRIGO";
        if (const Field *from = cus.findField(f->name()); from && !from->isNull() && !rowKey)
            f->setValue(from->value()); // the certifying agent's data, representative included
        else if (f->name().startsWith(u'L') && f->type() == FieldType::Integer)
            f->setValue(0); // check boxes of a new record start unticked
    }
    setField(agent, "ISOSSEZ", 1);
    setField(agent, "SCOACODICE", s.ateco);
    setField(agent, "SSOSINDIRIZSL", s.indirizzo);
    setField(agent, "SSOSCOMUNESL", s.comune);
    setField(agent, "SSOSPROVSL", s.prov);
    setField(agent, "SSOSCAPSL", s.cap);
    // Altri soggetti: in normal activity, a public non-economic body, a
    // normal tax period.
    setField(agent, "STSACODICE", QStringLiteral("1"));
    setField(agent, "STSBCODICE", QStringLiteral("14"));
    setField(agent, "STSCCODICE", QStringLiteral("6"));
    // The head teacher lives where the school is and signs the return.
    const Representative &r = school.dirigente;
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
