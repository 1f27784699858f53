#include "imports/cud/cudrules.h"

#include "dataset/dataset.h"
#include "demo/codicefiscale.h"

#include <QRegularExpression>

namespace jex {

QString capCodeFor(const PayrollPosition &position)
{
    if (position.tnoId == 17)
        return QStringLiteral("P");
    switch (position.qarId) {
    case 5:
    case 14:
    case 29:
        return QStringLiteral("E");
    case 7:
    case 8:
    case 9:
    case 12:
        return QStringLiteral("D");
    default:
        return {};
    }
}

QStringList noteCandidates(const QString &notes)
{
    QStringList out;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    for (const QString &line : notes.split(lineBreak)) {
        if (line == u"BO)")
            continue;
        const int close = int(line.indexOf(u')'));
        if (close > 0)
            out << line.left(close).toUpper();
    }
    return out;
}

QString noteSlotName(int slot) { return QStringLiteral("SANN7%1").arg(slot, 2, 10, QLatin1Char('0')); }

int FirstFreeNoteSlot(const ClientDataSet &notes)
{
    for (int slot = 1; slot <= kNoteSlots; ++slot) {
        const Field *f = notes.findField(noteSlotName(slot));
        if (f && f->asString().trimmed().isEmpty())
            return slot;
    }
    return kNoteSlots + 1;
}

void SetInpsDefaults(ClientDataSet &inps)
{
    static const char *const months[] = {"GENNAIO", "FEBBRAIO", "MARZO",     "APRILE",  "MAGGIO",   "GIUGNO",
                                         "LUGLIO",  "AGOSTO",   "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
    for (const char *m : months) {
        const QString month = QString::fromLatin1(m);
        for (const QString &name : {QString(QStringLiteral("LINPS7") + month), QString(QStringLiteral("LINPS7") + month + QStringLiteral("_C"))})
            if (Field *f = inps.findField(name))
                f->setValue(1);
    }
}

QString fiscalCodeFault(const QString &code)
{
    if (code.isEmpty())
        return QStringLiteral("codice fiscale mancante");
    if (code.size() == 11) {
        if (demo::isValidOrganisationCode(code))
            return {};
        return QStringLiteral("il codice fiscale di 11 cifre %1 non è valido (cifre o cifra di controllo)").arg(code);
    }
    if (code.size() != 16)
        return QStringLiteral("il codice fiscale %1 non ha 16 caratteri").arg(code);
    // Omocodia replaces digits by letters: the check character is computed
    // on the code as it stands, so letters and digits are both accepted.
    static const QRegularExpression shape(QStringLiteral("^[A-Z]{6}[0-9A-Z]{2}[A-Z][0-9A-Z]{2}[A-Z][0-9A-Z]{3}[A-Z]$"));
    if (!shape.match(code).hasMatch())
        return QStringLiteral("il codice fiscale %1 non ha la forma di quello di una persona").arg(code);
    if (demo::personCheckChar(code.left(15)) != code[15])
        return QStringLiteral("il carattere di controllo del codice fiscale %1 non è corretto").arg(code);
    return {};
}

bool isPresent(const Field &field)
{
    if (field.isNull())
        return false;
    if (field.isText()) {
        const QString t = field.asString().trimmed();
        return !t.isEmpty() && t != u"0";
    }
    if (field.isNumeric())
        return field.asMoney() != 0;
    return true;
}

bool anyPresent(const ClientDataSet &row, const QStringList &columns)
{
    for (const QString &c : columns)
        if (const Field *f = row.findField(c); f && isPresent(*f))
            return true;
    return false;
}

bool isBlank(const Field &field)
{
    if (field.isNull())
        return true;
    if (field.isDate())
        return field.asDate() == QDate(1899, 12, 30);
    if (field.isNumeric())
        return field.asMoney() == 0;
    const QString t = field.asString().trimmed();
    return t.isEmpty() || t == u"0" || t == u"30/12/1899";
}

} // namespace jex
