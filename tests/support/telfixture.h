#pragma once

// A return in memory with the delivered record layouts, for the tests of the
// telematic file.

#include "base/messages.h"
#include "telematic/generation.h"
#include "sections/memorystore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>

namespace jex::test {

inline QString sourceDir() { return qEnvironmentVariable("JEX770_SOURCE_DIR"); }
inline QString layoutsDir() { return sourceDir() + QStringLiteral("/data/USR/YR2024/Res/FileTel/"); }
inline QString catalogueFile() { return sourceDir() + QStringLiteral("/data/USR/YR2024/Res/Catalogo/jex.xml"); }

// Copies the delivered layouts into a folder with the module heads of
// records D and I no longer naming the module's extinct agent.
inline bool copyLayoutsWithoutModuleAgent(const QString &dir)
{
    const QDir from(layoutsDir());
    for (const QString &name : from.entryList(QDir::Files)) {
        QFile in(from.filePath(name));
        QFile out(QDir(dir).filePath(name));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        QByteArray text = in.readAll();
        text.replace(R"(Info="O@" Fixed="" Cds="cdsSostModulo" Field="SSOE7CODICE")", R"(Info="OF" Fixed="" Cds="" Field="")");
        out.write(text);
    }
    return true;
}

struct TelFixture
{
    QTemporaryDir tmp;
    MemorySectionStore store{catalogueFile()};
    TdmJexFile dm;
    QStringList info;

    TelFixture()
    {
        dm.store = &store;
        dm.layoutDir = layoutsDir();
        dm.addInfo = [this](const QString &l) { info.append(l); };
        row("TFOR_FORNITORE", {{"SFORCODFIS", "80012345676"}, {"STFOCODICE", "01"}});
        row("TSOS_DATOSOSTITUTO", {{"SSOSCODFIS", "80012345676"}, {"SSOSDENOM", "ISTITUTO COMPRENSIVO DI PROVA"}});
    }

    void row(const char *table, const QVariantMap &values)
    {
        ClientDataSet &ds = store.table(QString::fromLatin1(table));
        ds.append();
        for (auto it = values.begin(); it != values.end(); ++it)
            ds.fieldByName(it.key())->setValue(it.value());
        ds.post();
        ds.mergeChangeLog();
    }

    void stRow(int month, double amount, const QString &agent = {})
    {
        row("TPST_PROSPETTOST", {{"SSOE7CODICE", agent.isEmpty() ? QVariant() : QVariant(agent)},
                                 {"SPSTMESE", QString::number(month)}, {"SPSTANNO", "2024"},
                                 {"FPSTRITOPEARTE", amount}, {"FPSTIMPOVERSATO", amount},
                                 {"SPSTCODTRIBUTO", "100E"}, {"DPSTDTVERS", QDate(2024, 1, 16).addMonths(month)}});
    }

    void svRow(int month, double amount, const QString &agent = {})
    {
        row("TPSV_PROSPETTOSV", {{"SSOE7CODICE", agent.isEmpty() ? QVariant() : QVariant(agent)},
                                 {"SPSVMESE", QString::number(month)}, {"SPSVANNO", "2024"},
                                 {"FPSVTRATTEFF", amount}, {"FPSVIMPVERS", amount}, {"SPSVCODTRIBCAP", "381E"}});
    }

    // The generation as the wizard runs it, without a window.
    void generate()
    {
        dm.openTables();
        dm.runGeneration();
    }

    // Field texts of the working table: code letter, module, text.
    struct Stored { QString code; int module; QString text; };
    QList<Stored> stored()
    {
        QList<Stored> out;
        for (const FieldText &f : dm.fieldTexts())
            out.append({f.code, f.module, f.text});
        return out;
    }
    QStringList codes(const QString &record, int module = 0)
    {
        QStringList out;
        for (const Stored &s : stored())
            if (s.code == record && (module == 0 || s.module == module) && s.text.size() == 24)
                out.append(s.text.left(8));
        return out;
    }

    QStringList writeFile(const QString &name = QStringLiteral("77025"))
    {
        dm.BuildFile();
        return dm.WriteTelematicFile(tmp.filePath(name));
    }

    static QStringList lines(const QString &file)
    {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        const QByteArray all = f.readAll();
        QStringList out;
        for (const QByteArray &l : all.split('\n'))
            if (!l.isEmpty())
                out.append(QString::fromLatin1(l));
        return out; // each still ends with CR
    }
};

} // namespace jex::test
