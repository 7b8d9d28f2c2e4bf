#include "store/tablemodel.h"

namespace vel {

TableModel::TableModel(Table &table, const QVector<GridColumn> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(columns), m_selection(this)
{
    connect(&m_table, &Table::afterScroll, this, &TableModel::tableScrolled);
    connect(&m_selection, &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { gridMoved(current); });
    reload();
}

int TableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_columns.size())
        return {};
    const int field = m_fieldIndex.value(index.column(), -1);
    if (field < 0)
        return {};
    const QVariant v = m_table.valueAt(m_rows[index.row()], field);
    switch (role) {
    case Qt::DisplayRole:
        if (v.typeId() == QMetaType::QDate)
            return m_locale.toString(v.toDate(), QLocale::ShortFormat);
        return v;
    case Qt::TextAlignmentRole:
        if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns[section].title;
    return QAbstractTableModel::headerData(section, orientation, role);
}

int TableModel::recNoAt(int row) const { return row >= 0 && row < m_rows.size() ? m_rows[row] : 0; }

int TableModel::rowOf(int recNo) const
{
    return recNo > 0 && recNo < m_rowOfRecord.size() ? m_rowOfRecord[recNo] : -1;
}

QVariant TableModel::valueAt(int row, const QString &field) const
{
    return m_table.valueAt(recNoAt(row), m_table.fieldIndex(field));
}

void TableModel::setLocale(const QLocale &locale)
{
    m_locale = locale;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, int(m_columns.size()) - 1), {Qt::DisplayRole});
}

void TableModel::setSuspended(bool on)
{
    if (m_suspended == on)
        return;
    m_suspended = on;
    if (!on)
        reload();
}

TableModel::Look TableModel::look() const
{
    Look l;
    l.open = m_table.isOpen();
    l.changes = m_table.changeCount();
    l.filter = m_table.filter();
    l.filtered = m_table.filtered();
    l.order = m_table.indexName();
    return l;
}

void TableModel::reload()
{
    beginResetModel();
    m_fieldIndex.clear();
    for (const GridColumn &c : m_columns)
        m_fieldIndex.append(m_table.isOpen() ? m_table.fieldIndex(c.field) : -1);
    m_rows = m_table.visibleRecNos();
    m_rowOfRecord.fill(-1, m_table.isOpen() ? m_table.physicalRecordCount() + 1 : 0);
    for (int row = 0; row < m_rows.size(); ++row)
        m_rowOfRecord[m_rows[row]] = row;
    m_seen = look();
    endResetModel();
    showCurrentRecord();
}

void TableModel::tableScrolled()
{
    if (m_suspended)
        return;
    if (!(look() == m_seen))
        reload();
    else
        showCurrentRecord();
}

void TableModel::showCurrentRecord()
{
    const int row = rowOf(m_table.recNo());
    if (row == m_selection.currentIndex().row() && (row < 0 || m_selection.isRowSelected(row)))
        return;
    m_following = true;
    if (row < 0)
        m_selection.clear();
    else
        m_selection.setCurrentIndex(index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_following = false;
}

void TableModel::gridMoved(const QModelIndex &current)
{
    if (m_following || m_suspended || !current.isValid())
        return;
    const int recNo = recNoAt(current.row());
    if (recNo > 0 && recNo != m_table.recNo())
        m_table.goToRecNo(recNo);
}

} // namespace vel
