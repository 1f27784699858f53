#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLineEdit;
class QPushButton;
class QPlainTextEdit;

namespace jex {

class ClientDataSet;

// Window of one print: output file name, create, open, exit, and a memo of
// what happened. The print itself lives in the print modules.
class TfmJexPdfBase : public QDialog
{
    Q_OBJECT

public:
    TfmJexPdfBase(const QString &caption, const QString &defaultName, QWidget *parent = nullptr);

    QLineEdit *edFileName = nullptr;
    QPushButton *buCrea = nullptr;
    QPushButton *buApri = nullptr;
    QPushButton *buEsci = nullptr;
    QPlainTextEdit *meMessaggi = nullptr;

    QString outputPath() const;
    // Runs the print into outputPath(); false when nothing was produced.
    virtual bool runPrint(const QString &path) = 0;
    void crea();
    void apri();

protected:
    void showEvent(QShowEvent *event) override;
};

class TfmJexPdfSection : public TfmJexPdfBase
{
    Q_OBJECT

public:
    TfmJexPdfSection(const QString &caption, const QString &defaultName,
                     std::function<bool(const QString &)> print, QWidget *parent = nullptr);
    bool runPrint(const QString &path) override { return m_print(path); }

private:
    std::function<bool(const QString &)> m_print;
};

class TfmJexPdfFront : public TfmJexPdfBase
{
    Q_OBJECT

public:
    explicit TfmJexPdfFront(QWidget *parent = nullptr);
    ~TfmJexPdfFront() override;
    bool runPrint(const QString &path) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    ClientDataSet *m_sost;
};

// The windows by their class names ("TfmJexPdfST", ...), for the registry.
QDialog *createPrintWindow(const QString &className, QWidget *parent = nullptr);
QStringList printWindowClassNames();

} // namespace jex
