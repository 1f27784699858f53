#include "telematic/generation.h"
#include "sections/sectionstore.h"

#include "base/errors.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace jex {

namespace {

const QString kDeclaringFilter = QStringLiteral("SSOE7CODICE='' or (SSOE7CODICE is null)");
const QString kTooLong = QStringLiteral("Supera i 1900 caratteri");
constexpr int kRecordData = 1897;
constexpr int kRecordLength = kRecordData + 1; // with the closing "A"
constexpr int kBodyLimit = 1873;

// A record goes into the supply only as 1,898 characters the file can carry:
// a line break or a NUL taken from a value would split or cut the record, a
// character outside Latin-1 would be written as "?".
QString checkedRecord(const QString &code, int number, const QString &record)
{
    if (record.size() != kRecordLength)
        throw EQxError(QStringLiteral("Il file telematico non è stato generato: il record %1 n. %2 è di %3 caratteri "
                                      "invece di %4.").arg(code).arg(number).arg(record.size()).arg(kRecordLength));
    for (int i = 0; i < record.size(); ++i) {
        const char16_t c = record[i].unicode();
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f) || c > 0xff)
            throw EQxError(QStringLiteral("Il file telematico non è stato generato: il record %1 n. %2 contiene alla "
                                          "posizione %3 il carattere U+%4, che il file non ammette: correggere il dato "
                                          "che lo contiene.")
                               .arg(code).arg(number).arg(i + 1)
                               .arg(QString::number(int(c), 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    }
    return record;
}

QString upper(const QString &s) { return s.toUpper(); }

// Whether a formatted text holds only blanks (and, when asked, placeholders).
bool isBlankText(const QString &text, bool placeholders)
{
    for (const QChar c : text)
        if (!c.isSpace() && !(placeholders && c == kBlankPlaceholder))
            return false;
    return true;
}

bool atEnd(const ClientDataSet &ds) { return !ds.isActive() || ds.eof(); }
bool hasRows(const ClientDataSet &ds) { return ds.isActive() && ds.recordCount() > 0; }

void setAt(QString &record, int pos, const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const int at = pos - 1 + i;
        if (at < record.size())
            record[at] = text[i];
    }
}

} // namespace

const QList<TableBinding> &telematicTables()
{
    static const QList<TableBinding> list = {
        {"cdsForn", "TFOR_FORNITORE", ""},
        {"cdsSost", "TSOS_DATOSOSTITUTO", ""},
        {"cdsSostEst", "TSOE7_SOSESTINTO", ""},
        {"cdsPrSs", "TPSS_PROSPETTOSS", "SSOE7CODICE"},
        {"cdsPrSt", "TPST_PROSPETTOST", "SSOE7CODICE;LPSTEVENTIECC;DPSTDTVERS;SPSTANNO;SPSTMESE"},
        {"cdsPrSt2", "TPST2_PROSPETTOSTS2", "SSOE7CODICE;LPSTEVENTIECC;DPST2DTVERS;SPST2ANNO;SPST2MESE;SPST2CODREG"},
        {"cdsPrSt3", "TPST3_PROSPETTOSTS3", "SSOE7CODICE;LPSTEVENTIECC;SPST3CFINTNRES"},
        {"cdsPrSt4", "TPST4_PROSPETTOSTS4", "SSOE7CODICE;LPSTEVENTIECC;SCFINTNRES"},
        {"cdsPrSv", "TPSV_PROSPETTOSV", "SSOE7CODICE;DPSVDTVERS;SPSVANNO;SPSVMESE"},
        {"cdsPrSx", "TPSX_PROSPETTOSX", "SSOE7CODICE;"},
        {"cdsPrDi", "TPDI_PROSPETTODI", "SSOE7CODICE;SPDICODFIS;SPDIPERIMP"},
        {"cdsPrSy", "TPSY_PROSPETTOSY", "SSOE7CODICE;SPSYDEBPRICODF;SPSYCREPIGCODF"},
        {"cdsPrSy2", "TPSY2_PROSPETTOSY2", "SSOE7CODICE;SPSY2CREPIGCF"},
        {"cdsPrSy3", "TPSY3_PROSPETTOSY3", "SSOE7CODICE;SPSY3CFBEN"},
        {"cdsPrSy4", "TPSY4_PROSPETTOSY4", "SSOE7CODICE;SSY4DEN"},
        {"cdsLavDip", "TDIP7_ANAGRFISCALI", "SDIP7CODFIS"},
        {"cdsLavAut", "TDAU7_DATIAUTONOM", "SDAU7CODFIS"},
        {"cdsSommEr", "TDSE7_SOMMEEROGATE", ""},
        {"cdsRedEst", "TREE7_REDDITOESTER", ""},
        {"cdsCodFam", "TCFF7_CFFAMILIARE", ""},
        {"cdsDtCong", "TCON7_DATICONGUAG", ""},
        {"cdsSomEroLavStra", "TSLS7_SOMEROLAVSTRA", ""},
        {"cdsReddAssRitImp", "TRAR7_REDASSTIRTIT", ""},
        {"cdsTasSep", "TTAS7_TASSAZIONESE", ""},
        {"cdsTfr", "TTFR7_TFR", ""},
        {"cdsAnn", "TANN7_ANNOTAZIONI", ""},
        {"cdsConFamCar", "TCFC7_CONFAMCARICO", ""},
        {"cdsInps", "TINPS7_INPS", ""},
        {"cdsInpdap", "TINP7_INPDAP", ""},
        {"cdsInail", "TINA7_INAIL", ""},
    };
    return list;
}

void defineFieldFileTable(ClientDataSet &ds)
{
    ds.clearFields();
    ds.addField(QStringLiteral("SFIFICODREC"), FieldType::String, 1);
    ds.addField(QStringLiteral("SFIFIPROGRE"), FieldType::String, 18);
    ds.addField(QStringLiteral("SFIFIRECORD"), FieldType::String, 1898);
    ds.createDataSet();
}

void defineFileTelemTable(ClientDataSet &ds)
{
    ds.clearFields();
    ds.addField(QStringLiteral("SFILECODREC"), FieldType::String, 1);
    ds.addField(QStringLiteral("SFILEPROGRE"), FieldType::String, 18);
    ds.addField(QStringLiteral("SFILERECORD"), FieldType::String, 1898);
    ds.createDataSet();
}

void writeEmptyWorkingTables(const QString &dir)
{
    QDir().mkpath(dir);
    ClientDataSet a, b;
    defineFieldFileTable(a);
    defineFileTelemTable(b);
    a.saveToFile(QDir(dir).filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS")));
    b.saveToFile(QDir(dir).filePath(QStringLiteral("TFILE_FILETELEM.CDS")));
}

TdmJexFile::TdmJexFile()
{
    for (const TableBinding &b : telematicTables())
        m_components[QString::fromLatin1(b.component).toLower()] = std::make_unique<ClientDataSet>();
    m_components[QStringLiteral("cdsfiletel")] = std::make_unique<ClientDataSet>();
    m_fileTel = m_components[QStringLiteral("cdsfiletel")].get();
    defineFileTelemTable(*m_fileTel);

    // One row naming the agent whose modules are being written: empty for
    // the declaring agent, the code of an extinct agent otherwise.
    auto agent = std::make_unique<ClientDataSet>();
    agent->addField(QStringLiteral("SSOE7CODICE"), FieldType::String, 16);
    agent->createDataSet();
    agent->append();
    agent->post();
    m_components[QString::fromLatin1(kModuleAgent).toLower()] = std::move(agent);

    // The SS rows and the agent's row are saved as soon as they change.
    auto saveSs = [this](ClientDataSet &ds) { if (store) store->saveCds(QStringLiteral("TPSS_PROSPETTOSS"), ds); };
    cds("cdsPrSs").events.afterPost = saveSs;
    cds("cdsPrSs").events.afterDelete = saveSs;
    cds("cdsSost").events.afterPost = [this](ClientDataSet &ds) {
        if (store)
            store->saveCds(QStringLiteral("TSOS_DATOSOSTITUTO"), ds);
    };
}

TdmJexFile::~TdmJexFile() = default;

ClientDataSet *TdmJexFile::component(const QString &name) const
{
    if (const auto known = m_bySpelling.constFind(name); known != m_bySpelling.constEnd())
        return *known;
    auto it = m_components.find(name.toLower());
    ClientDataSet *ds = it == m_components.end() ? nullptr : it->second.get();
    if (ds)
        m_bySpelling.insert(name, ds);
    return ds;
}

ClientDataSet &TdmJexFile::FindSectionDataSet(const QString &name) const
{
    ClientDataSet *ds = component(name);
    if (!ds)
        throw EAssertion(QStringLiteral("Sezione non trovata ") + name
                         + QStringLiteral(" (JexUFileUtil)"));
    return *ds;
}

QString TdmJexFile::layoutFile(const QString &name) const
{
    const QString dir = layoutDir.isEmpty() ? Paths::fileTelDir() : layoutDir;
    return Paths::resolveIn(dir, name);
}

void TdmJexFile::openTables(bool withFrontTables)
{
    for (const TableBinding &b : telematicTables()) {
        const QString table = QString::fromLatin1(b.table);
        if (table == u"TPSS_PROSPETTOSS")
            continue;
        if (!withFrontTables
            && (table == u"TFOR_FORNITORE" || table == u"TSOS_DATOSOSTITUTO" || table == u"TSOE7_SOSESTINTO"))
            continue;
        ClientDataSet &ds = cds(b.component);
        if (store) {
            ds.close();
            store->openCds(table, ds);
        }
        if (ds.isActive()) {
            ds.setIndexFieldNames(QString::fromLatin1(b.index));
            ds.first();
        }
    }
}

void TdmJexFile::closeTables()
{
    for (const char *n : {"cdsForn", "cdsSost", "cdsLavDip", "cdsRedEst", "cdsCodFam", "cdsDtCong",
                          "cdsTasSep", "cdsTfr", "cdsAnn", "cdsInps", "cdsInpdap", "cdsInail",
                          "cdsSomEroLavStra", "cdsReddAssRitImp", "cdsConFamCar", "cdsLavAut",
                          "cdsSommEr", "cdsPrDi", "cdsPrSt", "cdsPrSt2", "cdsPrSt3", "cdsPrSt4",
                          "cdsPrSv", "cdsPrSx", "cdsPrSy", "cdsPrSy2", "cdsPrSy3", "cdsPrSy4"})
        cds(n).close();
}

bool TdmJexFile::sxHasContent() const
{
    ClientDataSet &sx = cds("cdsPrSx");
    if (!hasRows(sx))
        return false;
    for (const char *f : {"FCRECONGCESSRAPP_SX", "CRERISDICH_SX", "CRERITLAVDIPASSASSFIS_SX",
                          "CRERITLAVAUTPROVRDIV_SX", "CREMAT_SX", "CRESPETT_SX", "CRERICFAMNUMANN_SX",
                          "CRERICCANLOCANN_SX", "BONUSEROANN_SX"}) {
        Field *fld = sx.findField(QString::fromLatin1(f));
        if (fld && !fld->isNull() && fld->asFloat() != 0.0)
            return true;
    }
    for (const char *f : {"LVA_SX", "LSA_SX", "LSI_SX"}) {
        Field *fld = sx.findField(QString::fromLatin1(f));
        if (!fld)
            continue;
        const QString t = fld->asString();
        if (!t.isEmpty() && t != u"0")
            return true;
    }
    return false;
}

bool TdmJexFile::hasDiStSvSxData() const
{
    for (const char *n : {"cdsPrSv", "cdsPrSt", "cdsPrSt2", "cdsPrSt3", "cdsPrSt4", "cdsPrDi"})
        if (hasRows(cds(n)))
            return true;
    return sxHasContent();
}

bool TdmJexFile::hasSyData() const
{
    for (const char *n : {"cdsPrSy", "cdsPrSy2", "cdsPrSy3", "cdsPrSy4"})
        if (hasRows(cds(n)))
            return true;
    return false;
}

// --- field values -------------------------------------------------------

QVariant TdmJexFile::readValue(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                               FamilyState &st)
{
    const QString &info = campo.Info();
    const QString &number = campo.Key();
    const QString dsName = fam == FieldFamily::J && !sectionCds.isEmpty() ? upper(sectionCds) : campo.CdsKey();
    QVariant value;

    auto column = [](ClientDataSet &ds, const QString &f) -> QVariant {
        return ds.fieldByName(f)->value();
    };
    auto joined = [&](ClientDataSet &ds, const QString &a, const QString &b) -> QVariant {
        return variantText(column(ds, a)) + variantText(column(ds, b));
    };
    auto read = [&]() -> QVariant {
        if (dsName.isEmpty())
            return QString();
        switch (fam) {
        case FieldFamily::A:
            if (dsName != u"CDSFORN")
                return {};
            return column(cds("cdsForn"), campo.Field());
        case FieldFamily::B:
            if (dsName != u"CDSSOST")
                return {};
            return column(cds("cdsSost"), campo.Field());
        case FieldFamily::D: {
            static const QSet<QString> allowed = {"CDSSOST", "CDSPRSV", "CDSPRSX", "CDSPRDI", "CDSPRST",
                                                  "CDSPRST2", "CDSPRST3", "CDSPRST4", "CDSSOSTMODULO"};
            if (!allowed.contains(dsName))
                return {};
            ClientDataSet &ds = FindSectionDataSet(dsName);
            auto period = [&] {
                return number.contains(u"001") && AllTrim(campo.Description()) == u"Periodo di riferimento";
            };
            if (dsName == u"CDSPRSV" && number == u"SVXXX001")
                return joined(ds, "SPSVMESE", "SPSVANNO");
            if (dsName == u"CDSPRST" && number == u"STXXX001")
                return joined(ds, "SPSTMESE", "SPSTANNO");
            if (dsName == u"CDSPRST2" && number == u"STXXX001")
                return joined(ds, "SPST2MESE", "SPST2ANNO");
            if (dsName == u"CDSPRST3" && period())
                return joined(ds, "SPST3MESE" + number.mid(3, 2), "SPST3ANNO" + number.mid(3, 2));
            if (dsName == u"CDSPRST4" && period())
                return joined(ds, "SPST2MESE" + number.mid(3, 2), "SPST2ANNO" + number.mid(3, 2));
            return column(ds, campo.Field());
        }
        case FieldFamily::I: {
            static const QSet<QString> allowed = {"CDSSOST", "CDSPRSY", "CDSPRSY2", "CDSPRSY3", "CDSPRSY4",
                                                  "CDSSOSTMODULO"};
            if (!allowed.contains(dsName))
                return {};
            return column(FindSectionDataSet(dsName), campo.Field());
        }
        case FieldFamily::J:
            return column(FindSectionDataSet(dsName), campo.Field());
        case FieldFamily::Z:
            return campo.Fixed();
        }
        return {};
    };

    if (info == u"OF") {
        value = campo.Fixed();
    } else if (fam == FieldFamily::Z) {
        value = info == u"O@" ? QVariant(campo.Fixed()) : QVariant();
    } else if (fam == FieldFamily::B && dsName.isEmpty()) {
        value = QString();
        if (info == u"@1")
            value = QStringLiteral("0");
    } else if (infoListed(fam, info) || fam == FieldFamily::J) {
        value = read();
        if (fam == FieldFamily::B && info == u"@1")
            value = (!value.isNull() && !variantText(value).isEmpty()) ? QStringLiteral("1") : QStringLiteral("0");
    }

    if (fam == FieldFamily::J) {
        if (campo.Format() == u"NP" && value.isValid() && !value.isNull()) {
            bool ok = false;
            const double d = QString(variantText(value)).replace(u',', u'.').toDouble(&ok);
            if (ok && d == 0.0)
                value = QVariant();
        }
        if (!campo.Fixed().isEmpty() && variantText(value).isEmpty())
            value = campo.Fixed();
    }

    // Ordinals with a fixed meaning.
    switch (fam) {
    case FieldFamily::A:
        if (number == u"3")
            value = kSupplyCode;
        break;
    case FieldFamily::B:
        if (number == u"7")
            value = kProducerTaxCode;
        break;
    case FieldFamily::D:
    case FieldFamily::I:
    case FieldFamily::J:
        if (number == u"1")
            st.recordCode = campo.Fixed();
        else if (number == u"3" && st.module)
            value = QString::number(*st.module);
        else if (number == (fam == FieldFamily::J ? u"8" : u"7"))
            value = kProducerTaxCode;
        break;
    case FieldFamily::Z:
        break;
    }
    return value;
}

QString TdmJexFile::fieldText(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                              FamilyState &st)
{
    const QVariant v = readValue(fam, campo, sectionCds, st);
    const QString &info = campo.Info();
    if (!infoListed(fam, info))
        return {};
    const QString text = convertByInfo(v, info, fam);
    if (!infoAlwaysFormats(info) && text.isEmpty())
        return {};
    try {
        return FormatField(text, campo.Width(), campo.Format(), info);
    } catch (const EQxError &e) {
        throw EQxError(QStringLiteral("Campo %1 (%2): %3").arg(campo.Number(), campo.Description(), e.message()));
    }
}

void TdmJexFile::appendField(const QString &code, int module, const QString &text)
{
    m_fieldTexts.push_back({code, module, text});
}

void TdmJexFile::writeRepeatedField(FieldFamily fam, const TXMLCampoType &campo, const QString &sectionCds,
                                    int row, FamilyState &st)
{
    const QVariant v = readValue(fam, campo, sectionCds, st);
    const QString &info = campo.Info();
    const bool listed = infoListed(fam, info);
    const QString text = listed ? convertByInfo(v, info, fam) : QString();
    const int w = campo.Width();
    const QString &format = campo.Format();
    const QString code = fieldCode(campo.Key(), row);

    auto write = [&](const QString &piece) {
        QString ft;
        if (listed && (infoAlwaysFormats(info) || !piece.isEmpty())) {
            try {
                ft = FormatField(piece, w, format, info);
            } catch (const EQxError &e) {
                throw EQxError(QStringLiteral("Campo %1 (%2): %3")
                                   .arg(code.isEmpty() ? campo.Number() : code, campo.Description(), e.message()));
            }
        }
        bool store = true;
        const bool blank = isBlankText(ft, true);
        if (fam == FieldFamily::J) {
            store = !isBlankText(ft, false);
        } else if (fam == FieldFamily::D) {
            if (format == u"N1" && AllTrim(ft) == u"0") {
                store = false;
            } else if (format == u"CB") {
                static const QStringList watched = {"CDSPRSX", "CDSPRDI", "CDSPRSV", "CDSPRST",
                                                    "CDSPRST2", "CDSPRST3", "CDSPRST4"};
                const QString fx = upper(campo.Fixed());
                if (watched.contains(fx) && !hasRows(FindSectionDataSet(fx)))
                    store = false;
                else if (!code.isEmpty() && blank)
                    store = false;
            } else if (!code.isEmpty() && blank) {
                store = false;
            }
        } else if (fam == FieldFamily::I) {
            store = !(!code.isEmpty() && blank);
        }
        if (store)
            appendField(st.recordCode, st.module ? *st.module : 0, code.isEmpty() ? ft : code + ft);
    };
    // Only texts go on in continuation fields; an amount too wide is refused
    // when it is formatted.
    if (text.size() <= w || format == u"VP") {
        write(text);
    } else {
        for (const QString &piece : splitFieldValue(text, w))
            write(piece);
    }
}

void TdmJexFile::writeSection(FieldFamily fam, const TXMLSectionType &section, int row, FamilyState &st)
{
    const QString sectionCds = fam == FieldFamily::J ? section.Cds() : QString();
    for (int i = 0; i < section.Count(); ++i)
        writeRepeatedField(fam, section.Items(i), sectionCds, row, st);
}

void TdmJexFile::writeSectionD(const TXMLSectionType &section, FamilyState &st)
{
    const QString rep = section.Repeat();
    const QString text = section.Text();
    auto loop = [&](ClientDataSet &ds, int r, auto more) {
        while (!atEnd(ds) && more(r)) {
            writeSection(FieldFamily::D, section, r, st);
            ds.next();
            ++r;
        }
    };
    if (rep == u"NO")
        writeSection(FieldFamily::D, section, 0, st);
    else if (rep == u"2")
        loop(cds("cdsPrSt"), 2, [](int r) { return r < 14; });
    else if (rep == u"14")
        loop(cds("cdsPrSt2"), 14, [](int r) { return r <= 25; });
    // Sections III and IV hold one non-resident intermediary each: its head
    // (row 26 or 38) and its payment lines, whose codes name their own rows
    // (27-37, 39-49) and are written as they stand. A second intermediary in
    // the same module would repeat those codes, so each module takes one and
    // moves on to the next.
    else if (rep == u"26" || rep == u"38") {
        ClientDataSet &ds = cds(rep == u"26" ? "cdsPrSt3" : "cdsPrSt4");
        if (!atEnd(ds)) {
            writeSection(FieldFamily::D, section, 0, st);
            ds.next();
        }
    }
    else if (rep == u"YES" && text.contains(u"SV"))
        loop(cds("cdsPrSv"), 2, [](int r) { return r <= 13; });
    else if (rep == u"YES" && text.contains(u"DI"))
        loop(cds("cdsPrDi"), 1, [](int r) { return r <= 20; });
}

void TdmJexFile::writeSectionI(const TXMLSectionType &section, FamilyState &st)
{
    const QString rep = section.Repeat();
    auto loop = [&](ClientDataSet &ds, int r, auto more) {
        while (!atEnd(ds) && more(r)) {
            writeSection(FieldFamily::I, section, r, st);
            ds.next();
            ++r;
        }
    };
    if (rep == u"NO") {
        writeSection(FieldFamily::I, section, 0, st);
    } else if (rep == u"7") {
        ClientDataSet &sy = cds("cdsPrSy");
        QString previous;
        bool first = true;
        for (int r = 7; !atEnd(sy) && r < 12; ++r) {
            const QString agent = sy.fieldByName(QStringLiteral("SSOE7CODICE"))->asString();
            if (!first && agent != previous)
                throw EQmrWarning(QStringLiteral(
                    "Prospetti SY: \"Operazioni straordinarie e successioni\" non congruenti"));
            first = false;
            previous = agent;
            writeSection(FieldFamily::I, section, r, st);
            sy.next();
        }
    } else if (rep == u"2") {
        loop(cds("cdsPrSy2"), 2, [](int r) { return r < 7; });
    } else if (rep == u"12") {
        loop(cds("cdsPrSy3"), 12, [](int r) { return r < 16; });
    } else if (rep == u"16") {
        loop(cds("cdsPrSy4"), 16, [](int r) { return r <= 20; });
    }
}

// --- generation ---------------------------------------------------------

namespace {
struct Cursor
{
    ClientDataSet *ds;
    int recNo;
    bool eof;
};
QList<Cursor> cursors(std::initializer_list<ClientDataSet *> list)
{
    QList<Cursor> out;
    for (ClientDataSet *ds : list)
        out.append({ds, ds->isActive() ? ds->recNo() : 0, atEnd(*ds)});
    return out;
}
bool moved(const QList<Cursor> &before)
{
    for (const Cursor &c : before)
        if (c.eof != atEnd(*c.ds) || (c.ds->isActive() && c.recNo != c.ds->recNo()))
            return true;
    return false;
}
} // namespace

void TdmJexFile::forEachAgent(const QList<ClientDataSet *> &tables, const std::function<void()> &modules)
{
    ClientDataSet &est = cds("cdsSostEst");
    ClientDataSet &moduleAgent = cds(kModuleAgent);
    auto setModuleAgent = [&](const QVariant &agent) {
        moduleAgent.first();
        moduleAgent.edit();
        moduleAgent.field(0)->setValue(agent);
        moduleAgent.post();
    };
    const int agents = (est.isActive() ? est.recordCount() : 0) + 1;
    if (est.isActive())
        est.first();
    for (int g = 1; g <= agents; ++g) {
        QString filter = kDeclaringFilter;
        QVariant agent;
        if (g >= 2) {
            agent = est.fieldByName(QStringLiteral("CODICE"))->asString();
            filter = QStringLiteral("SSOE7CODICE=") + ClientDataSet::quoted(agent.toString());
            est.next();
        }
        setModuleAgent(agent);
        for (ClientDataSet *ds : tables) {
            if (!ds->isActive())
                continue;
            ds->setFilter(filter);
            ds->setFiltered(true);
            ds->first();
        }
        modules();
    }
    setModuleAgent(QVariant());
}

bool TdmJexFile::namesModuleAgent(const TXMLRecordEType &root)
{
    for (int s = 0; s < root.Count(); ++s) {
        const TXMLSectionType &section = root.Items(s);
        for (int i = 0; i < section.Count(); ++i)
            if (section.Items(i).Cds().compare(QLatin1String(kModuleAgent), Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

void TdmJexFile::GenerateRecordD()
{
    moduleD = 1;
    flagSV = 0;
    addLine(QStringLiteral("Generazione del Record D..."));
    const QString file = layoutFile(QStringLiteral("Record_D.xml"));
    const TXMLRecordEType root = LoadRecordE(file);
    FamilyState st;
    st.module = &moduleD;

    ClientDataSet &sv = cds("cdsPrSv"), &stI = cds("cdsPrSt"), &st2 = cds("cdsPrSt2"),
                  &st3 = cds("cdsPrSt3"), &st4 = cds("cdsPrSt4"), &sx = cds("cdsPrSx"),
                  &di = cds("cdsPrDi");
    const QList<ClientDataSet *> filtered = {&sv, &stI, &st2, &st3, &st4, &sx, &di};

    if (includeD) {
        for (ClientDataSet *ds : {&di, &sv, &stI, &st2, &st3, &st4, &sx})
            if (ds->isActive())
                ds->first();
        flagDI = hasRows(di) ? 1 : 0;
        flagSV = hasRows(sv) ? 1 : 0;
        flagST = (hasRows(stI) || hasRows(st2) || hasRows(st3) || hasRows(st4)) ? 1 : 0;
        flagSX = hasRows(sx) ? 1 : 0;

        // Every summary table keeps modules coming until its rows are
        // written: sections II, III and IV too, or their rows beyond the
        // modules the other tables need would be lost.
        forEachAgent(filtered, [&] {
            while (!atEnd(sv) || !atEnd(stI) || !atEnd(st2) || !atEnd(st3) || !atEnd(st4) || !atEnd(sx)
                   || !atEnd(di)) {
                const QList<Cursor> before = cursors({&sv, &stI, &st2, &st3, &st4, &sx, &di});
                for (int s = 0; s < root.Count(); ++s) {
                    const TXMLSectionType &section = root.Items(s);
                    if (s >= 2 && section.Text().contains(u"SX") && atEnd(sx))
                        continue;
                    writeSectionD(section, st);
                }
                ++moduleD;
                if (!atEnd(sx))
                    sx.next();
                if (!moved(before))
                    throw EQxError(QStringLiteral("Il tracciato %1 non consuma le righe dei prospetti: "
                                                  "manca una sezione ripetuta")
                                       .arg(QFileInfo(file).fileName()));
            }
        });
    }
    for (ClientDataSet *ds : {&di, &stI, &sv, &sx, &st2, &st3, &st4})
        ds->close();
}

void TdmJexFile::GenerateRecordI()
{
    addLine(QStringLiteral("Generazione del Record I..."));
    const QString file = layoutFile(QStringLiteral("Record_I.xml"));
    const TXMLRecordEType root = LoadRecordE(file);
    moduleI = 1;
    modulesI = 0;
    FamilyState st;
    st.module = &moduleI;
    ClientDataSet &sy = cds("cdsPrSy"), &sy2 = cds("cdsPrSy2"), &sy3 = cds("cdsPrSy3"), &sy4 = cds("cdsPrSy4");
    if (includeSY) {
        for (ClientDataSet *ds : {&sy, &sy2, &sy3, &sy4})
            if (ds->isActive())
                ds->first();
        auto modules = [&] {
            while (!atEnd(sy) || !atEnd(sy2) || !atEnd(sy3) || !atEnd(sy4)) {
                const QList<Cursor> before = cursors({&sy, &sy2, &sy3, &sy4});
                for (int s = 0; s < root.Count(); ++s)
                    writeSectionI(root.Items(s), st);
                ++moduleI;
                ++modulesI;
                if (!moved(before))
                    throw EQxError(QStringLiteral("Il tracciato %1 non consuma le righe dei prospetti: "
                                                  "manca una sezione ripetuta")
                                       .arg(QFileInfo(file).fileName()));
            }
        };
        // A layout whose module head names the agent gets one agent's rows
        // per module, as record D; otherwise the rows run on in their order.
        if (namesModuleAgent(root))
            forEachAgent({&sy, &sy2, &sy3, &sy4}, modules);
        else
            modules();
    }
    for (ClientDataSet *ds : {&sy, &sy2, &sy3, &sy4})
        ds->close();
}

void TdmJexFile::GenerateRecordJ()
{
    addLine(QStringLiteral("Generazione del Record J ..."));
    const TXMLRecordJType root = LoadRecordJ(layoutFile(QStringLiteral("Record_J.xml")));
    moduleJ = 1;
    FamilyState st;
    st.module = &moduleJ;
    ClientDataSet &ss = cds("cdsPrSs");
    if (ss.isActive()) {
        ss.first();
        while (!ss.eof()) {
            for (int s = 0; s < root.Count(); ++s) {
                const TXMLSectionType &section = root.Items(s);
                if (section.Repeat() == u"NO") {
                    writeSection(FieldFamily::J, section, 0, st);
                } else if (section.Repeat() == u"YES") {
                    ClientDataSet &ds = FindSectionDataSet(section.Cds());
                    ds.first();
                    for (int r = 1; !ds.eof(); ++r) {
                        writeSection(FieldFamily::J, section, r, st);
                        ds.next();
                    }
                }
            }
            ++moduleJ;
            ss.next();
        }
    }
    ss.close();
}

void TdmJexFile::checkExtinctAgents()
{
    static const QList<QPair<const char *, const char *>> checks = {
        {"cdsPrSt", "Prospetti ST Sez I"}, {"cdsPrSt2", "Prospetti ST Sez II"},
        {"cdsPrSt3", "Prospetti ST Sez III"}, {"cdsPrSt4", "Prospetti ST Sez IV"},
        {"cdsPrSv", "Prospetti Sv"}, {"cdsPrSy2", "Prospetti Sy Sez I"},
        {"cdsPrSy", "Prospetti Sy Sez II"}, {"cdsPrSy3", "Prospetti Sy Sez III"},
        {"cdsPrSy4", "Prospetti Sy Sez IV"}};
    ClientDataSet &est = cds("cdsSostEst");
    for (const auto &[name, label] : checks) {
        ClientDataSet &ds = cds(name);
        if (!hasRows(ds))
            continue;
        Field *code = ds.findField(QStringLiteral("SSOE7CODICE"));
        if (!code)
            continue;
        for (ds.first(); !ds.eof(); ds.next()) {
            const QString c = code->asString();
            if (AllTrim(c).isEmpty())
                continue;
            bool found = false;
            if (est.isActive()) {
                est.setFilter(QStringLiteral("CODICE=") + ClientDataSet::quoted(c));
                est.setFiltered(true);
                found = est.recordCount() > 0;
            }
            if (!found) {
                if (est.isActive())
                    est.setFiltered(false);
                throw EQmrWarning(QString::fromLatin1(label)
                                  + QStringLiteral(": Codice fiscale sostituto estinto non presente in "
                                                   "Tabelle->Sostituto estinto"));
            }
        }
        ds.first();
    }
    if (est.isActive()) {
        est.setFiltered(false);
        est.setFilter(QString());
        est.first();
    }
}

void TdmJexFile::clearWorkingTables()
{
    m_fieldTexts.clear();
    defineFileTelemTable(*m_fileTel);
}

void TdmJexFile::rebuildSS()
{
    ClientDataSet &ss = cds("cdsPrSs");
    ss.close();
    if (store)
        store->openCds(QStringLiteral("TPSS_PROSPETTOSS"), ss);
    if (!ss.isActive()) {
        ss.clearFields();
        ss.addField(QStringLiteral("SSOE7CODICE"), FieldType::String, 11);
        ss.addField(QStringLiteral("FQUADROSYRIT1_SS"), FieldType::Currency, 0, 2);
        ss.addField(QStringLiteral("FQUADROSYRIT2_SS"), FieldType::Currency, 0, 2);
        ss.createDataSet();
    }
    {
        // One save after the emptying, not one per deleted row.
        const DataSetEvent keep = ss.events.afterDelete;
        ss.events.afterDelete = nullptr;
        ss.first();
        while (!ss.isEmpty())
            ss.remove();
        ss.events.afterDelete = keep;
    }
    ss.setIndexFieldNames(QStringLiteral("SSOE7CODICE"));
    if (store)
        store->saveCds(QStringLiteral("TPSS_PROSPETTOSS"), ss);

    auto carry = [&](const char *source, const char *amountField, const char *target, const QString &line) {
        ClientDataSet &sy = cds(source);
        if (!hasRows(sy))
            return;
        addLine(line);
        for (sy.first(); !sy.eof(); sy.next()) {
            const qint64 amount = sy.fieldByName(QString::fromLatin1(amountField))->asMoney();
            if (amount <= 0)
                continue;
            const QString agent = sy.fieldByName(QStringLiteral("SSOE7CODICE"))->asString();
            LocateOptions opt;
            opt.caseInsensitive = true;
            bool found = false;
            for (ss.first(); !ss.eof(); ss.next())
                if (ss.fieldByName(QStringLiteral("SSOE7CODICE"))->asString().compare(agent, Qt::CaseInsensitive) == 0) {
                    found = true;
                    break;
                }
            Field *t = nullptr;
            if (found) {
                ss.edit();
                t = ss.fieldByName(QString::fromLatin1(target));
                t->setAsMoney(t->asMoney() + amount);
            } else {
                ss.append();
                ss.fieldByName(QStringLiteral("SSOE7CODICE"))->setValue(agent.isEmpty() ? QVariant() : QVariant(agent));
                ss.fieldByName(QString::fromLatin1(target))->setAsMoney(amount);
            }
            ss.post();
        }
        sy.first();
    };
    carry("cdsPrSy3", "FPSY3RITEFF", "FQUADROSYRIT1_SS",
          QStringLiteral("Prosp. SS : Importazione \"Sez. III - Ritenute da art. 25, del D.L. n. 78/2010\""));
    carry("cdsPrSy4", "FSY4RITTITIMP", "FQUADROSYRIT2_SS",
          QStringLiteral("Prosp. SS : Importazione \"Sez. IV - Riservata al percipiente estero privo di codice fiscale\""));

    ClientDataSet &sost = cds("cdsSost");
    if (sost.isActive() && sost.findField(QStringLiteral("LSOSSS")) && !sost.isEmpty()) {
        sost.first();
        sost.edit();
        sost.fieldByName(QStringLiteral("LSOSSS"))->setValue(ss.isEmpty() ? 0 : 1);
        sost.post();
    }
}

void TdmJexFile::runGeneration()
{
    checkExtinctAgents();
    if (store) {
        for (const char *n : {"cdsForn", "cdsSost"}) {
            ClientDataSet &ds = cds(n);
            ds.close();
            store->openCds(QString::fromLatin1(std::string_view(n) == "cdsForn" ? "TFOR_FORNITORE" : "TSOS_DATOSOSTITUTO"), ds);
            ds.first();
        }
    }
    // The field texts and records live in memory for one run: nothing of an
    // earlier run is read back, however large it was.
    addLine(QStringLiteral("ATTENDERE... Pulitura del file in corso..."));
    clearWorkingTables();
    rebuildSS();
    GenerateRecordD();
    GenerateRecordI();
    GenerateRecordJ();
    // The caller says when the whole operation has succeeded: the file is
    // still to be built and written.
}

// --- assembly -----------------------------------------------------------

QString TdmJexFile::buildPositional(FieldFamily fam, const TXMLRecordType &root)
{
    QString record;
    record.reserve(1900);
    FamilyState st;
    for (int s = 0; s < root.Count(); ++s) {
        const TXMLSectionType &section = root.Items(s);
        for (int i = 0; i < section.Count(); ++i) {
            const QString text = fieldText(fam, section.Items(i), QString(), st);
            if (record.size() > 1899) {
                messages().warning(kTooLong);
                continue;
            }
            record += text;
        }
    }
    return unplaceholder(record);
}

void TdmJexFile::AssembleRecords(const QString &code, int h)
{
    const std::vector<FieldText> &rows = m_fieldTexts;
    if (rows.empty())
        return;
    ClientDataSet &ft = *m_fileTel;
    QString body, head;
    int i = 1;
    int records = 0;
    int m = rows.front().module;
    auto finish = [&]() {
        if (body.isEmpty())
            return;
        const QString data = unplaceholder(body);
        const QString rec = checkedRecord(code, ++records, data.size() > kRecordData ? data + u'A' : PadR(data, kRecordData) + u'A');
        ft.append();
        ft.field(0)->setValue(code);
        ft.field(1)->setValue(StrZero(m, 18));
        ft.field(2)->setValue(rec);
        ft.post();
    };
    body.reserve(1900);
    for (const FieldText &row : rows) {
        if (row.code != code)
            continue;
        if (row.module != m) {
            finish();
            body.clear();
            head.clear();
            i = 1;
            m = row.module;
        }
        if (i <= h) {
            head += row.text;
            ++i;
        }
        if (body.size() > kBodyLimit) {
            finish();
            body = head;
        }
        body += row.text;
    }
    finish();
}

void TdmJexFile::BuildFile()
{
    ClientDataSet &ft = *m_fileTel;
    if (!ft.isActive())
        defineFileTelemTable(ft);

    auto appendRecord = [&](const QString &code, const QString &text) {
        const QString rec = checkedRecord(code, 1, text);
        ft.append();
        ft.field(0)->setValue(code);
        ft.field(2)->setValue(rec);
        ft.post();
    };

    appendRecord(QStringLiteral("A"), buildPositional(FieldFamily::A, LoadRecordA(layoutFile(QStringLiteral("Record_A.xml")))));

    ClientDataSet &sost = cds("cdsSost");
    auto sostText = [&](const char *f) -> QString {
        Field *fld = sost.isActive() ? sost.findField(QString::fromLatin1(f)) : nullptr;
        return fld ? AllTrim(fld->asString()) : QString();
    };
    if (sostText("SPROTINVGESTSEPID").isEmpty() != sostText("SPROTINVGESTSEPAS").isEmpty())
        throw EQmrWarning(QStringLiteral(
            "Incongruenza dati frontespizio:\r\n  Protocollo dichiarazione inviata in gestione separata: \r\n"
            "Identificativo dell invio e Progressivo Attribuito dal Servizio telematico alla singola "
            "dichiarazioneambedue assenti o presenti"));
    appendRecord(QStringLiteral("B"), buildPositional(FieldFamily::B, LoadRecordB(layoutFile(QStringLiteral("Record_B.xml")))));

    if (!m_fieldTexts.empty()) {
        static const QList<QPair<const char *, int>> order = {{"D", 7}, {"E", 8}, {"F", 8}, {"G", 9},
                                                              {"H", 9}, {"I", 7}, {"J", 8}};
        for (const auto &[c, h] : order)
            AssembleRecords(QString::fromLatin1(c), h);
    }

    const TXMLRecordZType z = LoadRecordZ(layoutFile(QStringLiteral("Record_Z.xml")));
    const TXMLSectionZType zs = z.SectionZ();
    QString zrec;
    for (int i = 0; i < zs.Count(); ++i) {
        const TXMLCampoType &c = zs.Items(i);
        if (c.Info() != u"OF" && c.Info() != u"O@")
            continue;
        if (zrec.size() > 1899) {
            messages().warning(kTooLong);
            continue;
        }
        zrec += FormatField(c.Fixed(), c.Width(), c.Format(), c.Info());
    }
    appendRecord(QStringLiteral("Z"), unplaceholder(zrec) + u'A');
}

QStringList TdmJexFile::WriteTelematicFile(const QString &fileName)
{
    ClientDataSet &ft = *m_fileTel;
    const int total = ft.recordCount();
    const int n = total - 3;
    const int files = n <= kDetailRecordsPerFile ? 1 : (n + kDetailRecordsPerFile - 1) / kDetailRecordsPerFile;
    if (files > 1)
        messages().warning(QStringLiteral("ATTENZIONE. La fornitura supera il limite previsto,\n\rVerranno generati più file telematici."));

    QString recA, recB, recZ;
    QList<int> details;
    for (int r = 0; r < total; ++r) {
        const QString code = ft.valueAt(r, 0).toString();
        const QVariant prog = ft.valueAt(r, 1);
        if (code == u"A")
            recA = ft.valueAt(r, 2).toString();
        else if (code == u"B")
            recB = ft.valueAt(r, 2).toString();
        else if (code == u"Z")
            recZ = ft.valueAt(r, 2).toString();
        if (prog.isValid() && !prog.isNull() && !prog.toString().isEmpty())
            details.append(r);
    }

    QStringList written;
    QList<QPair<QString, QByteArray>> contents;
    int next = 0;
    for (int k = 1; k <= files; ++k) {
        const QString name = k == 1 ? fileName : fileName + u'_' + QString::number(k);
        QByteArray bytes;
        auto line = [&](const QString &rec) {
            bytes += rec.toLatin1();
            bytes += "\r\n";
        };
        QString a = recA;
        setAt(a, 522, files == 1 ? QStringLiteral("0000") : StrZero(k, 4));
        setAt(a, 526, files == 1 ? QStringLiteral("0000") : StrZero(files, 4));
        line(a);
        QString b = recB;
        setAt(b, 1141, QString::number(flagST));
        setAt(b, 1142, QString::number(flagSV));
        setAt(b, 1143, QString::number(flagSX));
        setAt(b, 1144, modulesI > 0 ? QStringLiteral("1") : QStringLiteral("0"));
        setAt(b, 1146, QString::number(flagDI));
        line(b);
        int countD = 0, countI = 0, countJ = 0;
        for (int c = 0; c < kDetailRecordsPerFile && next < details.size(); ++c, ++next) {
            const int r = details[next];
            const QString code = ft.valueAt(r, 0).toString();
            countD += code == u"D";
            countI += code == u"I";
            countJ += code == u"J";
            line(ft.valueAt(r, 2).toString());
        }
        QString z = recZ;
        setAt(z, 25, StrZero(countD, 9));
        setAt(z, 43, StrZero(countI, 9));
        setAt(z, 52, StrZero(countJ, 9));
        line(z);
        contents.append({name, bytes});
        written.append(name);
    }
    // All parts or none: a supply is sent whole.
    writeOutputFiles(contents);
    return written;
}

} // namespace jex
