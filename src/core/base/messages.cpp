#include "base/messages.h"

#include <cstdio>
#include <unistd.h>

namespace jex {

ScriptedMessageService::ScriptedMessageService(ModalResult defaultAnswer, bool echo)
    : m_default(defaultAnswer), m_echo(echo)
{
}

static ModalResult fitAnswer(ModalResult answer, Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return ModalResult::Ok;
    case Buttons::OkCancel:
        return answer == ModalResult::Cancel || answer == ModalResult::No ? ModalResult::Cancel
                                                                          : ModalResult::Ok;
    case Buttons::YesNo:
        return answer == ModalResult::No || answer == ModalResult::Cancel ? ModalResult::No
                                                                          : ModalResult::Yes;
    case Buttons::YesNoCancel:
        return answer == ModalResult::Ok ? ModalResult::Yes : answer;
    }
    return answer;
}

static const char *answerName(ModalResult r)
{
    switch (r) {
    case ModalResult::Yes: return "Sì";
    case ModalResult::No: return "No";
    case ModalResult::Cancel: return "Annulla";
    case ModalResult::Ok: return "OK";
    default: return "";
    }
}

QString dlgTypeName(DlgType type)
{
    switch (type) {
    case DlgType::Information: return QStringLiteral("Informazione");
    case DlgType::Warning: return QStringLiteral("Attenzione");
    case DlgType::Error: return QStringLiteral("Errore");
    case DlgType::Confirmation: return QStringLiteral("Conferma");
    }
    return {};
}

ModalResult ScriptedMessageService::messageDlg(const QString &text, DlgType type,
                                               Buttons buttons, const QString &caption)
{
    ModalResult answer = m_script.isEmpty() ? m_default : m_script.takeFirst();
    answer = fitAnswer(answer, buttons);
    m_shown.append({type, text, caption, buttons, answer});
    m_lastUncounted.clear(); // a phase announced after a dialog is a new one
    if (m_echo) {
        endOpenLine();
        QString line = dlgTypeName(type) + QStringLiteral(": ") + text;
        if (buttons != Buttons::Ok)
            line += QStringLiteral(" [risposta: %1]").arg(QString::fromUtf8(answerName(answer)));
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
        std::fflush(stderr);
    }
    return answer;
}

void ScriptedMessageService::endOpenLine()
{
    // A message after a progress line that is still being rewritten starts
    // on a line of its own.
    if (m_openLine) {
        std::fputc('\n', stderr);
        m_openLine = false;
    }
}

void ScriptedMessageService::progress(const QString &line, int done, int total)
{
    const bool counted = total > 0 && done >= 0;
    // Every phase is recorded once, not every step of it: a phase announced
    // by its caption and then counted under the same caption, or announced
    // again because it has nothing to count, is one phase.
    const bool repeated = (!counted || done == 0) && m_lastUncounted == line;
    m_lastUncounted = counted ? QString() : line;
    if ((!counted || done == 0) && !repeated)
        m_progress.append(line);
    if (!m_echo)
        return;
    static const bool terminal = isatty(fileno(stderr));
    if (repeated && (!terminal || !counted))
        return;
    if (counted && terminal) {
        // One line that is rewritten as the work goes on.
        std::fprintf(stderr, "\r%s %d/%d\033[K", line.toUtf8().constData(), done, total);
        m_openLine = done < total;
        if (!m_openLine)
            std::fputc('\n', stderr);
    } else if (!counted || done == 0) {
        endOpenLine();
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    }
    std::fflush(stderr);
}

QStringList ScriptedMessageService::texts() const
{
    QStringList all;
    for (const auto &m : m_shown)
        all << m.text;
    return all;
}

bool ScriptedMessageService::contains(const QString &fragment) const
{
    for (const auto &m : m_shown)
        if (m.text.contains(fragment))
            return true;
    return false;
}

static ScriptedMessageService &fallback()
{
    static ScriptedMessageService service(ModalResult::Yes, true);
    return service;
}

static MessageService *g_service = nullptr;

MessageService &messages() { return g_service ? *g_service : fallback(); }
void setMessageService(MessageService *service) { g_service = service; }

ModalResult MessageService::showFindings(const QStringList &lines, bool ask)
{
    const QString text = lines.join(QStringLiteral("\n"));
    if (!ask) {
        information(text);
        return ModalResult::Ok;
    }
    return messageDlg(text + QStringLiteral("\nSi desidera proseguire?"), DlgType::Confirmation, Buttons::YesNo);
}

} // namespace jex
