#pragma once

#include "dataset/dataset.h"

#include <QString>
#include <QVariant>

namespace jex {

// Client-dataset files with a backup copy.
class TQmrCds
{
public:
    static QString backupPath(const QString &path); // same path, extension ".BAK"
    static void BackupFile(const QString &path);
    static void DeleteBackup(const QString &path);
    static void LoadCdsFile(ClientDataSet &ds, const QString &path);
    // The file must exist: it is renamed to .BAK, the dataset saved, the
    // backup deleted. When the save fails the .BAK copy stays.
    static void SaveCdsFile(ClientDataSet &ds, const QString &path);
    static void LoadCdsFromBlob(const QByteArray &blob, ClientDataSet &ds);
};

// A field's value with defaults, and small SQL helpers.
class TQmrDataSet
{
public:
    // Unassigned default: an invalid QVariant with `assigned` false.
    static QVariant FieldValue(const Field *field, const QVariant &def, bool defaultAssigned = true);
    static QVariant FieldValueOrEmpty(const Field *field);
    static bool HasValue(const QVariant &v) { return v.isValid() && !v.isNull(); }
    static void AddCondition(QString &conditions, const QString &condition);
    static qint64 NewId(const QString &generator);
    static QString SubStr(const QString &text, int start, int count); // start 1-based; count 0 = to the end
};

// Payroll utilities.
class TZptUtil
{
public:
    static QString EtcDir();
    static QString UsrDir();
    static void CodiceFromCagCode(ClientDataSet &ds);
};

} // namespace jex
