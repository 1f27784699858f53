#pragma once

#include <QString>
#include <QStringList>
#include <QList>
#include <memory>

namespace jex {

// Every message the program shows goes through one service, so that the
// window program shows dialogs while batch runs and tests see and answer them.
enum class DlgType { Information, Warning, Error, Confirmation };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class ModalResult { None, Ok, Cancel, Yes, No };

struct ShownMessage
{
    DlgType type;
    QString text;
    QString caption;
    Buttons buttons;
    ModalResult answer;
};

class MessageService
{
public:
    virtual ~MessageService() = default;
    // QxMessageDlg: a dialog with an icon by type and a button set.
    virtual ModalResult messageDlg(const QString &text, DlgType type, Buttons buttons,
                                   const QString &caption = {}) = 0;
    // Progress of a long operation: what it is doing and, when it can tell,
    // how far it is (done of total). The window program shows the text and a
    // progress bar in its status bar; batch runs keep one updated line on a
    // terminal and print each phase once otherwise.
    virtual void progress(const QString &, int done = -1, int total = -1) { (void)done; (void)total; }
    // The findings of a completeness check; with ask, Yes only when the user
    // wants to go on. The window program shows its information window.
    virtual ModalResult showFindings(const QStringList &lines, bool ask);

    // Shorthands.
    void information(const QString &text, const QString &caption = {})
    { messageDlg(text, DlgType::Information, Buttons::Ok, caption); }
    void warning(const QString &text, const QString &caption = {})
    { messageDlg(text, DlgType::Warning, Buttons::Ok, caption); }
    void error(const QString &text, const QString &caption = {})
    { messageDlg(text, DlgType::Error, Buttons::Ok, caption); }
    bool confirm(const QString &text, const QString &caption = {})
    { return messageDlg(text, DlgType::Confirmation, Buttons::YesNo, caption) == ModalResult::Yes; }
};

// Answers questions from a script (first queued answer first) or with a
// default, and records every text shown. With an echo stream it prints each
// message as the user would read it.
class ScriptedMessageService : public MessageService
{
public:
    explicit ScriptedMessageService(ModalResult defaultAnswer = ModalResult::Yes,
                                    bool echo = false);
    ModalResult messageDlg(const QString &text, DlgType type, Buttons buttons,
                           const QString &caption = {}) override;
    void progress(const QString &line, int done = -1, int total = -1) override;

    void queueAnswer(ModalResult answer) { m_script.append(answer); }
    void setDefaultAnswer(ModalResult answer) { m_default = answer; }
    void setEcho(bool echo) { m_echo = echo; }

    const QList<ShownMessage> &shown() const { return m_shown; }
    QStringList texts() const;
    QStringList progressLines() const { return m_progress; }
    bool contains(const QString &fragment) const;
    void clear() { m_shown.clear(); m_progress.clear(); }

private:
    void endOpenLine();

    QList<ModalResult> m_script;
    QList<ShownMessage> m_shown;
    QStringList m_progress;
    ModalResult m_default;
    bool m_echo;
    bool m_openLine = false;
    QString m_lastUncounted;
};

// The service in force; a scripted one until the window program installs its own.
MessageService &messages();
void setMessageService(MessageService *service); // not owned; nullptr restores the default
QString dlgTypeName(DlgType type);

} // namespace jex
