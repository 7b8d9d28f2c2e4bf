#pragma once
// A grid's view of a Table: one row per visible record, in the table's order, and one
// column per chosen field. QtCore only; a view binds it with
//     view->setModel(&model);
//     view->setSelectionModel(model.selectionModel());
//
// The model follows the table. After every move of the table it makes the table's current
// record the grid's current row, and when the records, the filter or the order changed
// since it last looked it reads its rows again. A move of the grid's current row (a
// click, the arrow keys) moves the table. While suspended (a fill appending many records)
// the rows stay as they were; resuming reads them again once.
//
// Values are read by record number and never move the table's cursor, so painting the
// grid does not disturb the table's current record. Dates show in the short format of the
// model's locale: the system's until the model's owner sets the program's own.
#include <QAbstractTableModel>
#include <QItemSelectionModel>
#include <QLocale>
#include <QVector>

#include "store/table.h"

namespace vel {

struct GridColumn {
    QString field;      // field name in the table
    QString title;      // column title
};

class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TableModel(Table &table, const QVector<GridColumn> &columns, QObject *parent = nullptr);

    Table &table() const { return m_table; }
    QItemSelectionModel *selectionModel() { return &m_selection; }
    const GridColumn &column(int c) const { return m_columns.at(c); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The record number shown in a row (0 when there is no such row), and the row that
    // shows a record (-1 when none does).
    int recNoAt(int row) const;
    int rowOf(int recNo) const;
    // A field of the record shown in a row, as Table::value gives it.
    QVariant valueAt(int row, const QString &field) const;

    void setLocale(const QLocale &locale);
    QLocale locale() const { return m_locale; }

    void setSuspended(bool on);
    bool suspended() const { return m_suspended; }
    // Reads the rows again now and shows the table's current record.
    void reload();

private:
    struct Look {
        bool open = false;
        quint64 changes = 0;
        QString filter;
        bool filtered = true;
        QString order;
        bool operator==(const Look &) const = default;
    };
    Look look() const;
    void tableScrolled();
    void gridMoved(const QModelIndex &current);
    void showCurrentRecord();

    Table &m_table;
    QVector<GridColumn> m_columns;
    QVector<int> m_fieldIndex;      // per column; -1 when the table has no such field
    QVector<int> m_rows;            // record numbers, in the table's order
    QVector<int> m_rowOfRecord;     // by record number; -1 when not shown
    QItemSelectionModel m_selection;
    QLocale m_locale = QLocale::system();
    Look m_seen;
    bool m_suspended = false;
    bool m_following = false;       // the grid is being moved to the table's record
};

} // namespace vel
