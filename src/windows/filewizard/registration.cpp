// The telematic file's wizard window.

#include "windowregistration.h"
#include "shell/registry.h"
#include "filewizard/wizard.h"

namespace jex {

void registerFileWizard(WindowRegistry &registry)
{
    registry.forms.add(QStringLiteral("TfmJexFile"),
                       [](QWidget *parent) -> QWidget * { return new TfmJexFile(parent); });
}

} // namespace jex
