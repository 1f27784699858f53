// Hands the print windows and the control reports to the function registry:
// the windows by class name, the reports as hooks that write the file the
// registry item names.

#include "printwindows/printwindows.h"
#include "windowregistration.h"
#include "printing/sectionprints.h"
#include "checks/reconcilerun.h"

#include "base/errors.h"
#include "base/messages.h"

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

    // "Quadratura CU / 770 / F24", in "Stampe" and in "Riepiloghi": the
    // reconciliation run on the saved return, then printed and opened.
    for (const char *item : {"xafQuadratura", "xafRiepilogoQuadratura"}) {
        registry.hooks.setHook(QLatin1String(item), [](const ItemContext &ctx) {
            try {
                ReconcileJob job = programReconcileJob();
                const ReconcileReport &report = job.run();
                if (printReconciliation(report, ctx.path, true))
                    messages().messageDlg(report.summary(),
                                          report.flagged() ? DlgType::Warning : DlgType::Information, Buttons::Ok);
            } catch (const EAbort &) {
            } catch (const std::exception &e) {
                messages().error(errorText(e));
            }
        });
    }
}

} // namespace jex
