#include "telematic/returndata.h"

#include "checks/completeness.h"

#include "database/structureservice.h"
#include "sections/databasestore.h"

#include <QDate>

namespace jex {

CompletenessCheck &telematicCompletenessCheck()
{
    static CompletenessCheck check = [](QStringList &lines, const QList<ClientDataSet *> &dataSets, int last) {
        return CheckDataSets(lines, dataSets, last);
    };
    return check;
}

void seedTelematicDemo(TQmrDBCds &service)
{
    DbCdsStore store(&service);
    seedTelematicDemo(store);
}

namespace {

struct Section
{
    SectionStore &access;
    QString table;
    ClientDataSet ds;
    Section(SectionStore &a, const QString &t) : access(a), table(t) { access.openCds(table, ds); }
    void row(const QVariantMap &values)
    {
        ds.append();
        for (auto it = values.begin(); it != values.end(); ++it)
            if (Field *f = ds.findField(it.key()))
                f->setValue(it.value());
        ds.post();
    }
    void save() { access.saveCds(table, ds); }
    bool hasAgentRows(const QString &agent)
    {
        Field *f = ds.findField(QStringLiteral("SSOE7CODICE"));
        if (!f)
            return !ds.isEmpty();
        for (ds.first(); !ds.eof(); ds.next())
            if (f->asString() == agent)
                return true;
        return false;
    }
};

} // namespace

void seedTelematicDemo(SectionStore &access)
{
    const QString est = kDemoExtinctAgent;
    {
        Section s(access, QStringLiteral("TSOE7_SOSESTINTO"));
        if (!s.ds.locate(QStringLiteral("CODICE"), est)) {
            s.row({{"CODICE", est}, {"DENOMINAZI0NE", QStringLiteral("ISTITUTO COMPRENSIVO SOPPRESSO")}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPST_PROSPETTOST"));
        if (!s.hasAgentRows(est)) {
            for (int m = 1; m <= 2; ++m)
                s.row({{"SSOE7CODICE", est}, {"SPSTMESE", QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'))}, {"SPSTANNO", "2024"},
                       {"FPSTRITOPEARTE", 1250.40 * m}, {"FPSTIMPOVERSATO", 1250.40 * m},
                       {"SPSTCODTRIBUTO", "100E"}, {"DPSTDTVERS", QDate(2024, m + 1, 16)}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSV_PROSPETTOSV"));
        if (!s.hasAgentRows(est)) {
            s.row({{"SSOE7CODICE", est}, {"SPSVMESE", "01"}, {"SPSVANNO", "2024"}, {"FPSVTRATTEFF", 85.20},
                   {"FPSVIMPVERS", 85.20}, {"SPSVCODTRIBCAP", "381E"}, {"DPSVDTVERS", QDate(2024, 2, 16)}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSX_PROSPETTOSX"));
        if (s.ds.isEmpty()) {
            s.row({{"FCRECONGCESSRAPP_SX", 420.00}, {"CREUTILF24_SX1", 420.00}, {"CRERISDICH_SX", 150.00},
                   {"CREUTILF24_SX4", 150.00}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY_PROSPETTOSY"));
        if (s.ds.isEmpty()) {
            s.row({{"SPSYDEBPRICODF", "RSSMRA70A01H501S"}, {"SPSYCREPIGCODF", "BNCLGU65B12F205J"},
                   {"FPSYSOMERO", 300.00}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY2_PROSPETTOSY2"));
        if (s.ds.isEmpty()) {
            s.row({{"SPSY2CREPIGCF", "BNCLGU65B12F205J"}, {"FPSYSOMERO1", 300.00}, {"SPSYTIPO1", "A"}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY3_PROSPETTOSY3"));
        if (s.ds.isEmpty()) {
            s.row({{"SPSY3CFBEN", "VRDGPP80C03L219X"}, {"FPSY3AMMBON", 5000.00}, {"FPSY3RITEFF", 550.00}});
            s.row({{"SPSY3CFBEN", "GLLNNA75D44A944J"}, {"FPSY3AMMBON", 2000.00}, {"FPSY3RITEFF", 220.00}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY4_PROSPETTOSY4"));
        if (s.ds.isEmpty()) {
            s.row({{"SSY4DEN", "MUELLER SCHMIDT VON HOHENSTEIN"}, {"SSY4NOME", "JOHANNES"},
                   {"DSY4DNASC", QDate(1968, 5, 21)}, {"SSY4CODFISEST", "DE123456789"},
                   {"SSY4COMEST", "MUENCHEN"}, {"SSY4INDEST", "LEOPOLDSTRASSE 12"}, {"SSY4CODSTEST", "094"},
                   {"SSY4CAUS", "A"}, {"FSY4AMMLORDCORR", 1500.00}, {"FSY4IMPON", 1500.00},
                   {"FSY4RITTITIMP", 450.00}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPDI_PROSPETTODI"));
        if (s.ds.isEmpty()) {
            s.row({{"SPDICODFIS", "80012345676"}, {"SPDINOTA", "A"}, {"SPDIPERIMP", "2023"},
                   {"FPDIMAGCRED", 75.00}});
            s.save();
        }
    }
}

} // namespace jex
