#pragma once

#include "dataset/dataset.h"

#include <QSqlQuery>
#include <exception>

namespace jex {

class TQxSQLConnection;

// Certificate routines of the named SQL texts (keyed hash in place of the
// framework's cipher).
class TQmrCert
{
public:
    static QString CertOfFile(const QString &path);
    static QString CertOfText(const QString &text);
    static QString ReadCertFile(const QString &path); // "" when missing
    static void WriteCertFile(const QString &text, const QString &path);
};

// A statement ready to run: its text, ":NAME" parameters and the connection.
struct NamedQuery
{
    QString name;
    QString sql;
    QVariantMap params;
    void setParam(const QString &n, const QVariant &v) { params.insert(n.toUpper(), v); }
};

// The table of named SQL texts, loaded from "zpt_QueryText.cds" beside the
// program and guarded by its certificate.
class TQmrQueryText : public ClientDataSet
{
    Q_OBJECT
public:
    explicit TQmrQueryText(QObject *parent = nullptr);

    void LoadQueryFile(const QString &cdsPath);
    // Loads the authoring XML and, when the .cds beside it exists and is
    // writable (or `force`), writes the .cds and its certificate.
    void CompileQueryFile(const QString &xmlPath, bool force = false);
    void SetCertCheck(bool on) { m_certCheck = on; }
    bool CheckCertAndVersion(const QString &programName);

    // Kind "" means "EXECUTE". Throws EAssertion when missing.
    void SetQuerySQL(const QString &name, NamedQuery &query, int index = 0, const QString &kind = {});
    void SetQueryCommandText(const QString &name, ClientDataSet &ds, const QString &kind);
    QString GetQuerySQL(const QString &name, const QString &kind);
    // Formats "%s", "%d", "%0:s" placeholders with the arguments.
    static QString FormatCommandText(const QString &text, const QStringList &args);
    QString LastOperationInfo(const std::exception &e) const;
    QString lastOperation() const { return m_lastOperation; }

    // The program's own version and executable name, for the version row.
    static QString ownVersion();
    static QString executableName();
    // A test program checks the version row as the program it stands for.
    static void setExecutableName(const QString &name);
    QString applicationTitle = QStringLiteral("Modello 770/2025 Redditi 2024");

    static TQmrQueryText &instance();

private:
    void defineFields();
    bool m_certCheck = false;
    QString m_computedCert;
    QString m_certPath;
    QString m_lastOperation;
};

// Runs a named statement on a connection (parameters by name).
QSqlQuery runNamed(TQxSQLConnection &conn, const NamedQuery &query);

// Runs a statement with ":NAME" parameters as one the connection keeps
// prepared (execPrepared): for statements run once per person, where a
// prepare at each run would cost as much as the statement, and on a server
// a round trip more. The caller reads the rows and finishes the query.
QSqlQuery &runKeptStatement(TQxSQLConnection &conn, const QString &sql, const QVariantMap &params);

} // namespace jex
