#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QHash>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

namespace jex {

class ClientDataSet;
class FilterExpr;

// Storage types of a client dataset field. Decimal amounts (Currency) are
// kept as 64-bit counts of ten-thousandths, so sums and comparisons are exact;
// `decimals` (2 or 4) rounds what is assigned.
enum class FieldType { String, Integer, Currency, Float, Date, DateTime, Blob, Boolean };

QString fieldTypeName(FieldType type);
FieldType fieldTypeFromName(const QString &name, bool *ok = nullptr);

struct FieldDef
{
    QString name;
    FieldType type = FieldType::String;
    int size = 0;      // text width (0 = unbounded)
    int decimals = 0;  // Currency: 2 or 4
    bool calculated = false;
};

enum class DataSetState { Inactive, Browse, Edit, Insert, CalcFields };
enum class UpdateStatus { Unmodified, Modified, Inserted, Deleted };

// A column of a client dataset. It reads and writes the dataset's current
// record (the edit buffer while editing). Owned by its dataset.
class Field
{
public:
    Field(ClientDataSet *owner, int index, const FieldDef &def);

    ClientDataSet *dataSet() const { return m_owner; }
    int index() const { return m_index; }
    const QString &name() const { return m_def.name; }
    FieldType type() const { return m_def.type; }
    int size() const { return m_def.size; }
    int decimals() const { return m_def.decimals; }
    bool isCalculated() const { return m_def.calculated; }
    bool isNumeric() const;
    bool isText() const { return m_def.type == FieldType::String; }
    bool isDate() const { return m_def.type == FieldType::Date || m_def.type == FieldType::DateTime; }
    const FieldDef &def() const { return m_def; }

    // Presentation, used by grids and editors.
    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_def.name : m_displayLabel; }
    void setDisplayLabel(const QString &label) { m_displayLabel = label; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    QString displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString &f) { m_displayFormat = f; }
    QString editFormat() const { return m_editFormat; }
    void setEditFormat(const QString &f) { m_editFormat = f; }
    int displayWidth() const { return m_displayWidth; }
    void setDisplayWidth(int w) { m_displayWidth = w; }
    // OnGetText: (field, display) -> text. Display is false while editing.
    std::function<QString(const Field &, bool)> onGetText;
    // OnValidate: runs before a value is stored; may throw.
    std::function<void(Field &)> onValidate;

    // Value of the current record. Null is an invalid QVariant.
    bool isNull() const;
    QVariant value() const;           // Currency as double
    QVariant rawValue() const;        // as stored (Currency as qint64)
    // The same without a copy, for whoever reads every value of many
    // records; valid until the record changes.
    const QVariant &storedValue() const;
    void setValue(const QVariant &v); // converts to the field's type
    void clear() { setValue(QVariant()); }

    QString asString() const;
    void setAsString(const QString &s);
    qint64 asInteger() const;
    void setAsInteger(qint64 v) { setValue(v); }
    double asFloat() const;
    void setAsFloat(double v) { setValue(v); }
    qint64 asMoney() const; // ten-thousandths
    void setAsMoney(qint64 tenThousandths);
    QDate asDate() const;
    void setAsDate(const QDate &d) { setValue(d); }
    QDateTime asDateTime() const;
    QByteArray asBlob() const;
    bool asBoolean() const;

    // Text for grids and editors (display) and for editing.
    QString displayText() const { return text(true); }
    QString editText() const { return text(false); }
    QString text(bool display) const;

    // Value before the pending change of the current record (null for an
    // inserted record) and the value it would be stored with.
    QVariant oldValue() const;
    QVariant newValue() const;
    bool isModified() const; // differs from the old value

    // Converts a variant to this field's stored representation.
    QVariant toStorage(const QVariant &v) const;
    // Converts a stored value to the public representation.
    QVariant fromStorage(const QVariant &v) const;

private:
    ClientDataSet *m_owner;
    int m_index;
    FieldDef m_def;
    QString m_displayLabel;
    QString m_displayFormat;
    QString m_editFormat;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_displayWidth = 0;
};

// Pending change of one record, handed to whoever applies a dataset's changes.
struct DeltaRecord
{
    UpdateStatus status;
    QVector<QVariant> values;   // new values (stored representation)
    QVector<QVariant> original; // old values; empty for an insert
    quint64 id;
};

using DataSetEvent = std::function<void(ClientDataSet &)>;

struct LocateOptions
{
    bool caseInsensitive = false;
    bool partialKey = false;
};

struct DataSetEvents
{
    DataSetEvent beforeOpen, afterOpen, beforeClose, afterClose;
    DataSetEvent beforeScroll, afterScroll;
    DataSetEvent beforeInsert, afterInsert, beforeEdit, afterEdit;
    DataSetEvent beforePost, afterPost, beforeDelete, afterDelete;
    DataSetEvent beforeCancel, afterCancel, onNewRecord, onCalcFields;
    DataSetEvent beforeRefresh, afterRefresh;
    std::function<bool(ClientDataSet &)> onFilterRecord;
};

// In-memory table with a cursor, a change log, filter and index, in the manner
// of the client datasets every part of the program works on.
class ClientDataSet : public QObject
{
    Q_OBJECT

public:
    explicit ClientDataSet(QObject *parent = nullptr);
    ~ClientDataSet() override;

    // --- structure
    void addField(const FieldDef &def);
    void addField(const QString &name, FieldType type, int size = 0, int decimals = 0,
                  bool calculated = false);
    QVector<FieldDef> fieldDefs() const;
    void setFieldDefs(const QVector<FieldDef> &defs); // closes and clears
    void createDataSet();                            // opens empty with the defs
    void clearFields();                              // closes, drops fields and data
    int fieldCount() const { return int(m_fields.size()); }
    Field *field(int i) const { return m_fields[size_t(i)].get(); }
    Field *findField(const QString &name) const; // case-insensitive; nullptr if absent
    Field *fieldByName(const QString &name) const; // throws EQxError if absent
    int fieldIndex(const QString &name) const;      // -1 if absent
    bool hasField(const QString &name) const { return fieldIndex(name) >= 0; }
    QStringList fieldNames() const;

    // --- open / close
    bool isActive() const { return m_state != DataSetState::Inactive; }
    void open();  // opens with current fields (data kept)
    void close(); // keeps the fields; drops data
    void emptyDataSet(); // drops all records and the change log

    // --- state
    DataSetState state() const { return m_state; }
    bool isEditing() const { return m_state == DataSetState::Edit || m_state == DataSetState::Insert; }
    void append(); // new record that goes at the end
    void insert(); // new record before the current one
    void edit();
    void post();
    void cancel();
    void remove(); // Delete
    void checkBrowseMode(); // posts a pending edit (as Delphi's CheckBrowseMode)
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool canModify() const { return isActive() && !m_readOnly; }

    // Convenience for code that fills datasets: append, set, post.
    void appendRecord(const QVariantList &values);
    // The current record's values in field order, as appendRecord takes them.
    QVariantList recordValues() const;
    // The same pair without the conversions, for copying records between
    // datasets of one structure: the values as stored (Currency in
    // ten-thousandths), and a record appended from them.
    QVariantList storedValues() const;
    void appendStoredRecord(const QVariantList &values);

    // --- navigation
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance);
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return recordCount() == 0; }
    int recordCount() const { return int(m_view.size()); }
    int recNo() const; // 1-based; -1 while inserting; 0 when empty
    void setRecNo(int recNo);

    using Bookmark = quint64; // 0 = none
    Bookmark bookmark() const;
    bool bookmarkValid(Bookmark b) const;
    void gotoBookmark(Bookmark b);

    // Locate: semicolon-separated field names and one value per field.
    bool locate(const QString &fieldNames, const QVariantList &values, LocateOptions opt = {});
    bool locate(const QString &fieldName, const QVariant &value, LocateOptions opt = {})
    { return locate(fieldName, QVariantList{value}, opt); }
    // Lookup without moving: value of resultField in the first match.
    QVariant lookup(const QString &keyFields, const QVariantList &values, const QString &resultField) const;

    // --- filter and index
    void setFilter(const QString &expression); // throws EQxError on a bad expression
    QString filter() const { return m_filterText; }
    void setFiltered(bool filtered);
    bool isFiltered() const { return m_filtered; }
    void setIndexFieldNames(const QString &names); // "A;B;C"; empty = natural order
    QString indexFieldNames() const { return m_indexNames; }
    // Quotes a text for a filter expression: 'O''Brien'.
    static QString quoted(const QString &value);

    // --- change log
    int changeCount() const;
    bool hasPendingChanges() const { return changeCount() > 0; }
    void mergeChangeLog();
    void cancelUpdates();
    UpdateStatus updateStatus() const; // of the current record
    QVector<DeltaRecord> delta() const;
    // After a delta record was applied elsewhere: take values that the
    // applier changed (keys given by the database) back into the record.
    void refreshRecordValues(quint64 id, const QVector<QVariant> &values);
    bool logChanges() const { return m_logChanges; }
    void setLogChanges(bool on);

    // --- events
    DataSetEvents events;
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // --- data access by position in the current view (for grids)
    QVariant valueAt(int row, int fieldIndex) const; // stored representation
    QString textAt(int row, int fieldIndex, bool display = true) const;
    int currentRow() const { return m_pos; } // 0-based in the view; -1 when none
    quint64 idAt(int row) const;

    // Copies structure (and, with data, all records) of another dataset.
    void copyStructure(const ClientDataSet &other);
    void copyFrom(const ClientDataSet &other); // structure and current data, no change log

    // --- files (the program's .CDS format; XML data packets are read too)
    void saveToFile(const QString &path) const;  // atomic; throws EQxError
    void loadFromFile(const QString &path);      // throws EQxError naming the file
    QByteArray saveToBytes() const;
    void loadFromBytes(const QByteArray &bytes, const QString &sourceName = {});

    // Bookkeeping of the user-visible command text and parameters, used by
    // the named SQL texts.
    QString commandText;
    QVariantMap params;
    QString providerName;

Q_SIGNALS:
    void stateChanged();
    void dataSetChanged();   // records, order or structure changed
    void recordChanged(int fieldIndex); // a value of the current record; -1 = all
    void scrolled();

private:
    friend class Field;
    friend class FilterExpr;
    struct Record
    {
        QVector<QVariant> values;
        QVector<QVariant> original;
        UpdateStatus status = UpdateStatus::Unmodified;
        quint64 id = 0;
        int seq = 0; // natural order
    };

    void beginInsert(bool appending);
    Record *currentRecord() const;
    QVector<QVariant> *currentBuffer();
    const QVector<QVariant> *currentBufferConst() const;
    void setFieldValue(int index, const QVariant &storage);
    void rebuildView();
    bool passesFilter(const Record &r) const;
    bool lessThan(const Record *a, const Record *b) const;
    void placeInView(Record *r);
    void removeFromView(Record *r);
    void setPos(int pos);
    void fire(const DataSetEvent &e);
    void notifyReset();
    void notifyRecord(int field);
    void notifyState();
    void notifyScroll();
    void runCalcFields(Record *r);
    void checkActive() const;
    void checkBrowse(const char *operation) const;
    int viewIndexOf(const Record *r) const;
    Record *recordById(quint64 id) const;
    void indexAdded(Record *r);
    void indexRemoved(const Record *r);
    QVector<QVariant> emptyValues() const;

    std::vector<std::unique_ptr<Field>> m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name -> index
    QHash<QString, int> m_fieldExact; // name as defined -> index (the usual lookup)
    std::vector<std::unique_ptr<Record>> m_records; // natural order
    mutable QHash<quint64, Record *> m_byId;        // see recordById()
    mutable bool m_byIdValid = false;
    std::vector<std::unique_ptr<Record>> m_deleted;
    QVector<Record *> m_view;
    int m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;
    DataSetState m_state = DataSetState::Inactive;
    QVector<QVariant> m_buffer; // edit/insert buffer
    bool m_appending = false;
    int m_insertBefore = -1; // insert(): view position
    Record *m_calcRecord = nullptr;
    quint64 m_nextId = 1;
    int m_nextSeq = 0;
    bool m_readOnly = false;
    bool m_logChanges = true;
    QString m_filterText;
    std::shared_ptr<FilterExpr> m_filterExpr;
    bool m_filtered = false;
    QString m_indexNames;
    QVector<int> m_indexFields;
    int m_disableCount = 0;
    bool m_pendingReset = false;
};

} // namespace jex
