// Filter and index of a client dataset on 100,000 records.
// Run: build/bench/bench_dataset [records]

#include "dataset/dataset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <random>

using namespace jex;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 100000;
    ClientDataSet ds;
    ds.addField(QStringLiteral("SSOE7CODICE"), FieldType::String, 11);
    ds.addField(QStringLiteral("SDIP7CODFIS"), FieldType::String, 16);
    ds.addField(QStringLiteral("SPSTMESE"), FieldType::String, 2);
    ds.addField(QStringLiteral("IAFIID"), FieldType::Integer);
    ds.addField(QStringLiteral("FPSTIMPORTO"), FieldType::Currency, 0, 2);
    ds.addField(QStringLiteral("DPSTDTVERS"), FieldType::Date);
    ds.createDataSet();
    ds.setLogChanges(false);

    std::mt19937 rng(20240101);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        ds.append();
        ds.field(0)->setValue(i % 10 == 0 ? QString::number(10000000000LL + i % 7) : QString());
        ds.field(1)->setValue(QStringLiteral("RSSMRA80A01H501%1").arg(QChar(u'A' + int(rng() % 26))));
        ds.field(2)->setValue(QStringLiteral("%1").arg(1 + rng() % 12, 2, 10, QChar(u'0')));
        ds.field(3)->setValue(int(rng() % 5000));
        ds.field(4)->setValue(double(rng() % 1000000) / 100.0);
        ds.field(5)->setValue(QDate(2024, 1, 1).addDays(int(rng() % 366)));
        ds.post();
    }
    const qint64 fill = t.restart();

    ds.setFilter(QStringLiteral("SSOE7CODICE='' or (SSOE7CODICE is null)"));
    ds.setFiltered(true);
    const int declaring = ds.recordCount();
    const qint64 filter = t.restart();

    ds.setFilter(QStringLiteral("IAFIID = 1234 AND SPSTMESE = '03'"));
    const int one = ds.recordCount();
    const qint64 filter2 = t.restart();
    ds.setFiltered(false);

    ds.setIndexFieldNames(QStringLiteral("SSOE7CODICE;SPSTMESE;DPSTDTVERS"));
    const qint64 index = t.restart();

    qint64 sum = 0;
    for (ds.first(); !ds.eof(); ds.next())
        sum += ds.field(4)->asMoney();
    const qint64 scan = t.restart();

    std::printf("records: %d\n", n);
    std::printf("append+post all: %lld ms\n", (long long)fill);
    std::printf("filter declaring agent (%d rows): %lld ms\n", declaring, (long long)filter);
    std::printf("filter IAFIID and month (%d rows): %lld ms\n", one, (long long)filter2);
    std::printf("index on three fields: %lld ms\n", (long long)index);
    std::printf("scan in index order (sum %lld): %lld ms\n", (long long)sum, (long long)scan);
    return 0;
}
