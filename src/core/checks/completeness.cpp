#include "checks/completeness.h"

#include "checks/codicefiscale.h"
#include "dataset/dataset.h"
#include "base/numformat.h"
#include "codelists/codecheck.h"
#include "codelists/codelists.h"

#include <QHash>

namespace jex {

const QList<QPair<QString, QString>> &requiredFields()
{
    static const QList<QPair<QString, QString>> list = [] {
        const char *const raw[][2] = {
            {"SSOSDENOM", "Denominazione del sostituto"},
            {"SSOSCODFIS", "Codice fiscale del sostituto"},
            {"SCOACODICE", "Codice attività del sostituto"},
            {"SSOSCFRAPPR", "Codice fiscale del rappresentante firmatario"},
            {"SCARCODICE", "Codice carica del rappresentante firmatario"},
            {"STSACODICE", "Stato (tab. SA) in altri soggetti"},
            {"STSBCODICE", "Natura giuridica (tab. SB) in altri soggetti"},
            {"STSCCODICE", "Situazione (tab. SC) in altri soggetti"},
            {"SSOSSESSO", "Sesso del rappresentante firmatario"},
            {"DSOSDTNASRAPPR", "Data di nascita del rappresentante firmatario"},
            {"SSOSCOMNASRAPPR", "Comune o stato estero di nascita del rappresentante firmatario"},
            {"SSOSPROVNASRAPPR", "Provincia di nascita del rappresentante firmatario"},
            {"SSOSCOMRESRAPPR", "Comune di residenza del rappresentante firmatario"},
            {"SSOSPROVRESRAPPR", "Provincia di residenza del rappresentante firmatario"},
            {"SSOSDICHIARANTE", "Firma del dichiarante nella redazione della dichiarazione"},
            {"STFOCODICE", "Tipo fornitore"},
            {"SFORCODFIS", "Codice fiscale del fornitore"},
            {"SDIP7CODFIS", "Codice fiscale del dipendente"},
            {"SDIP7COGNOME", "Cognome del dipendente"},
            {"SDIP7NOME", "Nome del dipendente"},
            {"SDIP7SEX", "Sesso del dipendente"},
            {"DDIP7DATANAS", "Data di nascita del dipendente"},
            {"SDIP7COMNAS", "Comune di nascita del dipendente"},
            {"SDIP7PROVNAS", "Provincia di nascita del dipendente"},
            {"SINPS7MATRAZIENDA", "Matricola azienda"},
            {"SINPDAP7CODFISAMMNE", "Codice fiscale amministrazione nel modulo INPDAP"},
            {"SINPDAP7GESASS_1", "Cassa pensionistica nel modulo INPDAP"},
            {"SINPDAP7GESASS_2", "Cassa previdenziale nel modulo INPDAP"},
            {"SINPDAP7GESASS_3", "Cassa credito nel modulo INPDAP"},
            {"SPSTMESE", "Mese di riferimento prospetto ST"},
            {"SPSTANNO", "Anno di riferimento prospetto ST"},
            {"SPSVMESE", "Mese di riferimento prospetto SV"},
            {"SPSVANNO", "Anno di riferimento prospetto SV"},
        };
        QList<QPair<QString, QString>> l;
        for (const auto &r : raw)
            l.append({QString::fromUtf8(r[0]), QString::fromUtf8(r[1])});
        return l;
    }();
    return list;
}

bool HasFieldValue(const QString &fieldName, const ClientDataSet &ds)
{
    const Field *f = ds.findField(fieldName);
    if (!f)
        return false;
    switch (f->type()) {
    case FieldType::String:
        return !f->asString().isEmpty();
    case FieldType::Date:
    case FieldType::DateTime:
        return !f->isNull() && f->asDate().isValid() && f->asDate() > QDate(1899, 12, 30);
    default: {
        if (f->isNull())
            return false;
        double v = 0;
        if (!parseAmount(f->asString(), &v))
            return false;
        return v != -1;
    }
    }
}

namespace {

const QString kMissing = QStringLiteral(" - Dato obbligatorio mancante: ");

QString str(const ClientDataSet &ds, const char *name)
{
    const Field *f = ds.findField(QString::fromUtf8(name));
    return f ? f->asString() : QString();
}

bool filled(const ClientDataSet &ds, const char *name)
{
    const Field *f = ds.findField(QString::fromUtf8(name));
    return f && !f->isNull() && !f->asString().isEmpty();
}

QString ruleRepresentative(const ClientDataSet &ds)
{
    const bool surname = filled(ds, "SSOSCOGNRAPPR");
    const bool name = filled(ds, "SSOSNOMERAPPR");
    if (filled(ds, "SSOSDENRAPPR")) {
        if (surname || name)
            return QStringLiteral(" - Dati in eccesso: Nome o cognome del rappresentante della dichiarazione compilati in presenza della denominazione");
        return {};
    }
    if (name && !surname)
        return kMissing + QStringLiteral("Cognome del rappresentante della dichiarazione");
    if (surname && !name)
        return kMissing + QStringLiteral("Nome del rappresentante della dichiarazione");
    if (!surname && !name)
        return kMissing + QStringLiteral("Denominazione o cognome e nome del rappresentante della dichiarazione");
    return {};
}

QString ruleInpsMonths(const ClientDataSet &ds, const QString &suffix, const QStringList &amounts,
                       const QStringList &flags, const QString &box)
{
    bool applies = false;
    for (const QString &a : amounts)
        applies = applies || filled(ds, a.toUtf8().constData());
    for (const QString &fl : flags) {
        const Field *f = ds.findField(fl);
        applies = applies || (f && f->asString() != u"0");
    }
    if (!applies)
        return {};
    static const char *const months[] = {"GENNAIO", "FEBBRAIO", "MARZO", "APRILE", "MAGGIO", "GIUGNO",
                                         "LUGLIO", "AGOSTO", "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
    bool anyMonth = false;
    for (const char *m : months) {
        const Field *f = ds.findField(QStringLiteral("LINPS7") + QString::fromUtf8(m) + suffix);
        anyMonth = anyMonth || (f && !f->isNull() && f->asString() != u"0" && !f->asString().isEmpty());
    }
    const Field *all = ds.findField(QStringLiteral("LINPS7MESIRETR") + suffix);
    const bool allMonths = all && !all->isNull() && all->asString() != u"0" && !all->asString().isEmpty();
    if (allMonths && anyMonth)
        return QStringLiteral(" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" (%1) del modulo INPS fosse compilato").arg(box);
    if (!allMonths && !anyMonth)
        return QStringLiteral(" - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" (%1) del modulo INPS deve essere compilato").arg(box);
    return {};
}

QString ruleSelfEmployed(const ClientDataSet &ds)
{
    const QString code = str(ds, "SDAU7CODFIS");
    if (code.isEmpty())
        return kMissing + QStringLiteral("Codice fiscale dell'autonomo");
    if (IsAllDigits(code))
        return filled(ds, "SDAU7COGNOME") ? QString() : kMissing + QStringLiteral("Cognome o denominazione dell'autonomo");
    const char *const fields[][2] = {
        {"SDAU7COGNOME", "Cognome o denominazione dell'autonomo"},
        {"SDAU7NOME", "Nome dell'autonomo"},
        {"SDAU7SEX", "Sesso dell'autonomo"},
        {"DDAU7DATANAS", "Data di nascita dell'autonomo"},
        {"SDAU7COMNAS", "Comune di nascita dell'autonomo"},
        {"SDAU7PROVNAS", "Provincia di nascita dell'autonomo"},
    };
    for (const auto &f : fields) {
        const bool present = QString::fromUtf8(f[0]).startsWith(u'D') ? HasFieldValue(QString::fromUtf8(f[0]), ds)
                                                                       : filled(ds, f[0]);
        if (!present)
            return kMissing + QString::fromUtf8(f[1]);
    }
    return {};
}

QString ruleDependants(const ClientDataSet &ds)
{
    if (ds.isEmpty())
        return {};
    struct Finding { QString prefix, longText, shortText; };
    QList<Finding> found;
    auto flag = [&](const char *n) { return str(ds, n) == u"1"; };
    auto missing = [&](const char *n, const QString &longText, const QString &shortText = {}) {
        if (!filled(ds, n))
            found.append({kMissing, longText, shortText.isEmpty() ? longText : shortText});
    };
    if (flag("LCFC7RELPARCON")) {
        missing("SCFC7CODFISCON", QStringLiteral("Codice fiscale coniuge"));
        missing("SCFC7MESICARCON", QStringLiteral("Nr. Mesi a carico"), QStringLiteral("Nr. Mesi a carico coniuge"));
    }
    if (flag("LCFC7RELPARPRIFIGL")) {
        missing("SCFC7CODFISPRIFIGL", QStringLiteral("Codice fiscale primo figlio"));
        missing("SCFC7MESICARPRIFIGL", QStringLiteral("Nr. Mesi a carico primo figlio"));
        missing("SCFC7DETRSPETTPRIFIGL", QStringLiteral("Percentuale detrazione spettante primo figlio"));
    }
    const bool child = flag("LCFC7RELPARFIGL");
    const bool other = flag("LCFC7RELPARFIGLALTRFAM");
    if (child && other)
        found.append({QStringLiteral(" - Dati incongruenti: "), QStringLiteral("Altro figlio e altro familiare ambedue abilitati"),
                      QStringLiteral("Altro figlio e altro familiare ambedue abilitati")});
    if (child || other) {
        missing("SCFC7CODFISFIGL", QStringLiteral("Codice fiscale altro figlio o altro familiare"));
        missing("SCFC7MESICARFIGL", QStringLiteral("Nr. Mesi a carico altro figlio o altro familiare"));
        missing("FCFC7DETRSPETTFIGL", QStringLiteral("Percentuale detrazione spettante altro figlio o altro familiare"));
    }
    QString text;
    for (int i = 0; i < found.size(); ++i) {
        if (i == 0)
            text = found[i].prefix + found[i].longText;
        else
            text += QStringLiteral("\r\n") + found[i].prefix + found[i].shortText;
    }
    return text;
}

QString ruleFor(const QString &field, const ClientDataSet &ds)
{
    const QString f = field.toUpper();
    if (f == u"SSOSDENRAPPR")
        return ruleRepresentative(ds);
    if (f == u"LINPS7MESIRETR")
        return ruleInpsMonths(ds, QString(),
                              {QStringLiteral("FINPS7IMPONIBILE"), QStringLiteral("FINPS7CONTRIBTRATT"), QStringLiteral("FINPS7BONUS")},
                              {QStringLiteral("LINPS7INTERAMVERS"), QStringLiteral("LINPS7PARZIALVERS"), QStringLiteral("LINPS7NONVERS")},
                              QStringLiteral("INPS 10"));
    if (f == u"LINPS7MESIRETR_C")
        return ruleInpsMonths(ds, QStringLiteral("_C"),
                              {QStringLiteral("FINPS7COMPCORRISP"), QStringLiteral("FINPS7COMPDOVUTI"),
                               QStringLiteral("FINPS7COMPTRATTEN"), QStringLiteral("FINPS7COMPVERSATI")},
                              {}, QStringLiteral("INPS 16"));
    if (f == u"SDAU7CODFIS")
        return ruleSelfEmployed(ds);
    if (f == u"LCFC7RELPARCON")
        return ruleDependants(ds);
    return {};
}

} // namespace

bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets, int last)
{
    return CheckDataSets(lines, dataSets, last, CodeLists::installation());
}

bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets, int last, const CodeLists &lists)
{
    static QHash<QString, QString> required = [] {
        QHash<QString, QString> h;
        for (const auto &p : requiredFields())
            h.insert(p.first, p.second);
        return h;
    }();
    bool ok = true;
    for (int i = 0; i <= last && i < dataSets.size(); ++i) {
        const ClientDataSet *ds = dataSets[i];
        if (!ds || !ds->isActive())
            continue;
        for (int k = 0; k < ds->fieldCount(); ++k) {
            const QString name = ds->field(k)->name().toUpper();
            auto it = required.constFind(name);
            if (it != required.constEnd()) {
                if (!HasFieldValue(name, *ds)) {
                    lines << kMissing + *it;
                    ok = false;
                }
            } else {
                const QString r = ruleFor(name, *ds);
                if (!r.isEmpty()) {
                    lines << r;
                    ok = false;
                }
            }
            if (isCodiceFiscaleColumn(name)) {
                const QString r = codiceFiscaleFinding(name, ds->field(k)->asString(), lists);
                if (!r.isEmpty()) {
                    lines << r;
                    ok = false;
                }
            }
        }
        const QStringList codes = unknownCodeFindings(*ds, lists);
        if (!codes.isEmpty()) {
            lines << codes;
            ok = false;
        }
    }
    return ok;
}

bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets)
{
    return CheckDataSets(lines, dataSets, int(dataSets.size()) - 1);
}

bool IsNotCurrency(const QString &text)
{
    double v = 0;
    if (!parseAmount(text.trimmed(), &v))
        v = -10000;
    return v == -10000;
}

bool IsAllDigits(const QString &text)
{
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace jex
