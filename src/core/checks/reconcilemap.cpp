#include "checks/reconcilemap.h"

#include "base/errors.h"
#include "base/paths.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace jex {

namespace {

const QStringList kPersonTables = {QStringLiteral("TDIP7_ANAGRFISCALI"), QStringLiteral("TDSE7_SOMMEEROGATE")};

[[noreturn]] void fault(const QString &path, int line, const QString &what)
{
    throw EQxError(QStringLiteral("%1, riga %2: %3").arg(QFileInfo(path).fileName()).arg(line).arg(what));
}

} // namespace

QString reconcileTableCaption(ReconcileTable table)
{
    switch (table) {
    case ReconcileTable::St1:
        return QStringLiteral("ST I");
    case ReconcileTable::St2:
        return QStringLiteral("ST II");
    case ReconcileTable::Sv:
        return QStringLiteral("SV");
    }
    return {};
}

const ReconcileBox *ReconcileMap::boxOf(ReconcileTable table, ReconcileMeasure measure, const QString &code) const
{
    for (const ReconcileBox &b : boxes)
        if (b.table == table && b.measure == measure && b.codes.contains(code, Qt::CaseInsensitive))
            return &b;
    return nullptr;
}

QStringList ReconcileMap::columnsOf(const QString &table) const
{
    QStringList out;
    for (const ReconcileBox &b : boxes)
        for (const ReconcileColumn &c : b.columns)
            if (c.table.compare(table, Qt::CaseInsensitive) == 0 && !out.contains(c.column, Qt::CaseInsensitive))
                out << c.column;
    return out;
}

ReconcileMap ReconcileMap::load(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EQxError(QStringLiteral("Impossibile aprire il file dei riquadri della quadratura %1").arg(path));
    QDomDocument dom;
    QString error;
    int line = 0;
    if (!dom.setContent(&f, &error, &line))
        fault(path, line, QStringLiteral("XML non valido: %1").arg(error));
    const QDomElement root = dom.documentElement();
    if (root.tagName() != QLatin1String("Quadratura"))
        fault(path, root.lineNumber(), QStringLiteral("l'elemento principale deve essere <Quadratura>"));

    ReconcileMap map;
    map.source = path;
    QSet<QString> ids;
    // A tax code counts in one box only, or the same payment would be
    // compared twice.
    QHash<QString, QString> codeOwner;
    for (QDomElement e = root.firstChildElement(QStringLiteral("Riquadro")); !e.isNull();
         e = e.nextSiblingElement(QStringLiteral("Riquadro"))) {
        ReconcileBox box;
        box.id = e.attribute(QStringLiteral("Id")).trimmed();
        box.caption = e.attribute(QStringLiteral("Descrizione")).trimmed();
        if (box.id.isEmpty() || box.caption.isEmpty())
            fault(path, e.lineNumber(), QStringLiteral("ogni <Riquadro> richiede Id e Descrizione"));
        if (ids.contains(box.id))
            fault(path, e.lineNumber(), QStringLiteral("riquadro %1 ripetuto").arg(box.id));
        ids.insert(box.id);
        const QString table = e.attribute(QStringLiteral("Prospetto")).trimmed().toUpper();
        if (table == QLatin1String("ST1"))
            box.table = ReconcileTable::St1;
        else if (table == QLatin1String("ST2"))
            box.table = ReconcileTable::St2;
        else if (table == QLatin1String("SV"))
            box.table = ReconcileTable::Sv;
        else
            fault(path, e.lineNumber(), QStringLiteral("Prospetto \"%1\" non valido (ST1, ST2 o SV)").arg(table));
        const QString measure = e.attribute(QStringLiteral("Confronto"), QStringLiteral("ritenute")).trimmed().toLower();
        if (measure == QLatin1String("ritenute"))
            box.measure = ReconcileMeasure::Withheld;
        else if (measure == QLatin1String("crediti"))
            box.measure = ReconcileMeasure::Credits;
        else
            fault(path, e.lineNumber(), QStringLiteral("Confronto \"%1\" non valido (ritenute o crediti)").arg(measure));

        for (QDomElement c = e.firstChildElement(QStringLiteral("Certificazione")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("Certificazione"))) {
            ReconcileColumn col;
            col.table = c.attribute(QStringLiteral("Tabella")).trimmed().toUpper();
            col.column = c.attribute(QStringLiteral("Colonna")).trimmed().toUpper();
            const QString sign = c.attribute(QStringLiteral("Segno"), QStringLiteral("+")).trimmed();
            if (!kPersonTables.contains(col.table))
                fault(path, c.lineNumber(),
                      QStringLiteral("Tabella \"%1\" non valida (%2)").arg(col.table, kPersonTables.join(QStringLiteral(" o "))));
            if (col.column.isEmpty())
                fault(path, c.lineNumber(), QStringLiteral("Colonna mancante"));
            if (sign != QLatin1String("+") && sign != QLatin1String("-"))
                fault(path, c.lineNumber(), QStringLiteral("Segno \"%1\" non valido (+ o -)").arg(sign));
            col.sign = sign == QLatin1String("-") ? -1 : 1;
            box.columns << col;
        }
        for (QDomElement c = e.firstChildElement(QStringLiteral("CodiceTributo")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("CodiceTributo"))) {
            const QString code = c.text().trimmed().toUpper();
            if (code.isEmpty() || code.size() > 4)
                fault(path, c.lineNumber(), QStringLiteral("codice tributo \"%1\" non valido (da 1 a 4 caratteri)").arg(code));
            const QString key = reconcileTableCaption(box.table) + QLatin1Char('/') + QString::number(int(box.measure))
                                + QLatin1Char('/') + code;
            if (codeOwner.contains(key))
                fault(path, c.lineNumber(),
                      QStringLiteral("il codice tributo %1 è già nel riquadro %2").arg(code, codeOwner.value(key)));
            codeOwner.insert(key, box.id);
            box.codes << code;
        }
        map.boxes << box;
    }
    if (map.boxes.isEmpty())
        fault(path, root.lineNumber(), QStringLiteral("nessun <Riquadro>"));
    return map;
}

QString reconcileUserMapPath()
{
    return Paths::dataDir() + QStringLiteral("Quadratura.xml");
}

QString reconcileDemoMapPath()
{
    return Paths::resolve(QStringLiteral("USR/YR2024/Res/Quadratura/QuadraturaDemo.xml"));
}

QString reconcileMapPath(bool demoSchool)
{
    const QString user = Paths::resolveIn(Paths::dataDir(), QStringLiteral("Quadratura.xml"));
    if (QFileInfo::exists(user))
        return user;
    return demoSchool ? reconcileDemoMapPath() : Paths::resolve(QStringLiteral("USR/YR2024/Res/Quadratura/Quadratura.xml"));
}

} // namespace jex
