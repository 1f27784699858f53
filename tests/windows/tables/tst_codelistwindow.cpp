// "Tabelle codici": the list shown, a file loaded into it, a bad file
// refused with the list left as it was, and the window reached from the
// "Tabelle" page.

#include "tables/codelistwindow.h"
#include "shell/registry.h"

#include "base/messages.h"
#include "codelists/codelistfile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include "windowtest.h"

#include <QtTest>

using namespace jex;

class TstCodeListWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    ScriptedMessageService m_messages;

    QString file(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_tmp.filePath(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return f.fileName();
    }

    CodeLists lists(const QString &tag)
    {
        const QString delivered = m_tmp.filePath(tag + QStringLiteral("/Res"));
        QDir().mkpath(delivered);
        for (const auto &[name, text] : {std::pair{"TEEC_EVENTIECCEZIONALI", "CODICE:I\tDESCRIZIONE:S:40\n1\tEstorsione\n"},
                                         std::pair{"TNOT_NOTE", "CODICE:S:5\tDESCRIZIONE:S:40\n"}}) {
            ClientDataSet ds;
            readCodeListText(text, QString::fromUtf8(name), {}, ds);
            ds.saveToFile(delivered + u'/' + QString::fromUtf8(name) + QStringLiteral(".CDS"));
        }
        return CodeLists(delivered, m_tmp.filePath(tag + QStringLiteral("/Utente")));
    }

private Q_SLOTS:
    void init()
    {
        m_messages.clear();
        setMessageService(&m_messages);
    }
    void cleanup() { setMessageService(nullptr); }

    void showsAndLoadsAList()
    {
        const CodeLists l = lists(QStringLiteral("a"));
        TfmJexTabelleCodici w(nullptr, &l);
        QCOMPARE(w.cbTabella->count(), 2);
        QCOMPARE(w.grCodici->model()->rowCount(), 1); // the first list, TEEC
        w.cbTabella->setCurrentIndex(1);
        QCOMPARE(w.grCodici->model()->rowCount(), 0);
        QVERIFY2(w.laFonte->text().contains(emptyCodeListText(QStringLiteral("TNOT_NOTE"))), qPrintable(w.laFonte->text()));

        w.chooseFile = [this](QWidget *) {
            return file(QStringLiteral("note.csv"), "# Fonte: istruzioni\nCODICE;DESCRIZIONE\n20;Sospesi\n21;Altro\n");
        };
        w.buCarica->click();
        QCOMPARE(w.grCodici->model()->rowCount(), 2);
        QCOMPARE(w.grCodici->model()->index(0, 0).data().toString(), QStringLiteral("20"));
        QVERIFY2(w.laFonte->text().contains(QStringLiteral("2 codici, caricati dall'utente")), qPrintable(w.laFonte->text()));
        QCOMPARE(m_messages.shown().size(), 1);
        QCOMPARE(m_messages.shown().first().type, DlgType::Information);
        QVERIFY(l.contains(QStringLiteral("TNOT_NOTE"), QStringLiteral("21")));
    }

    void badFileLeavesTheList()
    {
        const CodeLists l = lists(QStringLiteral("b"));
        TfmJexTabelleCodici w(nullptr, &l);
        w.cbTabella->setCurrentIndex(0);
        w.chooseFile = [this](QWidget *) {
            return file(QStringLiteral("eventi.csv"), "CODICE;DESCRIZIONE\n1;Estorsione\nX;Altro\n");
        };
        w.buCarica->click();
        QCOMPARE(m_messages.shown().size(), 1);
        QCOMPARE(m_messages.shown().first().type, DlgType::Error);
        QVERIFY2(m_messages.texts().first().contains(QStringLiteral("eventi.csv, riga 3: il codice \"X\" non è un numero intero")),
                 qPrintable(m_messages.texts().first()));
        QVERIFY(m_messages.texts().first().contains(QStringLiteral("La tabella TEEC_EVENTIECCEZIONALI non è stata modificata.")));
        QCOMPARE(w.grCodici->model()->rowCount(), 1);
        QVERIFY(!l.info(QStringLiteral("TEEC_EVENTIECCEZIONALI")).updated);
        // Cancelling the file dialog does nothing.
        m_messages.clear();
        w.chooseFile = [](QWidget *) { return QString(); };
        w.buCarica->click();
        QVERIFY(m_messages.shown().isEmpty());
    }

    void reachedFromTheTablesPage()
    {
        const RegistryItem *item = TdmJexAttivazioni::instance().item(QStringLiteral("xafTabelleCodici"));
        QVERIFY(item);
        QVERIFY(TdmJexAttivazioni::instance().isAvailable(*item));
        QCOMPARE(item->page, QStringLiteral("xpgTabelle"));
        QCOMPARE(item->caption, QStringLiteral("Tabelle codici"));
        std::unique_ptr<QWidget> w(FormRegistry::instance().create(item->formClass));
        QVERIFY(qobject_cast<TfmJexTabelleCodici *>(w.get()));
    }
};

JEX_WINDOW_TEST_MAIN(TstCodeListWindow)
#include "tst_codelistwindow.moc"
