#pragma once
// A read-only grid over the visible records of a vel::Table, as a data-aware grid shows
// its table: one row per visible record in the table's order, the current record as the
// grid's current row, and the table's current record moved when the operator moves in
// the grid.
//
// The rows follow the table by themselves: every move, change or filter of the table
// (afterScroll) asks for a reload, which runs once when control returns to the event
// loop and walks the visible records, so a burst of moves costs one walk. Meant for
// short lists (the tests of one patient); the walk goes back to the current record.
#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <QVector>

class QTableView;

namespace vel {

class Table;

class TableGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString Field;
        QString Title;
    };

    TableGridModel(Table &table, QVector<Column> columns, QObject *parent = nullptr);

    // Shows the model in `view` and keeps the view's current row and the table's current
    // record together.
    void Attach(QTableView *view);
    // Reads the rows again now (also done by itself after changes of the table).
    void Reload();
    // The row of the table's current record; -1 when there is none.
    int CurrentRow() const;
    int RecNoOfRow(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // The operator moved to another record in the grid.
    void currentRecordChanged();

private:
    struct Row {
        int RecNo = 0;
        QStringList Texts;
        bool operator==(const Row &) const = default;
    };
    void ScheduleReload();
    void ShowCurrentRow();
    void RowChosen(int row);

    Table &m_table;
    QVector<Column> m_columns;
    QVector<Row> m_rows;
    int m_currentRecNo = 0;
    bool m_reloadPending = false;
    bool m_walking = false;      // our own moves do not ask for a reload
    QPointer<QTableView> m_view;
};

} // namespace vel
