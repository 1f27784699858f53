#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace jex {

class ClientDataSet;
class CodeLists;

// The completeness check of a return's records: the fields the official
// form requires plus the rules that look at several fields together.
bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets, int last);
bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets);
// The same against given code lists: a check of many records asks one
// CodeLists, which reads each list once.
bool CheckDataSets(QStringList &lines, const QList<ClientDataSet *> &dataSets, int last, const CodeLists &lists);
bool HasFieldValue(const QString &fieldName, const ClientDataSet &ds);

// Field name -> description, in the order of the form.
const QList<QPair<QString, QString>> &requiredFields();

bool IsNotCurrency(const QString &text);
bool IsAllDigits(const QString &text);

} // namespace jex
