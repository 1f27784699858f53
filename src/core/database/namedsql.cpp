#include "database/namedsql.h"

#include "base/errors.h"
#include "base/messages.h"
#include "database/sqlconnection.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMessageAuthenticationCode>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>

namespace jex {

namespace {
// Ten letters, fixed in the program: the key of the certificate.
const QByteArray kCertKey = QByteArrayLiteral("QUADRIFISC");
}

QString TQmrCert::CertOfText(const QString &text)
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, kCertKey);
    mac.addData(text.toUtf8());
    // Shaped by the same parameters as the framework's cipher: 32 characters
    // drawn from the letters Z down to A.
    const QByteArray digest = mac.result();
    QString out;
    for (int i = 0; i < 32; ++i)
        out += QChar(u'A' + (quint8(digest[i % digest.size()]) % 26));
    return out;
}

QString TQmrCert::CertOfFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    // Line breaks are normalised to CR LF, so that a text file moved between
    // systems keeps its certificate. The whole content counts: the binary
    // table holds NUL bytes, and stopping at the first one would leave most
    // of it unguarded.
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    bytes.replace("\n", "\r\n");
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, kCertKey);
    mac.addData(bytes);
    const QByteArray digest = mac.result();
    QString out;
    for (int i = 0; i < 32; ++i)
        out += QChar(u'A' + (quint8(digest[i % digest.size()]) % 26));
    return out;
}

QString TQmrCert::ReadCertFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll());
}

void TQmrCert::WriteCertFile(const QString &text, const QString &path)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw EQxError(QStringLiteral("Impossibile scrivere il certificato %1").arg(path));
    f.write(text.toLatin1() + "\r\n");
    if (!f.commit())
        throw EQxError(QStringLiteral("Impossibile scrivere il certificato %1").arg(path));
}

TQmrQueryText::TQmrQueryText(QObject *parent) : ClientDataSet(parent)
{
    defineFields();
}

void TQmrQueryText::defineFields()
{
    clearFields();
    addField(QStringLiteral("Query"), FieldType::String, 60);
    addField(QStringLiteral("Tipo"), FieldType::String, 20);
    addField(QStringLiteral("Indice"), FieldType::Integer);
    addField(QStringLiteral("SQL"), FieldType::String, 0);
    createDataSet();
}

TQmrQueryText &TQmrQueryText::instance()
{
    static TQmrQueryText table;
    return table;
}

QString TQmrQueryText::ownVersion() { return QStringLiteral(JEX_VERSION); }

static QString g_executableName;

void TQmrQueryText::setExecutableName(const QString &name) { g_executableName = name; }

QString TQmrQueryText::executableName()
{
    if (!g_executableName.isEmpty())
        return g_executableName;
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QStringLiteral("jex770");
}

void TQmrQueryText::LoadQueryFile(const QString &cdsPath)
{
    try {
        loadFromFile(cdsPath);
    } catch (const EQxError &) {
        // A damaged table stays empty: the certificate check then refuses it.
        defineFields();
    }
    setIndexFieldNames(QStringLiteral("Query;Tipo;Indice"));
    if (m_certCheck) {
        m_computedCert = TQmrCert::CertOfFile(cdsPath);
        m_certPath = QFileInfo(cdsPath).path() + u'/' + QFileInfo(cdsPath).completeBaseName() + QStringLiteral(".unxc");
    }
}

void TQmrQueryText::CompileQueryFile(const QString &xmlPath, bool force)
{
    loadFromFile(xmlPath);
    for (first(); !eof(); next()) {
        const QString name = fieldByName(QStringLiteral("Query"))->asString();
        if (name != name.toUpper()) {
            edit();
            fieldByName(QStringLiteral("Query"))->setValue(name.toUpper());
            post();
        }
    }
    mergeChangeLog();
    const QFileInfo xi(xmlPath);
    const QString target = xi.path() + u'/' + xi.completeBaseName() + QStringLiteral(".cds");
    const QFileInfo ti(target);
    if (!force && !(ti.exists() && ti.isWritable()))
        return;
    saveToFile(target);
    TQmrCert::WriteCertFile(TQmrCert::CertOfFile(target),
                            xi.path() + u'/' + xi.completeBaseName() + QStringLiteral(".unxc"));
}

bool TQmrQueryText::CheckCertAndVersion(const QString &programName)
{
    if (m_certCheck) {
        const QString onDisk = m_certPath.isEmpty() ? QString() : TQmrCert::ReadCertFile(m_certPath);
        const bool ok = !m_computedCert.isEmpty() && onDisk == m_computedCert + QStringLiteral("\r\n");
        m_computedCert.clear();
        if (!ok) {
            QString text = QStringLiteral("Certificato query non trovato od errato.");
            if (!programName.isEmpty())
                text += QStringLiteral(" Aggiornare il programma \"%1\"").arg(programName);
            messages().messageDlg(text, DlgType::Error, Buttons::Ok);
            return false;
        }
    }
    const QString key = QStringLiteral("VER_") + executableName().toUpper();
    QString required;
    bool found = false;
    const int q = fieldIndex(QStringLiteral("Query"));
    for (int row = 0; row < recordCount(); ++row)
        if (valueAt(row, q).toString() == key) {
            required = valueAt(row, fieldIndex(QStringLiteral("Tipo"))).toString();
            found = true;
            break;
        }
    if (!found || !versionAtLeast(ownVersion(), required)) {
        messages().messageDlg(QStringLiteral("AGGIORNARE IL PROGRAMMA \"%1\".%2Versione minima richiesta: %3.")
                                  .arg(applicationTitle, QStringLiteral("\r\n"), required),
                              DlgType::Error, Buttons::Ok);
        return false;
    }
    return true;
}

static QString findSql(const ClientDataSet &ds, const QString &name, const QString &kind, int index,
                       bool useIndex)
{
    const int q = ds.fieldIndex(QStringLiteral("Query"));
    const int t = ds.fieldIndex(QStringLiteral("Tipo"));
    const int i = ds.fieldIndex(QStringLiteral("Indice"));
    const int s = ds.fieldIndex(QStringLiteral("SQL"));
    for (int row = 0; row < ds.recordCount(); ++row) {
        if (ds.valueAt(row, q).toString() != name || ds.valueAt(row, t).toString() != kind)
            continue;
        if (useIndex && ds.valueAt(row, i).toLongLong() != index)
            continue;
        return ds.valueAt(row, s).toString();
    }
    return {};
}

void TQmrQueryText::SetQuerySQL(const QString &name, NamedQuery &query, int index, const QString &kind)
{
    query.sql.clear();
    query.params.clear();
    const QString k = kind.isEmpty() ? QStringLiteral("EXECUTE") : kind;
    const QString n = name.toUpper();
    query.name = n;
    query.sql = findSql(*this, n, k, index, true);
    m_lastOperation = n;
    if (query.sql.isEmpty())
        jexAssert(QStringLiteral("Query: ") + n);
}

void TQmrQueryText::SetQueryCommandText(const QString &name, ClientDataSet &ds, const QString &kind)
{
    ds.commandText.clear();
    ds.params.clear();
    ds.commandText = findSql(*this, name, kind, 0, false);
    m_lastOperation = name;
    if (ds.commandText.isEmpty())
        jexAssert(QStringLiteral("Query: ") + name);
}

QString TQmrQueryText::GetQuerySQL(const QString &name, const QString &kind)
{
    const QString sql = findSql(*this, name, kind, 0, false);
    m_lastOperation = name;
    if (sql.isEmpty())
        jexAssert(QStringLiteral("Query : ") + name);
    return sql;
}

QString TQmrQueryText::FormatCommandText(const QString &text, const QStringList &args)
{
    static const QRegularExpression rx(QStringLiteral("%(\\d+:)?([sd])"));
    QString out;
    int last = 0, next = 0;
    auto it = rx.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        int idx = next;
        if (m.capturedLength(1) > 0)
            idx = m.captured(1).chopped(1).toInt();
        out += args.value(idx);
        next = idx + 1;
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out;
}

QString TQmrQueryText::LastOperationInfo(const std::exception &e) const
{
    if (dynamic_cast<const EQmrWarning *>(&e) || dynamic_cast<const EAssertion *>(&e))
        return {};
    if (m_lastOperation.isEmpty())
        return {};
    return QStringLiteral("\r\nUltima operazione DB: ") + m_lastOperation;
}

QSqlQuery runNamed(TQxSQLConnection &conn, const NamedQuery &query)
{
    return conn.exec(query.sql, query.params);
}

namespace {

// A statement's text with positional markers, and the parameter each
// marker stands for.
struct PositionalText
{
    QString sql;
    QStringList names;
};

PositionalText positionalText(const QString &sql)
{
    static QMutex lock;
    static QHash<QString, PositionalText> known;
    const QMutexLocker locker(&lock);
    if (const auto it = known.constFind(sql); it != known.constEnd())
        return *it;
    // The parameters as the connection's exec() finds them.
    static const QRegularExpression rx(QStringLiteral("(?<![:\\w]):([A-Za-z_][A-Za-z0-9_]*)"));
    PositionalText p;
    qsizetype last = 0;
    auto it = rx.globalMatch(sql);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        p.sql += QStringView(sql).mid(last, m.capturedStart() - last);
        p.sql += u'?';
        p.names << m.captured(1);
        last = m.capturedEnd();
    }
    p.sql += QStringView(sql).mid(last);
    known.insert(sql, p);
    return p;
}

} // namespace

QSqlQuery &runKeptStatement(TQxSQLConnection &conn, const QString &sql, const QVariantMap &params)
{
    const PositionalText p = positionalText(sql);
    QVariantList values;
    values.reserve(p.names.size());
    for (const QString &name : p.names) {
        auto found = params.constFind(name);
        if (found == params.constEnd())
            found = params.constFind(name.toUpper());
        if (found == params.constEnd())
            for (auto it = params.cbegin(); it != params.cend(); ++it)
                if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
                    found = it;
                    break;
                }
        if (found == params.constEnd())
            throw EQxError(QStringLiteral("Parametro :%1 non assegnato\n%2").arg(name, sql));
        values << *found;
    }
    return conn.execPrepared(p.sql, values);
}

} // namespace jex
