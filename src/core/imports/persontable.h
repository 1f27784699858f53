#pragma once

// One table of the return seen person by person: its rows grouped by the
// codice fiscale, read once per run, and a working dataset that holds the
// current person's rows. Saving the working dataset sends that person's
// changes only, so each person can be one transaction of its own.

#include "dataset/dataset.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariantList>

namespace jex {

class SectionStore;

// The grouping key of a codice fiscale: trimmed, upper case.
QString personKey(const QString &codFis);

struct PersonTable
{
    QString name;
    QString keyColumn;
    // Rows grouped by the key as stored, not trimmed nor upper-cased: the
    // person's rows are then exactly those a filter on the code would show.
    bool exactKey = false;
    ClientDataSet ds;
    QHash<QString, QList<QVariantList>> rows; // values as stored, in field order

    // Reads every row of the section from the store.
    void open(SectionStore &store);
    // Takes the rows of a dataset already read (for example from a file).
    void fill(ClientDataSet &all);

    // The working dataset holds the person's rows, with no pending change.
    // With `keep` the rows stay available for a later load.
    void load(const QString &person, bool keep = false);
    bool has(const QString &person) const { return rows.contains(keyOf(person)); }
    QString keyOf(const QString &person) const { return exactKey ? person : personKey(person); }

    // The working dataset's rows become the person's rows of a later load.
    void keepWorkingRows(const QString &person);

    // Deletes every row of the working dataset.
    void clear();

    // Puts the person's record matching the key into edit state, or appends
    // one; true when appended.
    bool editOrAppend(const QList<QPair<QString, QString>> &key);

    // Records written without the registry link get the one of the owner.
    void link(qint64 afiId);

    void save(SectionStore &store);
};

} // namespace jex
