#include "shell/dialogmessages.h"
#include "shell/infowindow.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace jex {

ModalResult QtMessageService::messageDlg(const QString &text, DlgType type, Buttons buttons,
                                         const QString &caption)
{
    QMessageBox box(QApplication::activeWindow());
    switch (type) {
    case DlgType::Information: box.setIcon(QMessageBox::Information); break;
    case DlgType::Warning: box.setIcon(QMessageBox::Warning); break;
    case DlgType::Error: box.setIcon(QMessageBox::Critical); break;
    case DlgType::Confirmation: box.setIcon(QMessageBox::Question); break;
    }
    QString title = caption;
    if (title.isEmpty()) {
        switch (type) {
        case DlgType::Information: title = QStringLiteral("Informazione"); break;
        case DlgType::Warning: title = QStringLiteral("Attenzione"); break;
        case DlgType::Error: title = QStringLiteral("Errore"); break;
        case DlgType::Confirmation: title = QStringLiteral("Conferma"); break;
        }
    }
    box.setWindowTitle(title);
    box.setText(text);
    QHash<QAbstractButton *, ModalResult> results;
    auto add = [&](const QString &label, QMessageBox::ButtonRole role, ModalResult r) {
        results.insert(box.addButton(label, role), r);
    };
    switch (buttons) {
    case Buttons::Ok:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, ModalResult::Ok);
        break;
    case Buttons::OkCancel:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, ModalResult::Ok);
        add(QStringLiteral("Annulla"), QMessageBox::RejectRole, ModalResult::Cancel);
        break;
    case Buttons::YesNo:
        add(QStringLiteral("Sì"), QMessageBox::YesRole, ModalResult::Yes);
        add(QStringLiteral("No"), QMessageBox::NoRole, ModalResult::No);
        break;
    case Buttons::YesNoCancel:
        add(QStringLiteral("Sì"), QMessageBox::YesRole, ModalResult::Yes);
        add(QStringLiteral("No"), QMessageBox::NoRole, ModalResult::No);
        add(QStringLiteral("Annulla"), QMessageBox::RejectRole, ModalResult::Cancel);
        break;
    }
    QApplication::restoreOverrideCursor();
    box.exec();
    return results.value(box.clickedButton(),
                         buttons == Buttons::Ok ? ModalResult::Ok
                         : buttons == Buttons::YesNo ? ModalResult::No : ModalResult::Cancel);
}

void QtMessageService::progress(const QString &line, int done, int total)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *mw = qobject_cast<QMainWindow *>(w)) {
            QStatusBar *bar = mw->statusBar();
            bar->showMessage(line, 5000);
            auto *meter = bar->findChild<QProgressBar *>(QStringLiteral("pbProgress"));
            if (!meter) {
                meter = new QProgressBar(bar);
                meter->setObjectName(QStringLiteral("pbProgress"));
                meter->setMaximumWidth(200);
                bar->addPermanentWidget(meter);
            }
            const bool counted = total > 0 && done >= 0 && done < total;
            meter->setVisible(counted);
            if (counted) {
                meter->setRange(0, total);
                meter->setValue(done);
            }
            break;
        }
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

ModalResult QtMessageService::showFindings(const QStringList &lines, bool ask)
{
    return ShowInfo(lines, ask);
}

} // namespace jex
