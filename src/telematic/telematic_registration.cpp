// Plugs the telematic file into the shell: its wizard window, and the
// completeness check and information window of the shell.

#include "shell/checkdata.h"
#include "shell/info.h"
#include "shell/registry.h"
#include "telematic/jexffiletel.h"
#include "telematic/jexfiledb.h"

#include <QApplication>

namespace jex {
namespace {

const bool registered = [] {
    FormRegistry::instance().add(QStringLiteral("TfmJexFile"),
                                 [](QWidget *parent) -> QWidget * { return new TfmJexFile(parent); });
    telematicCompletenessCheck() = [](QStringList &lines, const QList<ClientDataSet *> &dataSets, int last) {
        return CheckDataSets(lines, dataSets, last);
    };
    telematicShowInfo() = [](const QStringList &lines, bool ask) -> ModalResult {
        // The information window belongs to the window program; batch runs
        // and tests, which script the message service, are asked through it.
        const bool scripted = dynamic_cast<ScriptedMessageService *>(&messages()) != nullptr;
        if (!scripted && qobject_cast<QApplication *>(QCoreApplication::instance()))
            return ShowInfo(lines, ask);
        const QString text = lines.join(QStringLiteral("\n"));
        if (!ask) {
            messages().information(text);
            return ModalResult::Ok;
        }
        return messages().messageDlg(text + QStringLiteral("\nSi desidera proseguire?"), DlgType::Confirmation,
                                     Buttons::YesNo);
    };
    return true;
}();

} // namespace
} // namespace jex
