#pragma once

#include <QApplication>
#include <QString>

namespace jex {

// The window program's application: an exception that leaves an event
// handler is shown as "Errore non previsto: " with its message.
class JexApplication : public QApplication
{
public:
    JexApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

// Runs the window program; `openItem` names a function of the registry to
// open at once. Returns the exit code.
int runGui(const QString &openItem);

} // namespace jex
