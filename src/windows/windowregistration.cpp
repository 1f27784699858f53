#include "windowregistration.h"

#include "shell/registry.h"

namespace jex {

WindowRegistry &windowRegistry()
{
    static WindowRegistry registry{FormRegistry::instance(), TdmJexAttivazioni::instance()};
    return registry;
}

void registerWindows(WindowRegistry &registry)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    registerEntryWindows(registry);
    registerImportWindows(registry);
    registerFileWizard(registry);
    registerPrintWindows(registry);
    registerTableWindows(registry);
    registerRecipientWindows(registry);
}

} // namespace jex
