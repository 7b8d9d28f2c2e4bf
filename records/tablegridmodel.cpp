#include "records/tablegridmodel.h"

#include <QItemSelectionModel>
#include <QTableView>

#include "store/table.h"

namespace vel {

TableGridModel::TableGridModel(Table &table, QVector<Column> columns, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns))
{
    connect(&m_table, &Table::afterScroll, this, &TableGridModel::ScheduleReload);
}

void TableGridModel::Attach(QTableView *view)
{
    m_view = view;
    view->setModel(this);
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_walking)
                    RowChosen(current.row());
            });
    Reload();
}

void TableGridModel::ScheduleReload()
{
    if (m_walking || m_reloadPending)
        return;
    m_reloadPending = true;
    QMetaObject::invokeMethod(this, [this] {
        if (m_reloadPending)
            Reload();
    }, Qt::QueuedConnection);
}

void TableGridModel::Reload()
{
    m_reloadPending = false;
    if (m_table.isEditing())
        return;   // the post that ends the change moves the table, and that reloads
    QVector<Row> rows;
    int current = 0;
    if (m_table.isOpen()) {
        m_walking = true;
        current = m_table.recNo();
        try {
            for (bool on = m_table.first(); on && !m_table.eof(); on = m_table.next()) {
                Row row;
                row.RecNo = m_table.recNo();
                for (const Column &c : m_columns)
                    row.Texts << m_table.asString(c.Field);
                rows << row;
            }
            if (current == 0 || !m_table.goToRecNo(current)) {
                m_table.first();
                current = m_table.recNo();
            }
        } catch (const TableError &) {
            // A table that cannot be read now shows what it showed; the next change retries.
            m_walking = false;
            return;
        }
        m_walking = false;
    }
    if (rows != m_rows) {
        beginResetModel();
        m_rows = rows;
        endResetModel();
    }
    m_currentRecNo = current;
    ShowCurrentRow();
}

int TableGridModel::CurrentRow() const
{
    for (int r = 0; r < m_rows.size(); ++r)
        if (m_rows[r].RecNo == m_currentRecNo)
            return r;
    return -1;
}

int TableGridModel::RecNoOfRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows[row].RecNo : 0;
}

void TableGridModel::ShowCurrentRow()
{
    if (!m_view)
        return;
    const int row = CurrentRow();
    m_walking = true;
    QItemSelectionModel *selection = m_view->selectionModel();
    if (row >= 0) {
        selection->setCurrentIndex(index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index(row, 0));
    } else {
        selection->clear();
    }
    m_walking = false;
}

void TableGridModel::RowChosen(int row)
{
    const int recNo = RecNoOfRow(row);
    if (recNo == 0 || recNo == m_table.recNo())
        return;
    m_walking = true;
    bool moved = false;
    try {
        moved = m_table.goToRecNo(recNo);
    } catch (const TableError &) {
    }
    m_walking = false;
    if (!moved) {
        ScheduleReload();   // the table changed underneath the grid
        return;
    }
    m_currentRecNo = recNo;
    emit currentRecordChanged();
}

int TableGridModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int TableGridModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant TableGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size()
        || index.column() >= m_columns.size())
        return QVariant();
    return m_rows[index.row()].Texts.value(index.column());
}

QVariant TableGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < m_columns.size() ? QVariant(m_columns[section].Title) : QVariant();
    return QVariant();
}

} // namespace vel
