#include "checks/tablerules.h"
#include "checks/recipientrules.h"
#include "registration.h"

#include "catalogue/catalogue.h"

#include "dataset/dataset.h"
#include "base/errors.h"
#include "sections/transfer.h"
#include "sections/sectionstore.h"

namespace jex::prosp {

namespace {
const QString persFisica = QStringLiteral("LSOSPERSFISICA");
const QString incomeYear = QStringLiteral("2024");
const QString previousYear = QStringLiteral("2023");
} // namespace

QStringList tipoSostitutoHidden(const QString &type)
{
    const QString t = type.trimmed();
    if (t == u"1")
        return {QStringLiteral("SSOSDOMNOTUFFICIO")};
    if (t == u"0")
        return {QStringLiteral("SSOSDOMNOTCOGNOME"), QStringLiteral("SSOSDOMNOTNOME")};
    return {};
}

QStringList applyTipoSostituto(ClientDataSet &sostituto)
{
    const Field *type = sostituto.findField(persFisica);
    const QStringList hidden = tipoSostitutoHidden(type ? type->asString() : QString());
    if (sostituto.isEditing())
        for (const QString &name : hidden)
            if (Field *f = sostituto.findField(name); f && !f->isNull())
                f->clear();
    return hidden;
}

bool defaultTipoSostituto(ClientDataSet &sostituto)
{
    Field *type = sostituto.findField(persFisica);
    if (!type || !type->asString().trimmed().isEmpty())
        return false;
    if (!sostituto.isEditing()) {
        if (sostituto.isEmpty() || !sostituto.canModify())
            return false;
        sostituto.edit();
    }
    type->setValue(QStringLiteral("0"));
    return true;
}

QHash<QString, QStringList> labelYears(const QString &table)
{
    if (QHash<QString, QStringList> r = recipients::labelYears(table); !r.isEmpty())
        return r;
    const QString t = table.toUpper();
    const QStringList prev{previousYear};
    if (t == u"TSS4_PROSPETTOSS4")
        return {
            // surtaxes of the year before, not withheld in the income year
            {QStringLiteral("FIOSADDREGTRA_SS"), {previousYear, incomeYear}},
            {QStringLiteral("FIOSADDCOMSALTRA_SS"), {previousYear, incomeYear}},
            // balances of the year before
            {QStringLiteral("FIOSSALIRPEF_SS"), prev},
            {QStringLiteral("FIOSADDREG_SS"), prev},
            {QStringLiteral("FIOSSALADDREG_SS"), prev},
            {QStringLiteral("FIOSCEDSECCLOC_SS"), prev},
        };
    if (t == u"TPSX_PROSPETTOSX")
        // the credit carried over from last year's return
        return {{QStringLiteral("CRERISDICH_SX"), prev}};
    return {};
}

const char *const noCloseText = "Non è possibile chiudere la finestra prima di aver salvato le modifiche";
const char *const noPageChangeText = "Non è possibile cambiare schermata mentre si inseriscono o modificano i dati";
const char *const missingSchoolCodeText =
    "Codice fiscale sostituto non trovato. \r\nImportare i dati dal CUD od eseguire il programma \"Sedi ed Istituti\" per controllare i dati";

QString monthFieldError(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    bool ok = false;
    const int m = t.toInt(&ok);
    if (!ok || m < 1 || m > 12)
        return QStringLiteral("Mese non valido, deve essere compreso tra 01 e 12");
    if (t.size() != 2)
        return QStringLiteral("Il mese deve essere di 2 cifre");
    return {};
}

namespace {

QString textOf(const ClientDataSet &ds, const QString &name)
{
    const Field *f = ds.findField(name);
    return f ? f->asString().trimmed() : QString();
}

// Read by row so the grid can ask for rows other than the current one.
QVariant at(const ClientDataSet &ds, int row, const char *name)
{
    const int i = ds.fieldIndex(QString::fromUtf8(name));
    return i < 0 ? QVariant() : ds.valueAt(row, i);
}

bool nonZero(const ClientDataSet &ds, int row, const char *name)
{
    const QVariant v = at(ds, row, name);
    return v.isValid() && v.toDouble() != 0;
}

bool flagText(const ClientDataSet &ds, int row, const char *name)
{
    const QString t = at(ds, row, name).toString().trimmed();
    return !t.isEmpty() && t != u"0";
}

} // namespace

QString stSectionFourError(const ClientDataSet &ds)
{
    for (int i = 39; i <= 49; ++i) {
        const QString month = textOf(ds, QStringLiteral("SPST2MESE%1").arg(i));
        const QString year = textOf(ds, QStringLiteral("SPST2ANNO%1").arg(i));
        if (month.isEmpty() != year.isEmpty())
            return QStringLiteral("Impossibile salvare: Anno o mese nella riga ST%1 mancante!").arg(i);
        if (month.isEmpty())
            continue;
        bool ok = false;
        const int m = month.toInt(&ok);
        if (month.size() != 2 || !ok || m < 1 || m > 12)
            return QStringLiteral("Impossibile salvare: Mese nella riga ST%1 errato!\r\nInserire sempre 2 cifre: gennaio = 01, febbraio = 02...").arg(i);
        if (year != u"2024")
            return QStringLiteral("Impossibile salvare: Anno nella riga ST%1 errato!\r\nInserire solo 2024!").arg(i);
    }
    return {};
}

bool ssDataPresent(const ClientDataSet &ds, int row)
{
    if (!at(ds, row, "SSOE7CODICE").toString().trimmed().isEmpty())
        return true;
    for (const char *f : {"FIOSADDREGTRA_SS", "FIOSADDCOMSALTRA_SS", "FIOSADDCOMACC_SS", "FIOSSALIRPEF_SS",
                          "FIOSPRACCIRPEF_SS", "FIOSADDREG_SS", "FIOSACCADDCOM_SS", "FIOSSECACCIRPEF_SS",
                          "FIOSACCTAXSEP_SS", "FIOSIMPSOSPREPRO_SS"})
        if (nonZero(ds, row, f))
            return true;
    return false;
}

bool sxDataPresent(const ClientDataSet &ds, int row)
{
    for (const char *f : {"FCRECONGCESSRAPP_SX", "CRERISDICH_SX"})
        if (nonZero(ds, row, f))
            return true;
    for (const char *f : {"LVA_SX", "LSA_SX", "LSI_SX"})
        if (flagText(ds, row, f))
            return true;
    for (const char *f : {"CRERITLAVDIPASSASSFIS_SX", "CRERITLAVAUTPROVRDIV_SX", "CREMAT_SX", "CRESPETT_SX",
                          "CRERICFAMNUMANN_SX", "CRERICCANLOCANN_SX", "BONUSEROANN_SX"})
        if (nonZero(ds, row, f))
            return true;
    return false;
}

QString dataPresentText(bool present)
{
    return present ? QStringLiteral("Sì") : QStringLiteral("No");
}

bool recomputeSostitutoFlags(SectionStore &store, ClientDataSet &sostituto)
{
    if (!sostituto.isActive() || sostituto.isEmpty())
        return false;
    auto rows = [&store](const char *table) {
        ClientDataSet ds;
        store.openCds(QString::fromUtf8(table), ds);
        return ds.recordCount();
    };
    auto set = [&sostituto](const char *field, const QVariant &v) {
        if (Field *f = sostituto.findField(QString::fromUtf8(field)))
            f->setValue(v);
    };
    auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const int dip = rows("TDIP7_ANAGRFISCALI");
    const int aut = rows("TDAU7_DATIAUTONOM");
    const bool st = rows("TPST_PROSPETTOST") > 0;
    const bool ss = rows("TPSS_PROSPETTOSS") > 0;
    const bool sv = rows("TPSV_PROSPETTOSV") > 0;
    const bool sx = rows("TPSX_PROSPETTOSX") > 0;
    const bool sy = rows("TPSY_PROSPETTOSY") > 0 || rows("TPSY2_PROSPETTOSY2") > 0
                    || rows("TPSY3_PROSPETTOSY3") > 0 || rows("TPSY4_PROSPETTOSY4") > 0;
    const bool di = rows("TPDI_PROSPETTODI") > 0;
    sostituto.first();
    sostituto.edit();
    set("ISOSNDIP", dip);
    set("ISOSNAUTON", aut);
    set("LSOSST", flag(st));
    set("LSOSSS", flag(ss));
    set("LSOSSV", flag(sv));
    set("LSOSSX", flag(sx));
    set("LSOSSY", flag(sy));
    set("LSOSDI", flag(di));
    sostituto.post();
    return true;
}

void zeroFlags(ClientDataSet &ds, const QString &table)
{
    const CatalogueTable *t = TableCatalogue::instance().table(table);
    if (!t)
        return;
    for (const CatalogueColumn &c : t->columns)
        if (c.kind == ColumnKind::Flag)
            if (Field *f = ds.findField(c.name))
                f->setValue(QStringLiteral("0"));
}

// The batch load refuses what the windows refuse.

QStringList monthFieldsOf(const QString &table)
{
    const QString t = table.toUpper();
    QStringList fields;
    if (t == u"TPST_PROSPETTOST")
        fields << QStringLiteral("SPSTMESE");
    else if (t == u"TPST2_PROSPETTOSTS2")
        fields << QStringLiteral("SPST2MESE");
    else if (t == u"TPSV_PROSPETTOSV")
        fields << QStringLiteral("SPSVMESE");
    else if (t == u"TPST3_PROSPETTOSTS3")
        for (int i = 27; i <= 37; ++i)
            fields << QStringLiteral("SPST3MESE%1").arg(i);
    else if (t == u"TPST4_PROSPETTOSTS4")
        for (int i = 39; i <= 49; ++i)
            fields << QStringLiteral("SPST2MESE%1").arg(i);
    return fields;
}

} // namespace jex::prosp

namespace jex {

void registerTableRules(Registry &registry)
{
    using namespace prosp;
    registry.loadChecks.addRowCheck(QStringLiteral("TPST4_PROSPETTOSTS4"), [](const ClientDataSet &ds) {
        return SectionLoadHooks::Fault{QString(), stSectionFourError(ds)};
    });
    // Section IV's months are part of its own rule above.
    for (const char *table : {"TPST_PROSPETTOST", "TPST2_PROSPETTOSTS2", "TPSV_PROSPETTOSV", "TPST3_PROSPETTOSTS3"}) {
        const QStringList fields = monthFieldsOf(QString::fromLatin1(table));
        registry.loadChecks.addRowCheck(QString::fromLatin1(table), [fields](const ClientDataSet &ds) {
            for (const QString &f : fields)
                if (const Field *field = ds.findField(f))
                    if (const QString e = monthFieldError(field->asString()); !e.isEmpty())
                        return SectionLoadHooks::Fault{f, e};
            return SectionLoadHooks::Fault{};
        });
    }
}


} // namespace jex
