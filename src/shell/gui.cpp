#include "gui.h"

#include "mainwindow.h"
#include "qtmessages.h"
#include "registry.h"
#include "ricerca.h"

#include "foundation/messages.h"
#include "foundation/params.h"

#include <QApplication>
#include <QTimer>

namespace jex {

int runGui(const QString &openItem)
{
    static QtMessageService service;
    setMessageService(&service);

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
    main.formActivate();
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
