#include "filewizard/supplyfilepicker.h"

#include "base/paths.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace jex {

SupplyFilePicker::SupplyFilePicker(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    edFile = new QLineEdit(this);
    edFile->setObjectName(QStringLiteral("edFile"));
    edFile->setReadOnly(true);
    edFile->setPlaceholderText(QStringLiteral("Scegliere il file telematico (tutti i file, se la fornitura è divisa)"));
    buSfoglia = new QPushButton(QStringLiteral("Sfoglia..."), this);
    buSfoglia->setObjectName(QStringLiteral("buSfoglia"));
    layout->addWidget(edFile, 1);
    layout->addWidget(buSfoglia);
    chooseFiles = [this](const QString &dir) {
        return QFileDialog::getOpenFileNames(this, QStringLiteral("Scegliere il file telematico"), dir);
    };
    connect(buSfoglia, &QPushButton::clicked, this, [this] {
        const QString dir = Paths::telematicOutDir();
        const QStringList chosen = chooseFiles ? chooseFiles(QDir(dir).exists() ? dir : QString()) : QStringList();
        if (!chosen.isEmpty())
            setFiles(chosen);
    });
}

void SupplyFilePicker::setFiles(const QStringList &files)
{
    m_files = files;
    QStringList shown;
    for (const QString &f : files)
        shown << QDir::toNativeSeparators(f);
    edFile->setText(shown.join(QStringLiteral("; ")));
    Q_EMIT filesChanged();
}

} // namespace jex
