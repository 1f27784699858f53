#pragma once

// The files of one supply, as the two windows of the supply files ask for
// them: a line with the chosen files and a button that opens the chooser.

#include <QStringList>
#include <QWidget>
#include <functional>

class QLineEdit;
class QPushButton;

namespace jex {

class SupplyFilePicker : public QWidget
{
    Q_OBJECT
public:
    explicit SupplyFilePicker(QWidget *parent = nullptr);

    // (initial directory) -> the chosen files, empty when cancelled. Tests
    // replace the dialog.
    std::function<QStringList(const QString &dir)> chooseFiles;

    QStringList files() const { return m_files; }
    void setFiles(const QStringList &files);

    QLineEdit *edFile = nullptr;
    QPushButton *buSfoglia = nullptr;

Q_SIGNALS:
    void filesChanged();

private:
    QStringList m_files;
};

} // namespace jex
