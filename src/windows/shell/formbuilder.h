#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace jex {

class ClientDataSet;
class SectionStore;

// Labels hold "%s" where a year goes: each is filled in turn from `years`
// (the income year 2024 when none are given; frames pass 2023 or 2025 where
// the form names the year before or after).
QString fillYearPlaceholders(QString text, const QStringList &years = {});

struct FormBuildOptions
{
    QStringList only;     // when not empty: these columns only, in this order
    QStringList skip;     // columns left out
    bool scroll = true;   // scroll area when the page is long
    SectionStore *store = nullptr; // for code lists that are sections
    QHash<QString, QStringList> labelYears; // column -> years for its "%s"
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
