#include "imports/cud/additionaltaxes.h"

#include "base/errors.h"
#include "base/messages.h"
#include "dataset/dataset.h"
#include "sections/sectionstore.h"

#include <QSet>

namespace jex {

const char *const additionalTaxesCaption = "Importi addizionali IRPEF trattenuti ...";

namespace {
const QString anagrafica = QStringLiteral("TDIP7_ANAGRFISCALI");

qint64 money(const ClientDataSet &ds, const char *name)
{
    const Field *f = ds.findField(QString::fromLatin1(name));
    return f && !f->isNull() ? f->asMoney() : 0;
}
} // namespace

bool carryAdditionalTaxes(ClientDataSet &ds)
{
    const qint64 regional = money(ds, "FFIS7ADDREGIRPEF");
    const qint64 balance = money(ds, "FFIS7ADDCOMSA");
    if (regional <= 0 && balance <= 0)
        return false;
    const qint64 advance = money(ds, "FFIS7ADDCOMACC");
    ds.edit();
    ds.fieldByName(QStringLiteral("FFIS7ADDREGRPCESS"))->setAsMoney(regional);
    ds.fieldByName(QStringLiteral("FFIS7ADDCOMRPCESS"))->setAsMoney(balance - advance);
    ds.post();
    return true;
}

AdditionalTaxesResult carryAdditionalTaxes(SectionStore &store, const QStringList &codFis)
{
    AdditionalTaxesResult result;
    ClientDataSet ds;
    store.openCds(anagrafica, ds);
    QSet<QString> wanted;
    for (const QString &cf : codFis)
        wanted.insert(cf.trimmed().toUpper());
    Field *cf = ds.fieldByName(QStringLiteral("SDIP7CODFIS"));
    const int total = ds.recordCount();
    int done = 0;
    const QString caption = QString::fromUtf8(additionalTaxesCaption);
    for (ds.first(); !ds.eof(); ds.next()) {
        messages().progress(caption, ++done, total);
        if (!wanted.isEmpty() && !wanted.contains(cf->asString().trimmed().toUpper()))
            continue;
        try {
            if (carryAdditionalTaxes(ds))
                ++result.carried;
        } catch (const std::exception &e) {
            // Only this person's edit is dropped: what the others received stays.
            if (ds.isEditing())
                ds.cancel();
            const QString person = ds.fieldByName(QStringLiteral("SDIP7COGNOME"))->asString() + u' '
                                   + ds.fieldByName(QStringLiteral("SDIP7NOME"))->asString();
            result.failed << person;
            messages().information(QStringLiteral("Impossibile riportare gli importi delle addizionali IRPEF trattenuti : ")
                                   + person + QStringLiteral("\r\n\r\n") + errorText(e));
        }
    }
    if (ds.hasPendingChanges())
        store.saveCds(anagrafica, ds);
    return result;
}

} // namespace jex
