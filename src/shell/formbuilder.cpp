#include "formbuilder.h"

#include "basefr.h"
#include "editors.h"

#include "foundation/dataset.h"
#include "foundation/errors.h"
#include "foundation/paths.h"

#include <QDomDocument>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace jex {

const CatalogueColumn *CatalogueTable::column(const QString &n) const
{
    for (const CatalogueColumn &c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

ShellCatalogue ShellCatalogue::load(const QString &path)
{
    ShellCatalogue cat;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il catalogo delle tabelle %1").arg(path));
    QDomDocument doc;
    if (!doc.setContent(&f))
        throw EQxError(QStringLiteral("Catalogo delle tabelle non valido: %1").arg(path));
    for (QDomElement t = doc.documentElement().firstChildElement(QStringLiteral("table")); !t.isNull();
         t = t.nextSiblingElement(QStringLiteral("table"))) {
        CatalogueTable table;
        table.name = t.attribute(QStringLiteral("name"));
        table.caption = t.attribute(QStringLiteral("caption"));
        table.rows = t.attribute(QStringLiteral("rows"));
        table.key = t.attribute(QStringLiteral("key"));
        table.sort = t.attribute(QStringLiteral("sort"));
        table.entrySort = t.attribute(QStringLiteral("entrySort"), table.sort);
        for (QDomElement c = t.firstChildElement(QStringLiteral("column")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("column"))) {
            CatalogueColumn col;
            col.name = c.attribute(QStringLiteral("name"));
            col.type = c.attribute(QStringLiteral("type"));
            col.size = c.attribute(QStringLiteral("size")).toInt();
            col.decimals = c.attribute(QStringLiteral("decimals")).toInt();
            col.box = c.attribute(QStringLiteral("box"));
            col.label = c.attribute(QStringLiteral("label"));
            col.group = c.attribute(QStringLiteral("group"));
            col.codeList = c.attribute(QStringLiteral("codelist"));
            col.internal = c.attribute(QStringLiteral("internal")) == u"1";
            table.columns << col;
        }
        cat.tables << table;
    }
    return cat;
}

const ShellCatalogue &ShellCatalogue::instance()
{
    static const ShellCatalogue cat = load(Paths::resolveIn(Paths::catalogueDir(), QStringLiteral("jex.xml")));
    return cat;
}

const CatalogueTable *ShellCatalogue::table(const QString &name) const
{
    for (const CatalogueTable &t : tables)
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString fillYearPlaceholders(QString text)
{
    text.replace(QStringLiteral("{anno}"), QStringLiteral("2024"));
    text.replace(QStringLiteral("{annoPrec}"), QStringLiteral("2023"));
    text.replace(QStringLiteral("{annoSucc}"), QStringLiteral("2025"));
    return text;
}

void FormBuilder::defineFields(ClientDataSet &ds, const QString &tableName)
{
    const CatalogueTable *t = ShellCatalogue::instance().table(tableName);
    if (!t)
        throw EQxError(QStringLiteral("Tabella %1 assente dal catalogo").arg(tableName));
    ds.clearFields();
    for (const CatalogueColumn &c : t->columns) {
        if (c.type == u"decimal")
            ds.addField(c.name, FieldType::Currency, 0, c.decimals > 0 ? c.decimals : 2);
        else if (c.type == u"integer")
            ds.addField(c.name, FieldType::Integer);
        else if (c.type == u"date")
            ds.addField(c.name, FieldType::Date);
        else
            ds.addField(c.name, FieldType::String, c.size > 0 ? c.size : (c.type == u"flag" ? 1 : 0));
    }
    ds.createDataSet();
}

void FormBuilder::buildPage(QWidget *page, const QString &tableName, ClientDataSet &ds,
                            const FormBuildOptions &options)
{
    const CatalogueTable *t = ShellCatalogue::instance().table(tableName);
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
        QString caption = fillYearPlaceholders(c->label.isEmpty() ? c->name : c->label);
        field->setDisplayLabel(caption);
        if (!c->box.isEmpty())
            caption = QStringLiteral("%1  %2").arg(c->box, caption);
        QWidget *editor = nullptr;
        if (c->type == u"flag") {
            editor = new DBCheckBox(&ds, c->name, QString(), host);
        } else if (!c->codeList.isEmpty() || c->type == u"code") {
            auto *ce = new DBCodeEdit(&ds, c->name, c->codeList, host);
            if (!c->codeList.endsWith(QStringLiteral(".CDS"), Qt::CaseInsensitive))
                ce->setSectionStore(options.store);
            editor = ce;
        } else {
            auto *de = new DBEdit(&ds, c->name, host);
            if (c->type == u"date" || c->type == u"decimal" || c->type == u"integer")
                de->setMaximumWidth(140);
            editor = de;
        }
        auto *label = new QLabel(caption, host);
        label->setWordWrap(true);
        label->setBuddy(editor);
        form->addRow(label, editor);
    }
    lay->addStretch();
}

} // namespace jex
