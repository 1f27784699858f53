#include "shell/infowindow.h"

#include "checks/completeness.h"

#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextStream>
#include <QUrl>
#include <QVBoxLayout>

namespace jex {

std::function<void(TfmJexInfo &)> TfmJexInfo::execHook;

TfmJexInfo::TfmJexInfo(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("fmJexInfo"));
    setWindowTitle(QStringLiteral("Informazioni"));
    resize(750, 388);
    auto *lay = new QVBoxLayout(this);
    meInfo = new QPlainTextEdit(this);
    meInfo->setObjectName(QStringLiteral("meInfo"));
    meInfo->setReadOnly(true);
    meInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    meInfo->setFont(QFont(QStringLiteral("Lucida Console")));
    lay->addWidget(meInfo, 1);
    auto *bottom = new QHBoxLayout;
    buBloccoNote = new QPushButton(QStringLiteral("Blocco note"), this);
    buBloccoNote->setObjectName(QStringLiteral("buBloccoNote"));
    bottom->addWidget(buBloccoNote);
    bottom->addStretch();
    laInfo = new QLabel(QStringLiteral("Si desidera proseguire?"), this);
    laInfo->setObjectName(QStringLiteral("laInfo"));
    laInfo->hide();
    bottom->addWidget(laInfo);
    buYes = new QPushButton(QStringLiteral("Si"), this);
    buYes->setObjectName(QStringLiteral("buYes"));
    buYes->hide();
    bottom->addWidget(buYes);
    buOk = new QPushButton(QStringLiteral("OK"), this);
    buOk->setObjectName(QStringLiteral("buOk"));
    bottom->addWidget(buOk);
    lay->addLayout(bottom);
    connect(buYes, &QPushButton::clicked, this, [this] { finishWith(ModalResult::Yes); });
    connect(buOk, &QPushButton::clicked, this, [this] { finishWith(m_ask ? ModalResult::No : ModalResult::Ok); });
    connect(buBloccoNote, &QPushButton::clicked, this, &TfmJexInfo::buBloccoNoteClick);
}

void TfmJexInfo::setAsk(bool ask)
{
    m_ask = ask;
    laInfo->setVisible(ask);
    buYes->setVisible(ask);
    buOk->setText(ask ? QStringLiteral("No") : QStringLiteral("OK"));
}

void TfmJexInfo::finishWith(ModalResult r)
{
    m_result = r;
    done(r == ModalResult::Yes || r == ModalResult::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void TfmJexInfo::buBloccoNoteClick()
{
    QTemporaryFile tmp(QDir::tempPath() + QStringLiteral("/jex770_XXXXXX.txt"));
    tmp.setAutoRemove(false);
    if (!tmp.open())
        return;
    QTextStream out(&tmp);
    out << meInfo->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    out.flush();
    tmp.close();
    QDesktopServices::openUrl(QUrl::fromLocalFile(tmp.fileName()));
}

ModalResult ShowInfo(const QStringList &lines, bool ask)
{
    TfmJexInfo w;
    w.meInfo->setPlainText(lines.join(u'\n').replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    w.setAsk(ask);
    if (TfmJexInfo::execHook)
        TfmJexInfo::execHook(w);
    else
        w.exec();
    return w.result();
}

bool checkAndAsk(const QList<ClientDataSet *> &dataSets)
{
    QStringList lines;
    if (CheckDataSets(lines, dataSets))
        return true;
    return ShowInfo(lines, true) == ModalResult::Yes;
}

} // namespace jex
