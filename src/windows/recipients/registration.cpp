#include "windowregistration.h"

#include "recipients/aggiungiadd.h"
#include "recipients/recipientwindow.h"

#include "base/errors.h"
#include "base/messages.h"
#include "shell/registry.h"

namespace jex {

void registerRecipientWindows(WindowRegistry &registry)
{
    for (const QString &name : {QStringLiteral("TfmJexDipendente"), QStringLiteral("TfmJexAutonomo")})
        registry.forms.add(name, [name](QWidget *parent) -> QWidget * {
            try {
                return createRecipientWindow(name, nullptr, parent);
            } catch (const std::exception &e) {
                messages().error(errorText(e));
                return nullptr;
            }
        });
    registry.forms.add(QStringLiteral("TfmJexAggiungiAdd"), [](QWidget *parent) -> QWidget * {
        try {
            return new TfmJexAggiungiAdd(nullptr, parent);
        } catch (const std::exception &e) {
            messages().error(errorText(e));
            return nullptr;
        }
    });
}

} // namespace jex
