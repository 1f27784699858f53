#pragma once

// The wizard of the telematic file: choices, generation, saving.

#include "base/messages.h"
#include "telematic/generation.h"

#include <QDialog>
#include <QMap>
#include <functional>

class QStackedWidget;
class QWidget;
class QRadioButton;
class QPushButton;
class QPlainTextEdit;
class QLabel;

namespace jex {

// The application's telematic-file data module.
TdmJexFile &dmJexFile();

class TfmJexFile : public QDialog
{
    Q_OBJECT

public:
    explicit TfmJexFile(QWidget *parent = nullptr);
    TfmJexFile(TdmJexFile &dm, QWidget *parent = nullptr);
    ~TfmJexFile() override;

    enum Page { tsLavDipIdx, tsLavAutoIdx, tsSTIdx, tsSVIdx, tsSXIdx, tsSYIdx, tsCreaIdx };

    // Asks for the output file: (initial directory, proposed name) -> chosen
    // file, empty when cancelled. Tests replace the dialog.
    std::function<QString(const QString &dir, const QString &name)> chooseFile;

    // The wizard's steps, also reached by the buttons.
    void FormShow();
    void next();
    void prior();
    void buInizioClick();
    void buOkClick();
    void buCancelClick();

    QString currentPath() const { return m_path; }
    int currentPage() const;
    QString outputFileName() const { return m_outFile; }
    QStringList infoLines() const;
    TdmJexFile &dm() { return *m_dm; }

    QStackedWidget *pcMain = nullptr;
    QWidget *tsCrea = nullptr;
    QRadioButton *rbTuttiSv = nullptr, *rbNessunoSv = nullptr, *rbTuttiSY = nullptr, *rbNessunoSY = nullptr;
    QPushButton *buInizio = nullptr, *buOk = nullptr, *buCancel = nullptr, *buNext = nullptr, *buPrior = nullptr;
    QLabel *laStatus = nullptr;
    QPlainTextEdit *meInfo = nullptr;

protected:
    void showEvent(QShowEvent *e) override;

private:
    void build();
    void FormCreate();
    void NavigatorClick();
    void selectPath(const QString &name);
    void addInfo(const QString &line);

    TdmJexFile *m_dm;
    QMap<QString, QList<int>> m_paths;
    QString m_path;
    int m_pos = 0;
    bool m_shown = false;
    QString m_outFile;
};

} // namespace jex
