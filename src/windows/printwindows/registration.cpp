// Hands the print windows and the control reports to the function registry:
// the windows by class name, the reports as hooks that write the file the
// registry item names.

#include "printwindows/printwindows.h"
#include "windowregistration.h"
#include "printing/sectionprints.h"

#include "shell/registry.h"

#include <QDialog>

namespace jex {

void registerPrintWindows(WindowRegistry &registry)
{
    for (const QString &className : printWindowClassNames()) {
        registry.forms.add(className, [className](QWidget *parent) -> QWidget * {
            return createPrintWindow(className, parent);
        });
    }

    using Report = bool (TdmJexProspSTPDF::*)(const QString &);
    const struct
    {
        const char *item;
        Report print;
    } reports[] = {
        {"xafRiepilogoINPS", &TdmJexProspSTPDF::PrintRiepilogoINPS},
        {"xafRiepilogoTassSep", &TdmJexProspSTPDF::PrintRiepilogoTassSep},
        {"xafRiepilogoIRPEF", &TdmJexProspSTPDF::PrintRiepilogoIRPEF},
        {"xafRiepilogoINPDAP", &TdmJexProspSTPDF::PrintRiepilogoINPDAP},
        {"xafRiepilogoAutonomi", &TdmJexProspSTPDF::PrintRiepilogoAutonomi},
    };
    for (const auto &r : reports) {
        const Report print = r.print;
        registry.hooks.setHook(QLatin1String(r.item), [print](const ItemContext &ctx) {
            // The report itself opens its folder and file once saved, and
            // only where a desktop is there to show them.
            TdmJexProspSTPDF module;
            module.openAfterReport = true;
            (module.*print)(ctx.path);
        });
    }
}

} // namespace jex
