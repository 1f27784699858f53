// The telematic file's wizard window.

#include "windowregistration.h"
#include "shell/registry.h"
#include "filewizard/wizard.h"
#include "filewizard/checkfilewindow.h"

namespace jex {

void registerFileWizard(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexFile"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexFile(parent); });
    registry.forms.add(QStringLiteral("TfmJexCheckFile"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexCheckFile(parent); });
}

} // namespace jex
