#pragma once

#include "imports/autonomi/autonomiimport.h"

#include <QDialog>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace jex {

struct WindowRegistry;

// "Scelta dati autonomi": the payees of the year, filtered by "Categoria",
// "Pos.Giur." and "Qualifica", of which the selected ones (all when none is
// selected) are imported. TfmJexImpMultiSelect brings registry data and sums
// paid, TfmJexImpMultiSelectOnlyAna registry data only.
class TfmJexImpMultiSelect : public QDialog
{
    Q_OBJECT
public:
    // Without a connection and a store the program's own are used.
    explicit TfmJexImpMultiSelect(QWidget *parent = nullptr, AutonomiVariant variant = AutonomiVariant::Full,
                                  TQxSQLConnection *conn = nullptr, SectionStore *store = nullptr,
                                  const AutonomiYear *year = nullptr);
    ~TfmJexImpMultiSelect() override;

    // Opens the list; "Nessuna dato da importare!" when it is empty, else the
    // window modally.
    static void start(QWidget *parent, AutonomiVariant variant);

    bool isEmpty() const { return m_all.isEmpty(); }
    // The rows shown, in their order; the keys that the OK button imports.
    QList<AutonomiPayee> shownPayees() const;
    QList<AutonomiPayee> chosenPayees() const;
    OverwritePolicy policy() const;
    void sortBy(int column); // 0 code, 1 name, 2-4 category, legal position, qualification then name

    QTableWidget *grList = nullptr;
    QLabel *laPrenotati = nullptr;
    QLabel *laCorrente = nullptr;
    QLineEdit *edCerca = nullptr;
    QComboBox *cbICALQUXORCODE = nullptr;
    QComboBox *cbITNOQUXORCODE = nullptr;
    QComboBox *cbIQARQUXORCODE = nullptr;
    QCheckBox *ckInServizio = nullptr;
    QRadioButton *rbSempre = nullptr;
    QRadioButton *rbMai = nullptr;
    QRadioButton *rbChiedi = nullptr;
    QPushButton *buOk = nullptr;
    QPushButton *buAnnulla = nullptr;

    AutonomiResult lastResult;

public Q_SLOTS:
    void buOkClick();
    void filterChanged();
    void updatePrenotati();
    void locate(const QString &code);

private:
    void fill();
    QComboBox *filterList(const QString &statement);
    AutonomiFilter currentFilter() const;

    AutonomiVariant m_variant;
    TQxSQLConnection *m_conn;
    SectionStore *m_store;
    AutonomiYear m_year;
    QList<AutonomiPayee> m_all;
    QList<AutonomiPayee> m_shown;
    int m_sortColumn = 1;
};

// The registry-only variant, by its own name.
class TfmJexImpMultiSelectOnlyAna : public TfmJexImpMultiSelect
{
    Q_OBJECT
public:
    explicit TfmJexImpMultiSelectOnlyAna(QWidget *parent = nullptr, TQxSQLConnection *conn = nullptr,
                                         SectionStore *store = nullptr, const AutonomiYear *year = nullptr)
        : TfmJexImpMultiSelect(parent, AutonomiVariant::OnlyRegistry, conn, store, year)
    {
    }
};

void registerAutonomiWindows(WindowRegistry &registry);

} // namespace jex
