#pragma once

#include "base/messages.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace jex {

// Plain viewer of the completeness findings; with the ask flag it asks
// whether to go on ("Si" answers Yes, the OK button reads "No").
class TfmJexInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TfmJexInfo(QWidget *parent = nullptr);
    QPlainTextEdit *meInfo;
    QPushButton *buBloccoNote;
    QLabel *laInfo;
    QPushButton *buYes;
    QPushButton *buOk;
    void setAsk(bool ask);
    void buBloccoNoteClick();
    ModalResult result() const { return m_result; }
    void finishWith(ModalResult r);

    // Test hook: when set, ShowInfo hands it the window instead of running it.
    static std::function<void(TfmJexInfo &)> execHook;

private:
    ModalResult m_result = ModalResult::Cancel;
    bool m_ask = false;
};

ModalResult ShowInfo(const QStringList &lines, bool ask);
// The usual sequence before storing: check, show, go on only on Yes.
bool checkAndAsk(const QList<class ClientDataSet *> &dataSets);

} // namespace jex
