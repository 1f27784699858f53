// The tax-assistance (730) amounts that the payroll withheld or refunded,
// month by month, summed into the employee record's assistance pages.

#include "imports/cud/completionsupport.h"

#include "base/errors.h"
#include "base/messages.h"
#include "dataset/dataset.h"

#include <QHash>

namespace jex {
namespace {

constexpr int kSurtaxBalance = 10033;      // regional surtax balance, declarant
constexpr int kSurtaxBalanceSpouse = 10046; // the same, spouse

struct CodeColumn
{
    int code;
    const char *column;
};

// Payroll item -> column, in the order of the assistance pages.
const CodeColumn kItems[] = {
    {10027, "FASS7IMPORIMBIRPEF"},   {10026, "FASS7IMPTRATTIRPEF"},
    {10040, "FASS7IMPRIMBIRPEFCON"}, {10039, "FASS7IMPTRATIRPEFCON"},
    {10032, "FASS7IMPATRATTPR"},     {10045, "FASS7IMPATRATTPRCONDI"},
    {10029, "FASS7IMPORIMBARD"},     {10028, "FASS7IMPATRATTARD"},
    {10042, "FASS7IMPORIMBARC"},     {10041, "FASS7IMPATRATTARC"},
    {10031, "FASS7IMPORIMBACD"},     {10030, "FASS7IMPATRATTACD"},
    {10044, "FASS7IMPORIMBACC"},     {10043, "FASS7IMPATRATTACC"},
    {10036, "FASS7IMPATRATTAACD"},   {10047, "FASS7IMPATRATTAACC"},
    {10037, "FASS7IMPATRATTTS"},     {10048, "FASS7IMPTRATTAXSCONDIC"},
    {10057, "FASS7ISPREPRODICT"},    {10058, "FASS7ISPREPCDICT"},
    {10059, "FASS7ISLAQDICT"},       {10060, "FASS7ISLAQCDICT"},
    {10061, "FASS7ISLAQDICR"},       {10062, "FASS7ISLAQCDICR"},
    {10063, "FASS71RACCLOCDIT"},     {10064, "FASS71RACCLOCCIT"},
    {10065, "FASS72RACSLDIT"},       {10066, "FASS72RACSLCIT"},
};

struct Total
{
    const char *column, *first, *second;
};

const Total kTotals[] = {
    {"FASS7IMPEFFTRATTIRPEF", "FASS7IMPTRATTIRPEF", "FASS7IMPTRATIRPEFCON"},
    {"FASS7IMPEFFTRATRATAID", "FASS7IMPATRATTPR", "FASS7IMPATRATTPRCONDI"},
    {"FASS7IMPEFFTRATAREGDIC", "FASS7IMPATRATTARD", "FASS7IMPATRATTARC"},
    {"FASS7IMPEFTRATSADCOMDIC", "FASS7IMPATRATTACD", "FASS7IMPATRATTACC"},
    {"FASS7IMPEFTRATAADCOMDIC", "FASS7IMPATRATTAACD", "FASS7IMPATRATTAACC"},
    {"FASS7IMPEFTRATTAXSDIC", "FASS7IMPATRATTTS", "FASS7IMPTRATTAXSCONDIC"},
    {"FASS7ISPREPRODICET", "FASS7ISPREPRODICT", "FASS7ISPREPCDICT"},
    {"FASS7ISLAQDICET", "FASS7ISLAQDICT", "FASS7ISLAQCDICT"},
    {"FASS71RACCLOCDIET", "FASS71RACCLOCDIT", "FASS71RACCLOCCIT"},
    {"FASS72RACSLDIET", "FASS72RACSLDIT", "FASS72RACSLCIT"},
};

// The assistance items of a position, summed per item code.
struct AssistanceRows
{
    int firstMonth = 0;        // of the rows other than the surtax balance
    int firstSurtaxMonth = 0;  // of the surtax balance rows
    QHash<int, qint64> sums;

    template <typename Items>
    explicit AssistanceRows(const Items &rows)
    {
        bool seenOther = false, seenSurtax = false;
        for (const auto &r : rows) { // ordered by month
            const bool surtax = r.code == kSurtaxBalance || r.code == kSurtaxBalanceSpouse;
            bool &seen = surtax ? seenSurtax : seenOther;
            if (!seen) {
                (surtax ? firstSurtaxMonth : firstMonth) = r.month;
                seen = true;
            }
            sums[r.code] += r.gross;
        }
    }
};

} // namespace

void PayrollCompletion::importFiscalAssistance(ClientDataSet &dip, const QString &codFis, const QString &surname,
                                               const QString &name)
{
    try {
        if (!text(dip, "SMESCODICEIRPEF").isEmpty() || !text(dip, "SMESCODICESR").isEmpty())
            return;
        const int acomId = position(codFis).acomId;
        if (acomId <= 0)
            return;
        const AssistanceRows items(assistanceItems(acomId, codFis));
        if (items.sums.isEmpty())
            return;
        dip.edit();

        // A code fills its column only when its rows sum to more than zero.
        auto fill = [&](int code, const char *column) {
            const qint64 sum = items.sums.value(code);
            if (sum <= 0)
                return false;
            setMoney(dip, column, sum);
            return true;
        };
        if (items.firstMonth > 0) {
            dip.fieldByName(QStringLiteral("SMESCODICEIRPEF"))->setAsString(QString::number(items.firstMonth));
            QHash<int, bool> filled;
            for (const CodeColumn &c : kItems)
                filled[c.code] = fill(c.code, c.column);
            for (const Total &t : kTotals) {
                const qint64 sum = money(dip, t.first) + money(dip, t.second);
                if (sum > 0)
                    setMoney(dip, t.column, sum);
            }

            if (filled[10029] || filled[10028] || filled[10042] || filled[10041]) {
                const int code = positionRegion(acomId);
                const QString regione = code < 1 ? QString() : QStringLiteral("%1").arg(code, 2, 10, QLatin1Char('0'));
                if (filled[10029] || filled[10028])
                    dip.fieldByName(QStringLiteral("SREGCODICEARD"))->setAsString(regione);
                if (filled[10042] || filled[10041])
                    dip.fieldByName(QStringLiteral("SREGCODICEARC"))->setAsString(regione);
            }
            const QString comune = text(dip, "SDIP7DFCODCOMPRECC");
            auto setComune = [&](bool when, const char *column) {
                if (when)
                    fieldOf(dip, column)->setAsString(comune);
            };
            setComune(filled[10031] || filled[10030], "SCOMCODICEACD");
            setComune(filled[10044] || filled[10043], "SCOMCODICEACC");
            setComune(filled[10036], "SCOMCODICEAACD");
            setComune(filled[10047], "SCOMCODICEAACC");
        }

        if (items.firstSurtaxMonth > 0) {
            dip.fieldByName(QStringLiteral("SMESCODICESR"))->setAsString(QString::number(items.firstSurtaxMonth));
            fill(kSurtaxBalance, "FASS7IMPATRATTSR");
            fill(kSurtaxBalanceSpouse, "FASS7IMPTRATSRACDIC");
            const qint64 sum = money(dip, "FASS7IMPATRATTSR") + money(dip, "FASS7IMPTRATSRACDIC");
            if (sum > 0)
                setMoney(dip, "FASS7IMPEFTRATSRADIC", sum);
        }
        dip.post();
    } catch (const std::exception &e) {
        if (dip.isEditing())
            dip.cancel();
        messages().information(withError(
            QStringLiteral("Impossibile importare i dati dell'Assistenza 2024: ") + surname + QLatin1Char(' ') + name,
            errorText(e)));
    }
}

} // namespace jex
