#include "shell/formbuilder.h"

#include "shell/baseframe.h"
#include "catalogue/catalogue.h"
#include "shell/editors.h"

#include "dataset/dataset.h"
#include "base/errors.h"
#include "base/paths.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace jex {

QString fillYearPlaceholders(QString text, const QStringList &years)
{
    int k = 0;
    for (int pos = text.indexOf(QStringLiteral("%s")); pos >= 0; pos = text.indexOf(QStringLiteral("%s"), pos)) {
        const QString y = years.isEmpty() ? QStringLiteral("2024") : years.value(k, years.last());
        text.replace(pos, 2, y);
        pos += int(y.size());
        ++k;
    }
    return text;
}

void FormBuilder::defineFields(ClientDataSet &ds, const QString &tableName)
{
    const CatalogueTable *t = TableCatalogue::instance().table(tableName);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(tableName));
    TableCatalogue::makeDataSet(*t, ds);
}

void FormBuilder::buildPage(QWidget *page, const QString &tableName, ClientDataSet &ds,
                            const FormBuildOptions &options)
{
    const CatalogueTable *t = TableCatalogue::instance().table(tableName);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(tableName));

    QList<const CatalogueColumn *> cols;
    if (!options.only.isEmpty()) {
        for (const QString &n : options.only)
            if (const CatalogueColumn *c = t->column(n))
                cols << c;
    } else {
        for (const CatalogueColumn &c : t->columns)
            if (!c.internal && !options.skip.contains(c.name, Qt::CaseInsensitive))
                cols << &c;
    }

    auto *outer = page->layout() ? qobject_cast<QVBoxLayout *>(page->layout()) : new QVBoxLayout(page);
    QWidget *host = page;
    QVBoxLayout *lay = outer;
    if (options.scroll) {
        auto *scroll = new QScrollArea(page);
        scroll->setObjectName(QStringLiteral("sb") + tableName);
        scroll->setWidgetResizable(true);
        host = new QWidget;
        lay = new QVBoxLayout(host);
        scroll->setWidget(host);
        outer->addWidget(scroll);
    }

    QString currentGroup;
    QFormLayout *form = nullptr;
    for (const CatalogueColumn *c : cols) {
        Field *field = ds.findField(c->name);
        if (!field)
            continue;
        if (!form || c->group != currentGroup) {
            currentGroup = c->group;
            auto *box = new QGroupBox(fillYearPlaceholders(currentGroup), host);
            box->setObjectName(QStringLiteral("gb") + QString(currentGroup).remove(u' '));
            form = new QFormLayout(box);
            form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
            lay->addWidget(box);
        }
        QString caption = fillYearPlaceholders(c->label.isEmpty() ? c->name : c->label, options.labelYears.value(c->name));
        field->setDisplayLabel(caption);
        if (!c->box.isEmpty())
            caption = QStringLiteral("%1  %2").arg(c->box, caption);
        QWidget *editor = nullptr;
        if (c->kind == ColumnKind::Flag) {
            editor = new DBCheckBox(&ds, c->name, QString(), host);
        } else if (!c->codelist.isEmpty() || c->kind == ColumnKind::Code) {
            auto *ce = new DBCodeEdit(&ds, c->name, c->codelist, host);
            if (!c->codelist.endsWith(QStringLiteral(".CDS"), Qt::CaseInsensitive))
                ce->setSectionStore(options.store);
            editor = ce;
        } else {
            auto *de = new DBEdit(&ds, c->name, host);
            // Short values get short boxes: a month does not need the width
            // of an address.
            if (c->kind == ColumnKind::Date || c->kind == ColumnKind::Decimal || c->kind == ColumnKind::Integer
                || (c->kind == ColumnKind::Text && c->size > 0 && c->size <= 5))
                de->setMaximumWidth(140);
            else if (c->kind == ColumnKind::Text && c->size > 0 && c->size <= 16)
                de->setMaximumWidth(220);
            editor = de;
        }
        auto *label = new QLabel(caption, host);
        label->setWordWrap(true);
        // A wrapped label in a form layout gets the height of one line unless
        // it is told its own: fix the width and ask the height for it.
        constexpr int labelWidth = 300;
        label->setFixedWidth(labelWidth);
        label->setMinimumHeight(label->heightForWidth(labelWidth));
        label->setBuddy(editor);
        form->addRow(label, editor);
    }
    lay->addStretch();
}

} // namespace jex
