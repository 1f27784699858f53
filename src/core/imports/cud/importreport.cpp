#include "imports/cud/importreport.h"

namespace jex {

void ImportReport::clear()
{
    m_lines.clear();
    m_person.clear();
    m_lastReported.clear();
    m_headersWritten.clear();
}

void ImportReport::setPerson(const QString &surname, const QString &name)
{
    m_person = QStringLiteral("Dipendente %1 %2").arg(surname, name);
}

void ImportReport::addMessage(const QString &text)
{
    if (m_person != m_lastReported) {
        m_lines << QString() << m_person;
        m_lastReported = m_person;
    }
    m_lines << QStringLiteral("-  ") + text;
}

void ImportReport::addPhaseHeader(const QString &header)
{
    if (m_headersWritten.contains(header))
        return;
    m_headersWritten << header;
    m_lines << QString() << header;
    m_lastReported.clear(); // the next message names its person again
}

} // namespace jex
