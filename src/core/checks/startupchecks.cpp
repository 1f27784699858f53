#include "checks/startupchecks.h"
#include "registration.h"

#include "sections/databasestore.h"
#include "sections/sectionstore.h"

#include "base/appcontext.h"
#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"

#include <QDir>
#include <QFile>

namespace jex {

namespace startup {

const char *const statusText =
    "  Provvedimento dell'Agenzia delle Entrate del 24 febbraio 2025 (Pubblicato il 24/02/2025) e successive modifiche.";
const char *const carryOverMessage =
    "E' stata eseguita l'importazione automatica dall'anno precedente dei dati del \"Fornitore\", "
    "\"Altri soggetti\" e \"Rappresentante firmatario\" nella sezione \"Sostituto\". \n\r"
    "Si consiglia di controllare la correttezza dei dati.";
const char *const fillMessage =
    "E' stata eseguita l'importazione automatica dai compensi e dal CUD dei dati del \"Sostituto\". \n\r"
    "Si consiglia di controllare la correttezza dei dati.";

static const QString kSostituto = QStringLiteral("TSOS_DATOSOSTITUTO");
static const QString kFornitore = QStringLiteral("TFOR_FORNITORE");

QStringList startingDataFiles()
{
    return {QStringLiteral("TFIFI_FIELDSFILE.CDS"), QStringLiteral("TFILE_FILETELEM.CDS")};
}

void checkDataDirectory(const QString &initialDir, const QString &dataDir)
{
    if (QDir(dataDir).exists())
        return;
    QDir().mkpath(dataDir);
    for (const QString &name : startingDataFiles()) {
        const QString target = QDir(dataDir).filePath(name);
        const QString source = Paths::resolveIn(initialDir.endsWith(u'/') ? initialDir : initialDir + u'/', name);
        if (!QFile::copy(source, target))
            messages().error(QStringLiteral("Errore nella creazione dei dati di partenza: %1").arg(name));
    }
}

QStringList carryOverResetFlags()
{
    return QStringLiteral(
               "LSOSCORRETTIVA LSOSINTEGRATIVA LSOSAVVISO LSOSAVVISORIC LSOSSS LSOSST LSOSSX LSOSSY "
               "LSOSORD LSOSDICHCONTRIB LSOSCONFERMADICH LSOSSV LSOSDIP LSOSAUT LSOSATTEST LSOSDI "
               "LSOSALTRIT LSOSCAP LSOSLOCBRV LGESDIP1 LGESAUT1 LGESCAP1 LGESLOCBRV1 LGESALTRIT1 "
               "LGESDIP2 LGESAUT2 LGESCAP2 LGESLOCBRV2 LGESALTRIT2 LSOSCASIPART LSOSINCGESSEP "
               "LGESCFSOS1 LGESCFSOS2")
        .split(u' ');
}

QStringList newRecordFlags()
{
    return QStringLiteral(
               "LSOSCORRETTIVA LSOSINTEGRATIVA LSOSEVECCEZ LSOSAVVISO LSOSAVVISORIC LSOSSS LSOSST "
               "LSOSSX LSOSSY LSOSDICHCONTRIB LSOSDICHNOCONTRIB LSOSVISTO LSOSCONFERMADICH LSOSSSPARZ "
               "LSOSSTPARZ LSOSSVPARZ LSOSSXPARZ LSOSSYPARZ LSOSORD LSOSPREAVTELE LSOSSV LSOSDI "
               "LSOSCASIPART LSOSINCGESSEP LGESCFSOS1 LGESCFSOS2")
        .split(u' ');
}

namespace {

void setIfPresent(ClientDataSet &ds, const QString &field, const QVariant &value)
{
    if (Field *f = ds.findField(field))
        f->setValue(value);
}

// The reference period of last year's return must not reach this year's.
void copyRecord(ClientDataSet &source, ClientDataSet &target)
{
    static const QStringList skipped{QStringLiteral("SSOSMESESL"), QStringLiteral("SSOSANNOSL"),
                                     QStringLiteral("SSOSMESEDF"), QStringLiteral("SSOSANNODF")};
    const bool hasSource = source.isActive() && !source.isEmpty();
    target.append();
    for (int i = 0; i < target.fieldCount(); ++i) {
        Field *t = target.field(i);
        if (skipped.contains(t->name(), Qt::CaseInsensitive))
            continue;
        if (!hasSource)
            continue;
        if (Field *s = source.findField(t->name()))
            t->setValue(s->value());
    }
    target.post();
}

// Last year's section. A database started with this edition has no
// structure for last year: that is last year without data, and the
// carry-over then writes its record of nulls, as for an empty year.
void openPreviousYear(SectionStore &store, const QString &section, ClientDataSet &ds)
{
    try {
        store.openCdsPeriod(section, ds, 0, store.year() - 1);
    } catch (const EQxError &e) {
        if (!e.message().startsWith(QStringLiteral("Impossibile trovare il ClientDataSet")))
            throw;
        ds.close();
    }
}

void carryOver(SectionStore &store, ClientDataSet &sostituto)
{
    ClientDataSet previous;
    openPreviousYear(store, kSostituto, previous);
    store.openCds(kSostituto, sostituto);
    copyRecord(previous, sostituto);
    sostituto.edit();
    setIfPresent(sostituto, QStringLiteral("ISOSSEZ"), 1);
    for (const QString &flag : carryOverResetFlags())
        setIfPresent(sostituto, flag, 0);
    sostituto.post();
    store.saveCds(kSostituto, sostituto);

    ClientDataSet fornitore;
    store.openCds(kFornitore, fornitore);
    if (fornitore.isEmpty()) {
        ClientDataSet previousFor;
        openPreviousYear(store, kFornitore, previousFor);
        copyRecord(previousFor, fornitore);
        store.saveCds(kFornitore, fornitore);
    }
    messages().information(QString::fromUtf8(carryOverMessage));
}

QString textOf(ClientDataSet &ds, const QString &field)
{
    if (!ds.isActive() || ds.isEmpty())
        return {};
    Field *f = ds.findField(field);
    return f ? f->asString() : QString();
}

void fillFromPayroll(SectionStore &store, CertificationSource *certification, ClientDataSet &sostituto)
{
    if (sostituto.isEmpty()) {
        sostituto.append();
        for (const QString &flag : newRecordFlags())
            setIfPresent(sostituto, flag, QStringLiteral("0"));
        setIfPresent(sostituto, QStringLiteral("ISOSSEZ"), 1);
    } else {
        sostituto.first();
        sostituto.edit();
    }
    QString code = certification ? certification->schoolFiscalCode() : QString();
    ClientDataSet cus;
    if (certification)
        certification->openCertificationTable(QStringLiteral("TCUS_DATISOST"), cus);
    const QString cusCode = textOf(cus, QStringLiteral("SSOSCODFIS"));
    if (!cusCode.isEmpty()) {
        if (cusCode != code)
            messages().warning(
                QStringLiteral("Codice fiscale della scuola (%1) non congruente con quello presente nel CUD (%2). Verrà importato %1")
                    .arg(code, cusCode));
        else
            code = cusCode;
    }
    setIfPresent(sostituto, QStringLiteral("SSOSCODFIS"), code.isEmpty() ? QVariant() : QVariant(code));
    static const QList<QPair<QString, QString>> map{
        {QStringLiteral("SSOSDENOM"), QStringLiteral("SSOSDENOM")},
        {QStringLiteral("SSOSCOMUNESL"), QStringLiteral("SSOSCOMUNE")},
        {QStringLiteral("SSOSPROVSL"), QStringLiteral("SSOSPROV")},
        {QStringLiteral("SSOSCAPSL"), QStringLiteral("SSOSCAP")},
        {QStringLiteral("SSOSINDIRIZSL"), QStringLiteral("SSOSINDIRIZZO")},
        {QStringLiteral("SSOSEMAIL"), QStringLiteral("SSOSEMAIL")},
        {QStringLiteral("SCOACODICE"), QStringLiteral("SSOSCODATTIVITA")},
    };
    const bool haveCus = cus.isActive() && !cus.isEmpty();
    for (const auto &m : map) {
        Field *src = haveCus ? cus.findField(m.second) : nullptr;
        setIfPresent(sostituto, m.first, src ? src->value() : QVariant());
    }
    sostituto.post();
    if (!code.isEmpty())
        messages().information(QString::fromUtf8(fillMessage));
    store.saveCds(kSostituto, sostituto);
}

} // namespace

void checkSostituto(SectionStore &store, CertificationSource *certification)
{
    ClientDataSet sostituto;
    store.openCds(kSostituto, sostituto);
    if (sostituto.isEmpty())
        carryOver(store, sostituto);
    store.openCds(kSostituto, sostituto);
    sostituto.first();
    if (sostituto.isEmpty() || textOf(sostituto, QStringLiteral("SSOSCODFIS")).trimmed().isEmpty())
        fillFromPayroll(store, certification, sostituto);
}

} // namespace startup

void registerStartupChecks(Registry &registry)
{
    registry.startup.addStartupStep({100, QStringLiteral("Cartella dei dati"), [] {
        startup::checkDataDirectory(Paths::initialDbDir(), Paths::dataDir());
        return true;
    }});
    registry.startup.addStartupStep({110, QStringLiteral("Sostituto"), [] {
        SectionStore &store = currentStore();
        CertificationSource *certification = certificationSource();
        startup::checkSostituto(store,
                                certification ? certification : &applicationCertification());
        return true;
    }});
}


} // namespace jex
