#pragma once

#include "shell/registry.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QMdiArea;
class QMenu;
class QSplitter;
class QToolBox;

namespace jex {

// The multi-document main window: navigation bar on the left built from the
// function registry, document windows in the MDI area.
class TfmJexMain : public QMainWindow, public WindowHost
{
    Q_OBJECT
public:
    explicit TfmJexMain(QWidget *parent = nullptr);
    ~TfmJexMain() override;

    static TfmJexMain *instance();

    QToolBox *mxOLBar = nullptr;
    QMdiArea *mdiArea = nullptr;
    QMenu *miFile = nullptr;
    QMenu *miHelp = nullptr;
    QAction *ac1024 = nullptr;
    QAction *acIstruzioni = nullptr;
    QAction *acAid = nullptr;
    QAction *acReportMan = nullptr;
    QAction *miInvioTele = nullptr;
    QAction *acTutteLeFunzioni = nullptr; // the user's setting, kept in the parameters

    // Shows or hides the functions the registry hides by default, rebuilds
    // the navigation and keeps the choice in the parameter store.
    void setAllFunctions(bool on);

    // Opens the database and runs the start-up checks, with the hourglass;
    // false when the application must end (the user has been told).
    bool formShow();
    // Builds the navigation from the registry (first activation).
    // False when the first activation failed; the user has been told.
    bool formActivate();
    bool execute(const QString &item);

    // The F24 caption depends on a payroll parameter; the parameter module
    // provides it when present.
    static std::function<bool()> f24epProvider;

    // WindowHost
    bool hasDocumentWindows() const override;
    bool activateWindowOf(const QString &item) override;
    void showWindow(const RegistryItem &item, QWidget *window) override;
    void openDocument(const QString &path) override;
    QString chooseDirectory() override;
    QWidget *parentWidget() override { return this; }

    QStringList navigationCaptions() const; // page captions of the bar

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    void buildMenus();
    void buildNavigation();
    bool m_activated = false;
    QList<QMenu *> m_navigationMenus; // built from the registry, rebuilt with it
};

} // namespace jex
