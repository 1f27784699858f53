// The municipality and foreign-state code lists: the first read of the
// lists, the search window opened on the municipalities (F8 of a
// municipality-code column) and the completeness check of 5,000 employees'
// records: codice fiscale with its place of birth, and a municipality code.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_codelists [codici]

#include "shell/searchwindow.h"
#include "windowregistration.h"

#include "base/paths.h"
#include "checks/codicefiscale.h"
#include "checks/completeness.h"
#include "codelists/codelists.h"
#include "dataset/dataset.h"
#include "registration.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <random>

using namespace jex;

namespace {

double ms(qint64 ns) { return double(ns) / 1e6; }

// The code of a person born in a place, with a valid check character.
QString personCode(std::mt19937 &rng, const QString &place)
{
    static const QString months = QStringLiteral("ABCDEHLMPRST");
    QString s;
    for (int i = 0; i < 6; ++i)
        s += QChar(u'A' + int(rng() % 26));
    s += QStringLiteral("%1").arg(40 + rng() % 60, 2, 10, QChar(u'0'));
    s += months[int(rng() % 12)];
    s += QStringLiteral("%1").arg(1 + rng() % 28 + (rng() % 2 ? 40 : 0), 2, 10, QChar(u'0'));
    s += place;
    return s + personCheckChar(s);
}

QStringList codes(const CodeLists &lists, const QString &name)
{
    ClientDataSet ds;
    lists.open(name, ds);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.field(0)->asString();
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerCore(coreRegistry());
    registerWindows(windowRegistry());
    Paths::setMainDir(qEnvironmentVariableIsSet("JEX770_MAIN_DIR") ? qEnvironmentVariable("JEX770_MAIN_DIR")
                                                                     : QStringLiteral(JEX770_BENCH_MAIN_DIR));
    const int n = argc > 1 ? atoi(argv[1]) : 5000;
    const CodeLists lists = CodeLists::installation();

    QElapsedTimer t;
    t.start();
    const int municipalities = lists.rowCount(QStringLiteral("TCOM_COMUNI"));
    const int ceased = lists.rowCount(QStringLiteral("TCOC_COMUNICESSATI"));
    const int states = lists.rowCount(QStringLiteral("TSTE_STATIESTERI"));
    const qint64 firstRead = t.nsecsElapsed();
    std::printf("first read of the three lists (%d municipalities, %d ceased, %d states): %.1f ms\n",
                municipalities, ceased, states, ms(firstRead));
    if (municipalities == 0) {
        std::fprintf(stderr, "TCOM_COMUNI is empty: build the installation first\n");
        return 1;
    }

    // F8 on a municipality-code column: load the list, order it, show the
    // grid, find the code typed, give it back.
    TfmQmrRicerca &search = *TfmQmrRicerca::instance();
    search.execHook = [](TfmQmrRicerca &r) {
        r.show();
        QApplication::processEvents();
        r.edValue->setText(QStringLiteral("L219"));
        QApplication::processEvents();
        r.hide();
        return int(QDialog::Accepted);
    };
    const QString file = lists.filePath(QStringLiteral("TCOM_COMUNI"));
    QList<qint64> opens;
    QString chosen;
    for (int i = 0; i < 10; ++i) {
        t.restart();
        chosen = search.SearchValue(file, nullptr, nullptr).toString();
        opens << t.nsecsElapsed();
    }
    const qint64 first = opens.first();
    std::sort(opens.begin(), opens.end());
    std::printf("search window on TCOM_COMUNI (open, show, find %s), 10 times: first %.1f ms, best %.1f ms, "
                "median %.1f ms, worst %.1f ms\n",
                qPrintable(chosen), ms(first), ms(opens.first()), ms(opens[opens.size() / 2]), ms(opens.last()));

    // n employees born in municipalities in force, ceased ones and abroad.
    std::mt19937 rng(20250101);
    QStringList places = codes(lists, QStringLiteral("TCOM_COMUNI"));
    places += codes(lists, QStringLiteral("TCOC_COMUNICESSATI"));
    places += codes(lists, QStringLiteral("TSTE_STATIESTERI"));
    ClientDataSet ds;
    ds.addField(QStringLiteral("SDIP7CODFIS"), FieldType::String, 16);
    ds.addField(QStringLiteral("SDIP7DFCODCOM"), FieldType::String, 4);
    ds.createDataSet();
    ds.setLogChanges(false);
    for (int i = 0; i < n; ++i)
        ds.appendRecord({personCode(rng, places[int(rng() % places.size())]), QStringLiteral("H501")});
    // As a window checks its record: the lists in force looked up anew.
    t.restart();
    int findings = 0;
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList lines;
        CheckDataSets(lines, {&ds});
        findings += int(lines.size());
    }
    const qint64 each = t.nsecsElapsed();
    std::printf("completeness check of %d records, one at a time: %.1f ms (%.1f us each), %d findings\n", n,
                ms(each), ms(each) * 1000.0 / n, findings);
    // As a check of the whole return would: one view of the lists.
    t.restart();
    const CodeLists view = CodeLists::installation();
    for (ds.first(); !ds.eof(); ds.next()) {
        QStringList lines;
        CheckDataSets(lines, {&ds}, 0, view);
        findings += int(lines.size());
    }
    const qint64 all = t.nsecsElapsed();
    std::printf("completeness check of %d records with one view of the lists: %.1f ms (%.1f us each), "
                "%d findings\n",
                n, ms(all), ms(all) * 1000.0 / n, findings);
    return findings == 0 ? 0 : 1;
}
