#pragma once

// The code lists in force. The program delivers each list as
// USR/YR2024/Res/Tabelle/NAME.CDS; a list the user completes is written to
// USR/YRDati/YR2024/Tabelle/NAME.CDS, among the user's data, and takes the
// place of the delivered one from then on. A new version of the program
// replaces the delivered folder only, so a list the user updated survives it.
// Beside each NAME.CDS a one-line NAME.fonte.txt names where its codes come from.

#include "dataset/dataset.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace jex {

struct CachedCodeList;

struct CodeListInfo
{
    QString name;      // TNOT_NOTE
    QString path;      // the file in force
    QString source;    // its source line
    int rows = 0;
    bool updated = false; // the user's list, not the delivered one
};

struct CodeListLoadResult
{
    int rows = 0;
    int previousRows = 0;
    QString backup; // the list in force before, kept as NAME.CDS.bak; empty if none
};

class CodeLists
{
public:
    CodeLists(const QString &deliveredDir, const QString &userDir);
    // The installation's folders.
    static CodeLists installation();
    static QString userDir(); // USR/YRDati/YR2024/Tabelle/ of the installation

    // "TCDI_DETINDET.cds", "tnot_note" -> "TCDI_DETINDET", "TNOT_NOTE".
    static QString listName(const QString &nameOrFile);

    QStringList names() const; // every list, delivered or the user's, sorted
    bool exists(const QString &name) const { return !filePath(name).isEmpty(); }
    // The file in force for the list; empty when there is no such list.
    QString filePath(const QString &name) const;
    CodeListInfo info(const QString &name) const;
    // Opens the list in force; throws EQxError for an unknown list.
    void open(const QString &name, ClientDataSet &ds) const;

    // Replaces the list with the codes of a file (the format of the delivered
    // sources; header with the list's columns). All or nothing: on any fault
    // EQxError names the line and nothing is written. codeWidth as in
    // CodeListReadOptions.
    CodeListLoadResult load(const QString &name, const QString &file, int codeWidth = 0) const;

    // Whether a code is in the list. A CodeLists object reads each list
    // once, on the first question about it, and keeps its codes; a new
    // object (installation()) reads a list again when its file has changed
    // since. A check over many records asks one object. An unknown or empty
    // list contains nothing.
    bool contains(const QString &name, const QVariant &code) const;
    int rowCount(const QString &name) const;
    // The description of a code (the list's second column); empty when the
    // code is not in the list.
    QString description(const QString &name, const QVariant &code) const;

private:
    struct Memo;
    CachedCodeList list(const QString &name) const;
    QString m_delivered;
    QString m_user;
    std::shared_ptr<Memo> m_memo; // the lists this object has read
};

// The one line the search window shows instead of an empty list.
QString emptyCodeListText(const QString &name);

// What a code field shows beside the code: "14 — description", that the
// code is not in the list, or nothing (no code, or a list not delivered).
QString codeDescriptionText(const CodeLists &lists, const QString &name, const QString &code);

// The width of the narrowest text column of the return that takes the
// list's codes (0 when none): a longer code could not be stored there.
int codeListColumnWidth(const QString &name);

} // namespace jex
