#include "telematic/jexfiledb.h"

#include "foundation/dbcds.h"

#include <QDate>

namespace jex {

SectionAccess dbcdsAccess(TQmrDBCds &service)
{
    SectionAccess a;
    a.open = [&service](ClientDataSet &ds, const QString &table) {
        ds.setFiltered(false);
        ds.setFilter(QString());
        ds.setIndexFieldNames(QString());
        service.OpenCds(ds, table);
    };
    a.save = [&service](ClientDataSet &ds, const QString &table) {
        const QString filter = ds.filter();
        const bool filtered = ds.isFiltered();
        service.SaveCds(ds, table);
        ds.setFilter(filter);
        ds.setFiltered(filtered);
    };
    return a;
}

CompletenessCheck &telematicCompletenessCheck()
{
    static CompletenessCheck check;
    return check;
}

void seedTelematicDemo(TQmrDBCds &service)
{
    seedTelematicDemo(dbcdsAccess(service));
}

namespace {

struct Section
{
    const SectionAccess &access;
    QString table;
    ClientDataSet ds;
    Section(const SectionAccess &a, const QString &t) : access(a), table(t) { access.open(ds, table); }
    void row(const QVariantMap &values)
    {
        ds.append();
        for (auto it = values.begin(); it != values.end(); ++it)
            if (Field *f = ds.findField(it.key()))
                f->setValue(it.value());
        ds.post();
    }
    void save() { access.save(ds, table); }
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

void seedTelematicDemo(const SectionAccess &access)
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
            s.row({{"SPSYDEBPRICODF", "RSSMRA70A01H501S"}, {"SPSYCREPIGCODF", "BNCLGU65B12F205X"},
                   {"FPSYSOMERO", 300.00}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY2_PROSPETTOSY2"));
        if (s.ds.isEmpty()) {
            s.row({{"SPSY2CREPIGCF", "BNCLGU65B12F205X"}, {"FPSYSOMERO1", 300.00}, {"SPSYTIPO1", "A"}});
            s.save();
        }
    }
    {
        Section s(access, QStringLiteral("TPSY3_PROSPETTOSY3"));
        if (s.ds.isEmpty()) {
            s.row({{"SPSY3CFBEN", "VRDGPP80C03L219K"}, {"FPSY3AMMBON", 5000.00}, {"FPSY3RITEFF", 550.00}});
            s.row({{"SPSY3CFBEN", "GLLNNA75D44A944P"}, {"FPSY3AMMBON", 2000.00}, {"FPSY3RITEFF", 220.00}});
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
            s.row({{"SPDICODFIS", "80012345678"}, {"SPDINOTA", "A"}, {"SPDIPERIMP", "2023"},
                   {"FPDIMAGCRED", 75.00}});
            s.save();
        }
    }
}

} // namespace jex
