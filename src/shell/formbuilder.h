#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace jex {

class ClientDataSet;
class SectionStore;

// A column of the table catalogue, as the form builder needs it.
struct CatalogueColumn
{
    QString name;
    QString type;   // text, integer, decimal, date, flag, code
    int size = 0;
    int decimals = 0;
    QString box;
    QString label;
    QString group;
    QString codeList;
    bool internal = false;
};

struct CatalogueTable
{
    QString name;
    QString caption;
    QString rows;
    QString key;
    QString sort;
    QString entrySort;
    QList<CatalogueColumn> columns;
    const CatalogueColumn *column(const QString &name) const;
};

// Reads the table catalogue of the return (jex.xml) once.
class ShellCatalogue
{
public:
    static const ShellCatalogue &instance();
    static ShellCatalogue load(const QString &path);
    const CatalogueTable *table(const QString &name) const;
    QList<CatalogueTable> tables;
};

// Years shown in labels: the income year, the one before and the one after.
QString fillYearPlaceholders(QString text);

struct FormBuildOptions
{
    QStringList only;     // when not empty: these columns only, in this order
    QStringList skip;     // columns left out
    bool scroll = true;   // scroll area when the page is long
    SectionStore *store = nullptr; // for code lists that are sections
};

// Builds a detail page from the catalogue: one frame per group, each row
// the box number, the label and a data-aware editor of the column's kind.
class FormBuilder
{
public:
    static void buildPage(QWidget *page, const QString &table, ClientDataSet &ds,
                          const FormBuildOptions &options = {});
    // Defines the dataset's fields from the catalogue (for tests and for
    // sections that are not stored yet).
    static void defineFields(ClientDataSet &ds, const QString &table);
};

} // namespace jex
