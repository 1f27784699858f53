#include "shell/windowprogram.h"

#include "shell/mainwindow.h"
#include "shell/dialogmessages.h"
#include "shell/registry.h"
#include "shell/searchwindow.h"

#include "base/desktop.h"
#include "base/messages.h"
#include "database/params.h"
#include "base/errors.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

namespace jex {

namespace {

class DesktopServices : public Desktop
{
public:
    bool openPath(const QString &path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

} // namespace

JexApplication::JexApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool JexApplication::notify(QObject *receiver, QEvent *event)
{
    // The last boundary of the window program: an exception that escaped a
    // window's handler is shown and the program stays usable, instead of
    // ending it through the event loop.
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort &) {
    } catch (const std::exception &e) {
        messages().error(QStringLiteral("Errore non previsto: ") + errorText(e));
    } catch (...) {
        messages().error(QStringLiteral("Errore non previsto: errore sconosciuto"));
    }
    return false;
}

int runGui(const QString &openItem)
{
    static QtMessageService service;
    setMessageService(&service);
    // Without a real display (offscreen, minimal) there is nothing to open
    // documents on.
    static DesktopServices shell;
    const QString platform = QGuiApplication::platformName();
    const bool shown = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    setDesktop(shown ? &shell : nullptr);
    // Qt's own dialogs (the folder chooser, the standard buttons) speak
    // Italian like the rest of the program, when Qt's translations are
    // installed; without them they stay as Qt ships them.
    static QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // Application-lifetime singletons in start-up order: the registry, then
    // the main window, then the search window.
    TdmJexAttivazioni::instance();
    TfmJexMain::f24epProvider = [] {
        // The first activation fixes the fiscal year of this edition and
        // loads its payroll parameters before the F24 caption is decided.
        zptAnnoFinanziario().SetAnno(QStringLiteral("2024").toInt() - 1969);
        dmZptParams().SetAnnoFinanziario(zptAnnoFinanziario().Id);
        const QVariant v = dmZptParams().ParamField(QStringLiteral("IPACOF24EP"));
        return !(v.isValid() && !v.isNull() && v.toInt() == 0);
    };
    TfmJexMain main;
    TfmQmrRicerca search(&main);
    TfmQmrRicerca::setInstance(&search);

    main.show();
    if (!main.formShow())
        return 1;
    if (!main.formActivate())
        return 1;
    if (!openItem.isEmpty())
        QTimer::singleShot(0, &main, [&main, openItem] {
            if (!TdmJexAttivazioni::instance().item(openItem))
                messages().warning(QStringLiteral("Funzione sconosciuta: %1").arg(openItem));
            else
                main.execute(openItem);
        });
    const int rc = QApplication::exec();
    TfmQmrRicerca::setInstance(nullptr);
    setMessageService(nullptr);
    return rc;
}

} // namespace jex
