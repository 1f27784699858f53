#pragma once

#include "base/messages.h"

namespace jex {

// Message service of the window program: modal message boxes with the icon
// of the dialog type and Italian buttons.
class QtMessageService : public MessageService
{
public:
    ModalResult messageDlg(const QString &text, DlgType type, Buttons buttons,
                           const QString &caption = {}) override;
    void progress(const QString &line, int done = -1, int total = -1) override;
    ModalResult showFindings(const QStringList &lines, bool ask) override;
};

} // namespace jex
