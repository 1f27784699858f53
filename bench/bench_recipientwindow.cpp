// "Lavoro Dipendente" on a school of many employees: opening the window, and
// moving through the list with the twelve section frames following.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_recipientwindow [recipients] [moves]

#include "recipients/recipientsection.h"
#include "recipients/recipientwindow.h"

#include "base/messages.h"
#include "base/paths.h"
#include "registration.h"
#include "sections/memorystore.h"
#include "windowregistration.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace jex;

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerCore(coreRegistry());
    registerWindows(windowRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                    : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    ScriptedMessageService quiet;
    setMessageService(&quiet);
    const int n = argc > 1 ? atoi(argv[1]) : 5000;
    const int moves = argc > 2 ? atoi(argv[2]) : 100;

    // Every employee with a registry row and one row in each section; INPS
    // and INPDAP with two.
    MemorySectionStore store;
    QElapsedTimer t;
    t.start();
    {
        ClientDataSet &dip = store.table(QStringLiteral("TDIP7_ANAGRFISCALI"));
        dip.setLogChanges(false);
        for (int i = 0; i < n; ++i) {
            dip.append();
            dip.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(QStringLiteral("RSSMRA%1H501X").arg(i, 5, 10, QChar(u'0')));
            dip.fieldByName(QStringLiteral("SDIP7COGNOME"))->setValue(QStringLiteral("COGNOME%1").arg((i * 7919) % n));
            dip.fieldByName(QStringLiteral("SDIP7NOME"))->setValue(QStringLiteral("NOME%1").arg(i % 97));
            dip.fieldByName(QStringLiteral("FFIS7REDDDETR"))->setValue(25000.0 + i);
            dip.fieldByName(QStringLiteral("IAFIID"))->setValue(1000 + i);
            dip.post();
        }
        for (const RecipientSectionDef &d : employeeSectionDefs()) {
            ClientDataSet &ds = store.table(QString::fromLatin1(d.table));
            ds.setLogChanges(false);
            const bool two = QByteArray(d.table).startsWith("TINP");
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < (two ? 2 : 1); ++k) {
                    ds.append();
                    ds.fieldByName(QStringLiteral("SDIP7CODFIS"))->setValue(QStringLiteral("RSSMRA%1H501X").arg(i, 5, 10, QChar(u'0')));
                    ds.fieldByName(QStringLiteral("IAFIID"))->setValue(1000 + i);
                    ds.post();
                }
        }
    }
    const qint64 fill = t.restart();

    {
        ClientDataSet probe;
        store.openCds(QStringLiteral("TDIP7_ANAGRFISCALI"), probe);
    }
    const qint64 openRegistry = t.restart();
    RecipientWindow *w = createRecipientWindow(QStringLiteral("TfmJexDipendente"), &store);
    const qint64 create = t.elapsed();
    w->resize(1200, 800);
    w->show();
    QApplication::processEvents();
    const qint64 open = t.restart();

    std::vector<qint64> each;
    each.reserve(size_t(moves));
    QElapsedTimer one;
    int rows = 0;
    for (int i = 0; i < moves; ++i) {
        one.start();
        w->registry()->acNext->trigger();
        QApplication::processEvents();
        each.push_back(one.nsecsElapsed() / 1000);
        rows += w->section(QStringLiteral("TINPS7_INPS"))->cdsMain.recordCount();
    }
    const qint64 moved = t.restart();
    std::sort(each.begin(), each.end());

    t.restart();
    w->registry()->setSearchText(QStringLiteral("COGNOME12"));
    QApplication::processEvents();
    const qint64 search = t.restart();
    const int found = w->registry()->cdsMain.recordCount();

    std::printf("recipients: %d, section rows: %d\n", n, n * 14);
    std::printf("fill the store: %lld ms\n", (long long)fill);
    std::printf("open the registry table alone (store copy): %lld ms\n", (long long)openRegistry);
    std::printf("open the window and show the list: %lld ms (window made and tables opened: %lld ms)\n",
                (long long)open, (long long)create);
    std::printf("%d moves: %lld ms; per move median %.1f ms, worst %.1f ms (INPS rows seen %d)\n", moves,
                (long long)moved, each.empty() ? 0.0 : each[each.size() / 2] / 1000.0,
                each.empty() ? 0.0 : each.back() / 1000.0, rows);
    std::printf("search \"COGNOME12\" (%d found): %lld ms\n", found, (long long)search);
    delete w;
    setMessageService(nullptr);
    return 0;
}
