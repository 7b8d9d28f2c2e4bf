#pragma once
// The table engine's interface: dBASE tables in files (levels III, IV, 7 and FoxPro, with
// .dbt/.fpt memo and .mdx production index) and tables held in memory, both behind this
// one class. It is a cursor over the visible records: those that pass the filter and are
// not marked deleted, in the order of the selected index tag (record order without one).
//
// Every Table open on one file in this process shares that file's records, so a change
// made through one handle is seen through the others at once; other processes' changes
// show after refresh() or, a few milliseconds after they were written, on the next move.
// Writes take the file's byte-range lock; each append writes the record before the
// header's count, so that a process killed meanwhile never costs a finished record.
//
// Errors are thrown as vel::TableError with a message (in Russian, for the operator) that
// names the file and what is wrong; a filter the parser cannot read throws
// vel::ExpressionError when it is set. A failed call leaves the table as it was. Those
// errors and the definitions of fields, tags and filter options are the layers' shared
// ones (store/defs/tabledefs.h). Tables are used from one thread.
#include <QDate>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>

#include "store/defs/tabledefs.h"

namespace vel {

enum class Storage { File, Memory };
enum class OpenMode {
    Normal,          // the file must exist
    Create,          // created from the definitions when missing
    Temporary,       // memory only: created empty at every open, gone at close
};

class TableImpl;

class Table : public QObject {
    Q_OBJECT
public:
    explicit Table(QObject *parent = nullptr);
    ~Table() override;

    // ---- configuration, before open ----
    void setFolder(const QString &folder);        // resolved as vel::ResolvePath does
    QString folder() const;
    void setTableName(const QString &name);       // "patients.dbf", "tabrpt"
    QString tableName() const;
    void setLevel(TableLevel level);              // an existing file keeps its own level
    TableLevel level() const;                     // of the open table: the file's own
    void setStorage(Storage storage);
    void setOpenMode(OpenMode mode);
    void setReadOnly(bool readOnly);
    void setFieldDefs(const QVector<FieldDef> &fields);
    void setIndexDefs(const QVector<IndexDef> &indexes);
    void setFilterOptions(const FilterOptions &options);
    FilterOptions filterOptions() const;
    // The conventions asString() writes dates in (their short format); the system's until
    // the table's owner sets the program's own. May change at any time.
    void setLocale(const QLocale &locale);
    QLocale locale() const;

    // ---- open and close ----
    void open();        // emits beforeOpen first; creates and rebuilds as configured
    void close();       // writes pending changes
    bool isOpen() const;
    QString filePath() const;      // the .dbf actually opened (empty for memory tables)

    // ---- structure ----
    QVector<FieldDef> fields() const;  // of the open table, in file order
    int fieldIndex(const QString &name) const;   // -1 when missing; case-insensitive

    // ---- filter and order ----
    void setFilter(const QString &expression);   // throws ExpressionError; takes effect at once
    QString filter() const;                      // and moves to the first visible record
    void setFiltered(bool on);                   // on from the start
    bool filtered() const;
    void setIndexName(const QString &tag);       // "" selects record order; an unknown tag throws
    QString indexName() const;                   // keeps the current record

    // ---- counts ----
    int exactRecordCount();        // visible records, counted by walking them
    int physicalRecordCount();     // records in the file, deleted ones included

    // ---- navigation (each move emits afterScroll) ----
    bool first();                  // same as findFirst
    bool next();                   // moves on; eof() becomes true past the last one
    bool eof() const;
    bool bof() const;
    bool findFirst();
    bool findLast();
    bool findNext();
    bool findPrior();
    bool isEmpty();                // no visible record
    int recNo() const;             // 1-based physical record number; 0 when none
    bool goToRecNo(int recNo);     // positions on that record when it is visible

    // ---- changes ----
    void append();                 // starts a new blank record (not yet written)
    void edit();                   // starts changing the current record
    void post();                   // writes the new or changed record
    void cancel();                 // drops an unposted append or edit
    void deleteRecord();           // soft delete of the current record; emits beforeDelete
    void refresh();                // re-reads the table, keeping the position where it can
    void appendRecord(const QVariantList &values);  // values in field order; append + post
    // Removes all records of a memory table; a file table keeps them, each marked deleted.
    void emptyTable();
    bool isEditing() const;        // an append or edit is under way
    // Holds the file's write lock across several changes, so that other processes see
    // them together or not at all (they wait for the release, as for any write). Holds
    // nest; close() releases those still taken. Throws TableError as a write does.
    void holdWriteLock();
    void releaseWriteLock();

    // ---- field values of the current record (or of the record being edited) ----
    // Values: int (I, N without decimals), double, QString, QDate, bool; memo text for M.
    QVariant value(const QString &field) const;      // null QVariant for an empty value
    QString asString(const QString &field) const;    // text without trailing spaces; dates in
                                                     // the short format of locale()
    int asInteger(const QString &field) const;       // 0 when empty
    QDate asDate(const QString &field) const;        // invalid when empty
    bool asBoolean(const QString &field) const;
    QString memoText(const QString &field) const;
    bool isNull(const QString &field) const;
    // Only between append()/edit() and post(). A null value, an invalid date or a blank
    // text clears the field; text is cut to the width; a number that does not fit throws.
    void setValue(const QString &field, const QVariant &value);
    bool isDeleted() const;        // the current record carries the deletion mark

    // ---- records by number, for views over the table; the cursor does not move ----
    // The record numbers of the visible records, in the order of the selected tag.
    QVector<int> visibleRecNos();
    // A field of record recNo (1..physicalRecordCount(), deleted or not), as value() gives
    // it; `field` is the index of fields(). Null for a record number out of range.
    QVariant valueAt(int recNo, int field) const;
    bool isDeletedAt(int recNo) const;
    // Grows on every change of the records, this process's or another's (once noticed).
    quint64 changeCount() const;

Q_SIGNALS:
    void beforeOpen();
    void afterScroll();
    void beforeDelete();

private:
    // first() or findLast(): to the first or last visible record, then afterScroll.
    bool moveToEnd(bool last);

    std::unique_ptr<TableImpl> d;
};

// Holds a table's write lock for a scope.
class TableWriteLock {
public:
    explicit TableWriteLock(Table &table) : m_table(table) { m_table.holdWriteLock(); }
    ~TableWriteLock() { m_table.releaseWriteLock(); }
    TableWriteLock(const TableWriteLock &) = delete;
    TableWriteLock &operator=(const TableWriteLock &) = delete;

private:
    Table &m_table;
};

} // namespace vel
