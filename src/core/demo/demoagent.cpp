#include "demo/demoagent.h"
#include "sections/sectionstore.h"

#include "demo/demoschool.h"

namespace jex::demo {

void seedAgentDemo(const DemoSchool &school, SectionStore &access)
{
    ClientDataSet agent;
    access.openCds(QStringLiteral("TSOS_DATOSOSTITUTO"), agent);
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
    access.saveCds(QStringLiteral("TSOS_DATOSOSTITUTO"), agent);

    ClientDataSet supplier;
    access.openCds(QStringLiteral("TFOR_FORNITORE"), supplier);
    if (supplier.isEmpty()) {
        supplier.append();
        setField(supplier, "SFORCODFIS", s.codFis);
        setField(supplier, "STFOCODICE", QStringLiteral("01")); // sends its own return
        supplier.post();
        access.saveCds(QStringLiteral("TFOR_FORNITORE"), supplier);
    }
}

} // namespace jex::demo
