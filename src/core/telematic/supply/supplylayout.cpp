#include "telematic/supply/supplylayout.h"

#include "base/paths.h"
#include "base/strutil.h"
#include "telematic/fieldformat.h"

namespace jex::supply {

namespace {

QList<int> range(int from, int to)
{
    QList<int> out;
    for (int r = from; r <= to; ++r)
        out.append(r);
    return out;
}

// Whether the generation writes a section at all.
bool written(QChar record, const TXMLSectionType &section)
{
    const QString rep = section.Repeat();
    if (record == u'A' || record == u'B' || rep == u"NO")
        return true;
    if (record == u'D')
        return rep == u"26" || rep == u"38" || !repeatedRows(record, section).isEmpty();
    return !repeatedRows(record, section).isEmpty();
}

RecordLayout build(QChar type, const TXMLRecordType &root)
{
    RecordLayout layout;
    layout.type = type;
    int position = 1;
    for (int s = 0; s < root.Count(); ++s) {
        const TXMLSectionType section = root.Items(s);
        if (!written(type, section))
            continue;
        const QList<int> rows = repeatedRows(type, section);
        for (int i = 0; i < section.Count(); ++i) {
            const TXMLCampoType campo = section.Items(i);
            const QString number = AllTrim(campo.Number());
            if (number.size() != 8) {
                layout.positional.append({campo, position, campo.Width()});
                position += campo.Width();
                continue;
            }
            KeyField key{campo, s, 0, false, section.Text(),
                         type == u'J' && !section.Cds().isEmpty() ? section.Cds() : campo.Cds()};
            if (rows.isEmpty() || number.mid(2, 3) != u"XXX") {
                layout.codes.insert(number, key);
                continue;
            }
            key.perRow = true;
            for (int r : rows) {
                key.row = r;
                layout.codes.insert(fieldCode(number, r), key);
            }
        }
    }
    layout.headWidth = position - 1;
    return layout;
}

RecordLayout buildZ(const TXMLRecordZType &root)
{
    RecordLayout layout;
    layout.type = u'Z';
    int position = 1;
    const TXMLSectionType section = root.SectionZ();
    for (int i = 0; i < section.Count(); ++i) {
        const TXMLCampoType campo = section.Items(i);
        // Only literal fields reach the record.
        if (campo.Info() != u"OF" && campo.Info() != u"O@")
            continue;
        layout.positional.append({campo, position, campo.Width()});
        position += campo.Width();
    }
    layout.headWidth = position - 1;
    return layout;
}

} // namespace

QList<int> repeatedRows(QChar record, const TXMLSectionType &section)
{
    const QString rep = section.Repeat();
    const QString text = section.Text();
    if (record == u'D') {
        if (rep == u"2")
            return range(2, 13);
        if (rep == u"14")
            return range(14, 25);
        if (rep == u"YES" && text.contains(u"SV"))
            return range(2, 13);
        if (rep == u"YES" && text.contains(u"DI"))
            return range(1, 20);
    } else if (record == u'I') {
        if (rep == u"2")
            return range(2, 6);
        if (rep == u"7")
            return range(7, 11);
        if (rep == u"12")
            return range(12, 15);
        if (rep == u"16")
            return range(16, 20);
    } else if (record == u'J') {
        if (rep == u"YES")
            return range(1, 999);
    }
    return {};
}

const PositionalField *RecordLayout::positionalAt(int p) const
{
    for (const PositionalField &f : positional)
        if (p >= f.start && p < f.start + f.width)
            return &f;
    return nullptr;
}

const PositionalField *RecordLayout::positionalNumber(const QString &number) const
{
    for (const PositionalField &f : positional)
        if (AllTrim(f.campo.Number()) == number)
            return &f;
    return nullptr;
}

SupplyLayouts::SupplyLayouts(const QString &dir)
{
    const QString base = dir.isEmpty() ? Paths::fileTelDir() : dir;
    auto file = [&](const char *name) { return Paths::resolveIn(base, QString::fromLatin1(name)); };
    m_records.insert(u'A', build(u'A', LoadRecordA(file("Record_A.xml"))));
    m_records.insert(u'B', build(u'B', LoadRecordB(file("Record_B.xml"))));
    m_records.insert(u'D', build(u'D', LoadRecordE(file("Record_D.xml"))));
    m_records.insert(u'I', build(u'I', LoadRecordE(file("Record_I.xml"))));
    m_records.insert(u'J', build(u'J', LoadRecordJ(file("Record_J.xml"))));
    m_records.insert(u'Z', buildZ(LoadRecordZ(file("Record_Z.xml"))));
}

const RecordLayout *SupplyLayouts::record(QChar type) const
{
    auto it = m_records.constFind(type);
    return it == m_records.constEnd() ? nullptr : &*it;
}

} // namespace jex::supply
