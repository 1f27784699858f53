#pragma once

#include <QString>
#include <QStringList>

namespace jex {

// The report of one certification import run: the lines the information
// window shows at the end (and `import-cud` prints). The per-person sections
// write their own lines; the completion steps write messages, each preceded
// by the person's header when the person differs from the last one reported.
class ImportReport
{
public:
    void clear();
    bool isEmpty() const { return m_lines.isEmpty(); }
    int size() const { return int(m_lines.size()); }
    const QStringList &lines() const { return m_lines; }
    QString text() const { return m_lines.join(QLatin1Char('\n')); }

    void addLine(const QString &line) { m_lines << line; }
    void insertLine(int at, const QString &line) { m_lines.insert(at, line); }

    // The person the next messages are about.
    void setPerson(const QString &surname, const QString &name);
    // "-  " + text, after an empty line and "Dipendente <surname> <name>"
    // when the person differs from the last one reported.
    void addMessage(const QString &text);
    // An empty line and the header of a completion phase, once per run.
    void addPhaseHeader(const QString &header);

private:
    QStringList m_lines;
    QString m_person;
    QString m_lastReported;
    QStringList m_headersWritten;
};

} // namespace jex
