#include "dataset/datasetutil.h"

#include "base/errors.h"
#include "base/paths.h"
#include "database/sqlconnection.h"

#include <QFile>
#include <QFileInfo>

namespace jex {

QString TQmrCds::backupPath(const QString &path)
{
    const QFileInfo fi(path);
    return fi.path() + u'/' + fi.completeBaseName() + QStringLiteral(".BAK");
}

void TQmrCds::BackupFile(const QString &path)
{
    const QString bak = backupPath(path);
    QFile::remove(bak);
    if (!QFile::rename(path, bak))
        throw EQxError(QStringLiteral("Impossibile creare file di backup: ") + bak);
}

void TQmrCds::DeleteBackup(const QString &path)
{
    const QString bak = backupPath(path);
    if (!QFile::remove(bak))
        throw EQxError(QStringLiteral("Impossibile eliminare file di backup: ") + bak);
}

void TQmrCds::LoadCdsFile(ClientDataSet &ds, const QString &path) { ds.loadFromFile(path); }

void TQmrCds::SaveCdsFile(ClientDataSet &ds, const QString &path)
{
    BackupFile(path);
    ds.mergeChangeLog();
    ds.saveToFile(path);
    DeleteBackup(path);
}

void TQmrCds::LoadCdsFromBlob(const QByteArray &blob, ClientDataSet &ds)
{
    ds.close();
    ds.loadFromBytes(blob, QStringLiteral("blob"));
}

QVariant TQmrDataSet::FieldValue(const Field *field, const QVariant &def, bool defaultAssigned)
{
    if (!field)
        return def;
    // Inside a pending change an unchanged field has no new value: its old
    // one stands.
    QVariant v = field->value();
    if (!v.isValid())
        v = field->oldValue();
    if (v.isValid())
        return v;
    if (defaultAssigned && def.isValid())
        return def;
    if (field->isText())
        return QString();
    if (field->isNumeric())
        return field->type() == FieldType::Integer ? QVariant(qint64(0)) : QVariant(0.0);
    return {};
}

QVariant TQmrDataSet::FieldValueOrEmpty(const Field *field) { return FieldValue(field, QVariant(), false); }

void TQmrDataSet::AddCondition(QString &conditions, const QString &condition)
{
    if (!conditions.isEmpty())
        conditions += QStringLiteral(" AND ");
    conditions += u' ' + condition;
}

qint64 TQmrDataSet::NewId(const QString &generator)
{
    TQxSQLConnection *c = globalConnection();
    if (!c)
        throw EQxError(QStringLiteral("Connessione al database non consentita"));
    return c->generateId(generator);
}

QString TQmrDataSet::SubStr(const QString &text, int start, int count)
{
    const int from = start > 0 ? start - 1 : 0;
    return count == 0 ? text.mid(from) : text.mid(from, count);
}

QString TZptUtil::EtcDir() { return Paths::etcDir(); }
QString TZptUtil::UsrDir() { return Paths::usrZptDir(); }

void TZptUtil::CodiceFromCagCode(ClientDataSet &ds)
{
    ds.setIndexFieldNames(ds.hasField(QStringLiteral("IACOMID")) ? QStringLiteral("IACOMID")
                                                                 : QStringLiteral("IANAID"));
    Field *cag = ds.fieldByName(QStringLiteral("SANACAGCODE"));
    Field *codice = ds.fieldByName(QStringLiteral("CODICE"));
    for (ds.first(); !ds.eof(); ds.next()) {
        bool ok = false;
        const qint64 n = cag->asString().trimmed().toLongLong(&ok);
        if (ok && n > 0) {
            const ClientDataSet::Bookmark b = ds.bookmark();
            ds.edit();
            codice->setValue(n);
            ds.post();
            ds.gotoBookmark(b); // the new code must not move the walk
        }
    }
}

} // namespace jex
