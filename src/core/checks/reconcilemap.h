#pragma once

// Which certification columns and which tax codes make up each box of the
// reconciliation: the file "Quadratura.xml". The program delivers the boxes
// and their columns; the tax codes that public sources do not confirm are
// left for the school to complete in its own copy of the file, among its
// data, which takes the place of the delivered one.

#include <QList>
#include <QString>
#include <QStringList>

namespace jex {

enum class ReconcileTable { St1, St2, Sv };
enum class ReconcileMeasure { Withheld, Credits };

// "ST I", "ST II", "SV".
QString reconcileTableCaption(ReconcileTable table);

struct ReconcileColumn
{
    QString table;  // TDIP7_ANAGRFISCALI or TDSE7_SOMMEEROGATE
    QString column;
    int sign = 1;
};

struct ReconcileBox
{
    QString id;
    QString caption;
    ReconcileTable table = ReconcileTable::St1;
    ReconcileMeasure measure = ReconcileMeasure::Withheld;
    QList<ReconcileColumn> columns;
    QStringList codes;
};

struct ReconcileMap
{
    QString source; // the file it was read from
    QList<ReconcileBox> boxes;

    // The box a tax code of a summary table belongs to for a measure, or nullptr.
    const ReconcileBox *boxOf(ReconcileTable table, ReconcileMeasure measure, const QString &code) const;
    // Every certification column of a person's table the boxes name.
    QStringList columnsOf(const QString &table) const;

    // Reads a map file; throws EQxError naming the file and the line of a fault.
    static ReconcileMap load(const QString &path);
};

// The file in force: the school's own copy when there is one
// ("USR/YRDati/YR2024/Quadratura.xml"), otherwise, on the demo school, the
// demo's codes, otherwise the delivered file.
QString reconcileMapPath(bool demoSchool);
QString reconcileUserMapPath();
// The demo school's codes, which the demo's payments are made from.
QString reconcileDemoMapPath();

} // namespace jex
