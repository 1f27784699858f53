// Import of the registry data of employees or self-employed recipients from
// last year's return.

#include "imports/previous/previousimport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/sqlconnection.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace jex {

namespace {

const QString kNl = QStringLiteral("\r\n");
const QString kPhase = QStringLiteral("Import anagrafiche da 770 anno precedente");

struct KindColumns
{
    QString section;
    QString codFis, cognome, nome;
    QStringList copied;  // taken from last year's row as they are
    QStringList zeroed;  // flags that start at "0"
};

const KindColumns &columnsOf(PreviousKind kind)
{
    static const KindColumns employees{
        QStringLiteral("TDIP7_ANAGRFISCALI"),
        QStringLiteral("SDIP7CODFIS"),
        QStringLiteral("SDIP7COGNOME"),
        QStringLiteral("SDIP7NOME"),
        {QStringLiteral("SDIP7CODFIS"), QStringLiteral("SDIP7COGNOME"), QStringLiteral("SDIP7NOME"),
         QStringLiteral("SDIP7SEX"), QStringLiteral("DDIP7DATANAS"), QStringLiteral("SDIP7COMNAS"),
         QStringLiteral("SDIP7PROVNAS"), QStringLiteral("SCAP7CODICE"), QStringLiteral("SDIP7COMUNE"),
         QStringLiteral("SDIP7PROVINCIA"), QStringLiteral("SDIP7CODCOM")},
        {QStringLiteral("LFIS7APPLMAGGRIT"), QStringLiteral("LFIS7NOAPPLDEDUZ"), QStringLiteral("LFIS7ASSSANITARIE"),
         QStringLiteral("LASS7MENOEUROIRPEF"), QStringLiteral("LASS7MENOEUROIRPEFCON"),
         QStringLiteral("LASS7MENOEURORATACONID"), QStringLiteral("LASS7MENOEUROTAXSCONDIC"),
         QStringLiteral("LASS7VEDISTR"), QStringLiteral("LASS7MENOEUROPR"), QStringLiteral("LASS7MENOEUROARD"),
         QStringLiteral("LASS7MENOEUROARC"), QStringLiteral("LASS7MENOEUROACD"), QStringLiteral("LASS7MENOEUROACC"),
         QStringLiteral("LASS7MENOEUROTS"), QStringLiteral("LASS7INTREGATIVO"), QStringLiteral("LASS7MOD730"),
         QStringLiteral("LASS7ISPREPRODICM1"), QStringLiteral("LASS7ISPREPCDICM1")}};
    static const KindColumns selfEmployed{
        QStringLiteral("TDAU7_DATIAUTONOM"),
        QStringLiteral("SDAU7CODFIS"),
        QStringLiteral("SDAU7COGNOME"),
        QStringLiteral("SDAU7NOME"),
        {QStringLiteral("SDAU7CODFIS"), QStringLiteral("SDAU7COGNOME"), QStringLiteral("SDAU7NOME"),
         QStringLiteral("SDAU7SEX"), QStringLiteral("DDAU7DATANAS"), QStringLiteral("SDAU7COMNAS"),
         QStringLiteral("SDAU7PROVNAS"), QStringLiteral("SDAU7COMUNE"), QStringLiteral("SDAU7PROVINCIA"),
         QStringLiteral("SREGCODICE"), QStringLiteral("SDAU7INDIRIZZZO")},
        {}};
    return kind == PreviousKind::Employees ? employees : selfEmployed;
}

QString codeOf(const Field *f) { return f && !f->isNull() ? f->asString().trimmed().toUpper() : QString(); }

QString textOf(const ClientDataSet &ds, const QString &field)
{
    const Field *f = ds.findField(field);
    return f && !f->isNull() ? f->asString().trimmed() : QString();
}

// Tells the user why the folder cannot be used and ends the run: nothing has
// been written yet.
[[noreturn]] void refuse(const QString &text, DlgType type = DlgType::Information)
{
    messages().messageDlg(text, type, Buttons::Ok);
    throw EAbort();
}

} // namespace

QString previousSection(PreviousKind kind) { return columnsOf(kind).section; }

QString PreviousImportResult::report() const
{
    QString out = QStringLiteral("IMPORT ANAGRAFICHE DA 770 ANNO PRECEDENTE") + kNl;
    for (const QString &l : lines)
        out += QStringLiteral(" - ") + l + kNl;
    out += QStringLiteral("Aggiunti: %1; già presenti: %2; senza codice fiscale: %3; con errori: %4")
               .arg(added)
               .arg(present)
               .arg(skipped)
               .arg(failed)
           + kNl;
    return out;
}

TPreviousRegistryImport::TPreviousRegistryImport(TQxSQLConnection &conn, SectionStore &store, PreviousKind kind)
    : m_conn(conn), m_store(store), m_kind(kind)
{
}

void TPreviousRegistryImport::readSource(const QString &sourceDir, ClientDataSet &src)
{
    const KindColumns &k = columnsOf(m_kind);
    const QDir dir(sourceDir);
    if (sourceDir.trimmed().isEmpty() || !dir.exists())
        refuse(QStringLiteral("Il percorso selezionato non esiste\n\rScegliere un percorso valido\nPercorso: %1")
                   .arg(sourceDir.trimmed().isEmpty() ? QStringLiteral("(vuoto)")
                                                      : QDir::toNativeSeparators(QDir(sourceDir).absolutePath())));
    // An installation copied from a case-insensitive file system may write
    // the name in any case.
    const QStringList found = dir.entryList({k.section + QStringLiteral(".cds")}, QDir::Files);
    if (found.isEmpty())
        refuse(QStringLiteral("Non esistono i file nel percorso selezionato\nManca il file %1 in %2")
                   .arg(k.section + QStringLiteral(".CDS"), QDir::toNativeSeparators(dir.absolutePath())));
    m_file = QDir::toNativeSeparators(dir.absoluteFilePath(found.first()));
    try {
        src.loadFromFile(dir.absoluteFilePath(found.first()));
    } catch (const EQxError &e) {
        refuse(e.message() + QStringLiteral("\nNessuna anagrafica è stata importata."), DlgType::Error);
    }
    QStringList missing;
    for (const QString &c : k.copied)
        if (!src.hasField(c))
            missing << c;
    if (!missing.isEmpty())
        refuse(QStringLiteral("Il file %1 non contiene la tabella %2: mancano le colonne %3.\n"
                              "Nessuna anagrafica è stata importata.")
                   .arg(m_file, k.section, missing.join(QStringLiteral(", "))),
               DlgType::Error);
}

void TPreviousRegistryImport::addPerson(const ClientDataSet &src, const QString &codFis, ClientDataSet &dst)
{
    const KindColumns &k = columnsOf(m_kind);
    // Code and names go to the registry record only; a person with nothing
    // else would be saved without a row of the section and be missing when
    // the return is read again. Refused rather than reported as added.
    bool hasOther = false;
    for (const QString &c : k.copied)
        if (c != k.codFis && c != k.cognome && c != k.nome && !src.fieldByName(c)->isNull()
            && !src.fieldByName(c)->asString().trimmed().isEmpty())
            hasOther = true;
    if (!hasOther)
        throw EQxError(QStringLiteral("oltre al codice fiscale e al nominativo non ha alcun dato (sesso, nascita, "
                                      "domicilio): completarla a mano"));
    dst.append();
    for (const QString &c : k.copied) {
        const Field *from = src.fieldByName(c);
        Field *to = dst.fieldByName(c);
        if (c == k.codFis) {
            to->setAsString(codFis);
            continue;
        }
        if (from->isNull())
            continue;
        if (to->type() == FieldType::String) {
            // A text longer than this year's column would be cut: refused.
            const QString value = from->asString().trimmed();
            if (to->size() > 0 && value.size() > to->size())
                throw EQxError(QStringLiteral("il valore \"%1\" di %2 supera la lunghezza del campo (%3 caratteri)")
                                   .arg(value, c)
                                   .arg(to->size()));
            to->setAsString(value);
        } else {
            to->setValue(from->value());
        }
    }
    for (const QString &c : k.zeroed)
        if (Field *f = dst.findField(c))
            f->setAsString(QStringLiteral("0"));
    if (m_kind == PreviousKind::SelfEmployed)
        dst.fieldByName(QStringLiteral("SDAU7GRUPPOANA"))->setAsString(QStringLiteral("A"));
    dst.post();
    m_store.saveCds(k.section, dst);
}

PreviousImportResult TPreviousRegistryImport::run(const QString &sourceDir)
{
    const KindColumns &k = columnsOf(m_kind);
    ClientDataSet src;
    readSource(sourceDir, src);

    ClientDataSet dst;
    m_store.openCds(k.section, dst);
    QSet<QString> present;
    const Field *dstCode = dst.fieldByName(k.codFis);
    for (dst.first(); !dst.eof(); dst.next())
        present.insert(codeOf(dstCode));

    PreviousImportResult result;
    const int total = src.recordCount();
    messages().progress(kPhase, 0, total);
    int row = 0;
    const Field *srcCode = src.fieldByName(k.codFis);
    for (src.first(); !src.eof(); src.next()) {
        ++row;
        const QString codFis = codeOf(srcCode);
        const QString who = (textOf(src, k.cognome) + u' ' + textOf(src, k.nome)).trimmed();
        if (onPerson)
            onPerson(who);
        if (codFis.isEmpty()) {
            ++result.skipped;
            const QString text = QStringLiteral("Anagrafica senza codice fiscale alla riga %1 del file %2: %3. "
                                                "Non è stata importata.")
                                     .arg(row)
                                     .arg(m_file, who.isEmpty() ? QStringLiteral("(senza nome)") : who);
            messages().error(text);
            result.lines << text;
        } else if (present.contains(codFis)) {
            ++result.present;
            result.lines << QStringLiteral("%1 (%2): già presente, non modificato").arg(who, codFis);
        } else {
            TQxTransaction tr(m_conn);
            if (!tr.StartTransaction()) {
                // Someone else's transaction is open on the connection: the
                // person could not be kept apart from it.
                ++result.failed;
                result.lines << QStringLiteral("%1 (%2): non importato, transazione già in corso").arg(who, codFis);
            } else {
                try {
                    addPerson(src, codFis, dst);
                    tr.Commit();
                    present.insert(codFis);
                    ++result.added;
                    result.lines << QStringLiteral("%1 (%2): aggiunto").arg(who, codFis);
                } catch (const std::exception &e) {
                    tr.Rollback();
                    ++result.failed;
                    const QString why = errorText(e);
                    result.lines << QStringLiteral("%1 (%2): non importato: %3").arg(who, codFis, why);
                    messages().error(QStringLiteral("Controllare i dati di %1 (%2) nel file %3:\r\n\r\n%4\r\n\r\n"
                                                    "L'anagrafica non è stata importata.")
                                         .arg(who, codFis, m_file, why));
                    // The dataset holds what was just rolled back: read it again.
                    if (dst.isEditing())
                        dst.cancel();
                    m_store.openCds(k.section, dst);
                }
            }
        }
        messages().progress(kPhase, row, total);
    }
    messages().information(QStringLiteral("Fine operazione\nAnagrafiche aggiunte: %1; già presenti: %2; "
                                          "non importate: %3")
                               .arg(result.added)
                               .arg(result.present)
                               .arg(result.skipped + result.failed));
    return result;
}

} // namespace jex
