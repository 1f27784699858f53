#include "gui.h"

#include "foundation/appcontext.h"
#include "foundation/errors.h"
#include "foundation/messages.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>

namespace jex {

int runGui(const QString &)
{
    try {
        if (!AppContext::instance().runStartup())
            return 1;
    } catch (const std::exception &e) {
        QMessageBox::critical(nullptr, QString(), QStringLiteral("Errore non previsto: ") + errorText(e));
        return 1;
    }
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Modello 770/2025 Redditi 2024"));
    w.resize(1024, 700);
    w.show();
    return QApplication::exec();
}

} // namespace jex
