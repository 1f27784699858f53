#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace jex {

class TQxSQLConnection;

// The parameter module of the payroll suite: the user's chosen fiscal and
// school year and management unit (kept in TQXU_PARAMS), the payroll
// parameters of one fiscal year (TPACO_PARAMCOMP through "QRY_PACO_ANF"),
// and the check that decides whether a chosen fiscal year may be used.
class TdmZptParams
{
public:
    TdmZptParams() = default;
    virtual ~TdmZptParams() = default;

    static constexpr int kConversionYearId = 50; // 2019: first year of the new chart of accounts

    // Parameter manager. A missing parameter reads as null.
    QVariant ParamValue(const QString &name) const;
    void SetParamValue(const QString &name, const QVariant &value);

    // Payroll parameter of the current fiscal year (opens the query when
    // it is closed); null when the year has no parameter row.
    QVariant ParamField(const QString &column);
    void SetAnnoFinanziario(int anfId);
    int PacoAnfId() const { return m_pacoAnfId; }

    bool ConversionDone(int anfId);
    bool AccountsPresent(int timId);
    int GetDwgId() const;

    // Validation of a parameter chosen in the parameters dialog. An empty
    // selectedText means that no item of the combo box is selected.
    void CheckValue(const QString &parameter, const QString &selectedText, bool &accepted);

    // The external converter of the chart of accounts: JEX770_PDC_CONVERTER,
    // else the parameter "QXUP_PdcConverter", else bin/aggPdC2019.exe.
    QString ConverterPath() const;

    // The connection every query runs on (the global one unless set).
    void SetConnection(TQxSQLConnection *conn) { m_conn = conn; }
    TQxSQLConnection &connection() const;

protected:
    virtual bool ChartOfAccountsCheck();
    virtual bool RunConverter(const QString &program);

private:
    void openPaco();
    TQxSQLConnection *m_conn = nullptr;
    int m_pacoAnfId = 0;
    bool m_pacoOpen = false;
    QVariantMap m_paco;
};

// The application's parameter module.
TdmZptParams &dmZptParams();

// A year loaded from its id: first and last day, texts "MM/dd/yyyy", calendar year.
class TqmrAnno
{
public:
    explicit TqmrAnno(TdmZptParams *params = nullptr) : Params(params) {}
    virtual ~TqmrAnno() = default;

    int Id = 0;
    QDateTime DataInizio;
    QDateTime DataFine;
    QString DataInizioTxt;
    QString DataFineTxt;
    int Anno = 0;
    TdmZptParams *Params = nullptr;

    // Id 0 loads the default id taken from the parameters.
    virtual void SetAnno(int id = 0);

protected:
    virtual QString SqlText() const = 0;
    virtual int DefaultId() const = 0;
    TdmZptParams &requireParams() const;
};

class TqmrAnnoFinanziario : public TqmrAnno
{
public:
    using TqmrAnno::TqmrAnno;
    QString AnnoFineTxt() const { return DataFineTxt.right(4); }

protected:
    QString SqlText() const override;
    int DefaultId() const override;
};

class TqmrAnnoScolastico : public TqmrAnno
{
public:
    using TqmrAnno::TqmrAnno;

protected:
    QString SqlText() const override;
    int DefaultId() const override;
};

// The financial year of this application: without a parameter module of
// its own it takes the application's.
class TzptAnnoFinanziario : public TqmrAnnoFinanziario
{
public:
    using TqmrAnnoFinanziario::TqmrAnnoFinanziario;
    void SetAnno(int id = 0) override;
};

// Global year contexts (they also prepare the shared settings directory).
TzptAnnoFinanziario &zptAnnoFinanziario();
TqmrAnnoScolastico &qmrAnnoScolastico();

// Creates "usr/zpt/" beside bin when "ZptPar.ini" is not there; the file
// itself belongs to the other modules of the suite.
void ensureZptParDir();

// Year ids: calendar year minus 1969.
constexpr int anfIdOfYear(int year) { return year - 1969; }

// Makes sure that the fiscal years 2019-2025 and their school years exist.
void ensureYears(TQxSQLConnection &conn);

} // namespace jex
