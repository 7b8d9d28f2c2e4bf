#include "store/table.h"

#include "common/paths.h"
#include "common/text.h"
#include "store/dbf/codec.h"
#include "store/dbf/store.h"
#include "store/expr/expression.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace vel {

using namespace dbf;

class TableImpl {
public:
    explicit TableImpl(Table *table) : q(table) {}

    enum class State { Browse, Edit, Insert };

    Table *q;
    // configuration
    QString folder, tableName;
    TableLevel level = TableLevel::DBase7;
    Storage storage = Storage::File;
    OpenMode mode = OpenMode::Normal;
    bool readOnly = false;
    QVector<FieldDef> fieldDefs;
    QVector<IndexDef> indexDefs;
    FilterOptions options;
    QString filterText;
    bool filtered = true;
    QString indexName;
    QLocale locale = QLocale::system();

    // open state
    std::shared_ptr<TableStore> store;
    std::unique_ptr<Expression> filter;
    TagIndex *tag = nullptr;
    int recNo = 0;                 // current record, 0 when there is none
    bool bof = true, eof = true;
    State state = State::Browse;
    QByteArray buffer;             // the record being appended or edited
    MemoEdits memoEdits;
    int insertReturn = 0;          // the record to go back to when an append is cancelled
    int holds = 0;                 // holds of the write lock taken through this table

    [[noreturn]] void fail(const QString &what) const
    {
        throw TableError(QStringLiteral("Таблица «%1»: %2").arg(displayName(), what));
    }
    QString displayName() const { return store ? store->path() : tableName; }

    void requireOpen() const
    {
        if (!store)
            fail(QStringLiteral("таблица не открыта"));
    }
    void requireWritable() const
    {
        requireOpen();
        if (readOnly || !store->writable())
            fail(QStringLiteral("таблица открыта только для чтения"));
    }

    int fieldIndexOrFail(const QString &name) const
    {
        requireOpen();
        const int i = store->layout().indexOf(name);
        if (i < 0)
            fail(QStringLiteral("нет поля %1").arg(name));
        return i;
    }

    bool filterOn() const { return filtered && filter; }

    bool visible(int r) const
    {
        const uchar *rec = store->record(r);
        return rec[0] != '*' && (!filterOn() || filter->Test(rec));
    }

    // ---- a filter "FIELD = n" on a numeric field walks the records its lookup gives ----
    int lookupField = -1;
    int64_t lookupValue = 0;
    std::vector<int> cands;
    uint64_t candsChanges = ~uint64_t(0);

    void recognizeFilter()
    {
        lookupField = -1;
        candsChanges = ~uint64_t(0);
        QString name;
        int64_t value;
        if (!filter || !NumberLookup::recognize(filterText, &name, &value))
            return;
        const int i = store->layout().indexOf(name);
        if (i >= 0 && NumberLookup::suits(store->layout().fields[i])) {
            lookupField = i;
            lookupValue = value;
        }
    }

    // The records a walk in record order visits, or nullptr for all of them.
    const std::vector<int> *candidates()
    {
        if (lookupField < 0 || !filterOn() || tag)
            return nullptr;
        if (candsChanges != store->changeCount()) {
            cands = store->lookup(lookupField)->candidates(lookupValue);
            candsChanges = store->changeCount();
        }
        return &cands;
    }

    // ---- order: record order, or the selected tag's ----
    // In a tag the cursor `tc` marks the current record's place; it is found again by
    // key and record number whenever the records changed since it was set.
    TagCursor tc;
    bool tcValid = false;      // tc was set for recNo at cursorChanges
    bool tcExact = false;      // tc is on recNo itself, not on the entry after its place
    uint64_t cursorChanges = 0;

    void placeTag()
    {
        store->prepareTags();
        tcExact = tag->Locate(tc, quint32(recNo), store->record(recNo));
        tcValid = true;
        cursorChanges = store->changeCount();
    }
    bool tagPlaced() const { return tcValid && cursorChanges == store->changeCount(); }

    void setCurrent(int r)
    {
        recNo = r;
        if (tag) {
            tcValid = true;
            tcExact = true;
            cursorChanges = store->changeCount();
        }
    }

    // Whether the current record is in the order (a later duplicate of a unique tag is not).
    bool inOrder()
    {
        if (!tag)
            return true;
        if (recNo <= 0)
            return false;
        if (!tagPlaced())
            placeTag();
        return tcExact;
    }

    // ---- walks: one loop over one of three orders ----
    // An order steps through record numbers. first() and last() go to an end, next() and
    // prior() move on by one, from(r, step) goes to the first place after (step 1) or
    // before (step -1) the place of record r; each returns false once it runs off the end.
    // recNo() is the record at the place.

    // The candidates a lookup gave, ascending.
    struct CandidateOrder {
        const std::vector<int> &c;
        int i = -1;
        bool on() const { return i >= 0 && i < int(c.size()); }
        bool first() { i = 0; return on(); }
        bool last() { i = int(c.size()) - 1; return on(); }
        bool next() { ++i; return on(); }
        bool prior() { --i; return on(); }
        bool from(int r, int step)
        {
            const auto place = std::lower_bound(c.begin(), c.end(), r);
            i = int(place - c.begin());
            if (step < 0)
                --i;
            else if (place != c.end() && *place == r)
                ++i;
            return on();
        }
        int recNo() const { return c[size_t(i)]; }
    };

    // Record order: 1 to the record count.
    struct RecordOrder {
        int count;
        int r = 0;
        bool on() const { return r >= 1 && r <= count; }
        bool first() { r = 1; return on(); }
        bool last() { r = count; return on(); }
        bool next() { ++r; return on(); }
        bool prior() { --r; return on(); }
        bool from(int rec, int step) { r = rec + step; return on(); }
        int recNo() const { return r; }
    };

    // The selected tag, its place held in `c`. From the current record through the table's
    // own cursor tc, the place already found is used again.
    struct TagOrder {
        TableImpl &t;
        TagCursor &c;
        bool first() { t.store->prepareTags(); return t.tag->First(c); }
        bool last() { t.store->prepareTags(); return t.tag->Last(c); }
        bool next() { return t.tag->Next(c); }
        bool prior() { return t.tag->Prior(c); }
        bool from(int r, int step)
        {
            bool exact;   // c is on r itself, not on the entry after its place
            if (&c == &t.tc && r == t.recNo) {
                if (!t.tagPlaced())
                    t.placeTag();
                exact = t.tcExact;
            } else {
                t.store->prepareTags();
                exact = t.tag->Locate(c, quint32(r), t.store->record(r));
            }
            if (step > 0)
                return exact ? t.tag->Next(c) : c.recNo() != 0;
            return t.tag->Prior(c);
        }
        int recNo() const { return int(c.recNo()); }
    };

    // Calls f(order) with the order walks follow now: the lookup's candidates, the selected
    // tag (its place kept in `cursor`) or record order.
    template <typename F>
    auto withOrder(TagCursor &cursor, F f)
    {
        if (const std::vector<int> *c = candidates()) {
            CandidateOrder o{*c};
            return f(o);
        }
        if (tag) {
            TagOrder o{*this, cursor};
            return f(o);
        }
        RecordOrder o{store->count()};
        return f(o);
    }

    // The one loop: from the place where `on` left the order, on in the direction of step,
    // f(recNo) for each visible record until f returns false.
    template <typename Order, typename F>
    void walk(Order &o, bool on, int step, F f)
    {
        for (; on; on = step > 0 ? o.next() : o.prior())
            if (visible(o.recNo()) && !f(o.recNo()))
                return;
    }

    template <typename Order>
    int firstVisible(Order &o, bool on, int step)
    {
        int found = 0;
        walk(o, on, step, [&found](int r) {
            found = r;
            return false;
        });
        return found;
    }

    // The first (step 1) or last (step -1) visible record; 0 when there is none.
    int findEnd(int step)
    {
        const int r = withOrder(tc, [&](auto &o) { return firstVisible(o, step > 0 ? o.first() : o.last(), step); });
        tcValid = false;   // tc moved off the current record
        return r;
    }

    // The visible record after (step 1) or before (step -1) the current one's place.
    int findStep(int step)
    {
        const int r = withOrder(tc, [&](auto &o) { return firstVisible(o, o.from(recNo, step), step); });
        tcValid = false;
        return r;
    }

    // Calls f(recNo) for each visible record, in the order of the selected tag.
    template <typename F>
    void forEachVisible(F f)
    {
        if (!store)
            return;
        store->noticeChanges(false);
        TagCursor cursor;   // the current record's place in tc stays as it is
        withOrder(cursor, [&](auto &o) {
            walk(o, o.first(), 1, [&f](int r) {
                f(r);
                return true;
            });
        });
    }

    // ---- moves ----
    // The first (step 1) or last (step -1) visible record; bof or eof as TDataSet sets them.
    bool moveEnd(int step)
    {
        checkBrowse();
        store->noticeChanges(false);
        const int r = findEnd(step);
        if (r > 0)
            setCurrent(r);
        else
            recNo = 0;
        bof = step > 0 || r == 0;
        eof = step < 0 || r == 0;
        return r > 0;
    }
    bool moveFirst() { return moveEnd(1); }
    bool moveLast() { return moveEnd(-1); }

    bool moveBy(int step)
    {
        checkBrowse();
        store->noticeChanges(false);
        if (recNo <= 0 || recNo > store->count()) {
            bof = eof = true;
            return false;
        }
        const int r = findStep(step);
        if (r == 0) {
            if (step > 0)
                eof = true;
            else
                bof = true;
            return false;
        }
        setCurrent(r);
        bof = eof = false;
        return true;
    }

    // After the current record left the view: the next visible one, else the one before.
    void settle()
    {
        if (recNo > 0 && recNo <= store->count()) {
            if (visible(recNo) && inOrder()) {
                bof = eof = false;
                return;
            }
            int r = findStep(1);
            if (r == 0)
                r = findStep(-1);
            if (r > 0) {
                setCurrent(r);
                bof = eof = false;
                return;
            }
        }
        moveFirst();
    }

    // ---- edits ----
    void checkBrowse()
    {
        if (state != State::Browse)
            post();
    }

    const uchar *currentRecord() const
    {
        if (!store)
            return nullptr;
        if (state != State::Browse)
            return reinterpret_cast<const uchar *>(buffer.constData());
        if (recNo > 0 && recNo <= store->count())
            return store->record(recNo);
        return nullptr;
    }

    void post()
    {
        if (state == State::Browse)
            return;
        if (state == State::Insert) {
            const int r = store->append(buffer, memoEdits);
            state = State::Browse;
            buffer.clear();
            memoEdits.clear();
            recNo = r;
            tcValid = false;
            bof = eof = false;
            emit q->afterScroll();
        } else {
            store->update(recNo, buffer, memoEdits);
            state = State::Browse;
            buffer.clear();
            memoEdits.clear();
        }
    }

    void compileFilter()
    {
        if (!store)
            return;
        if (filterText.trimmed().isEmpty())
            filter.reset();
        else
            filter = std::make_unique<Expression>(Expression::Filter(filterText, store->layout(), options));
        recognizeFilter();
    }

    void selectTag()
    {
        if (indexName.isEmpty()) {
            tag = nullptr;
        } else {
            TagIndex *t = store->tag(indexName);
            if (!t)
                fail(QStringLiteral("нет индекса %1").arg(indexName));
            tag = t;
        }
        tcValid = false;
    }

    QString resolvedPath() const
    {
        QString name = SlashPath(tableName);
        if (QFileInfo(name).suffix().isEmpty())
            name += QStringLiteral(".dbf");
        QString dir = SlashPath(folder);
        QString joined = dir.isEmpty() ? name : dir + (dir.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
        return QFileInfo(ResolvePath(joined)).absoluteFilePath();
    }
};

Table::Table(QObject *parent) : QObject(parent), d(std::make_unique<TableImpl>(this)) {}

Table::~Table()
{
    if (d->store) {
        d->state = TableImpl::State::Browse;
        d->store->detach();
    }
}

void Table::setFolder(const QString &folder) { d->folder = folder; }
QString Table::folder() const { return d->folder; }
void Table::setTableName(const QString &name) { d->tableName = name; }
QString Table::tableName() const { return d->tableName; }
void Table::setLevel(TableLevel level) { d->level = level; }
TableLevel Table::level() const { return d->store ? d->store->layout().level : d->level; }
void Table::setStorage(Storage storage) { d->storage = storage; }
void Table::setOpenMode(OpenMode mode) { d->mode = mode; }
void Table::setReadOnly(bool readOnly) { d->readOnly = readOnly; }
void Table::setFieldDefs(const QVector<FieldDef> &fields) { d->fieldDefs = fields; }
void Table::setIndexDefs(const QVector<IndexDef> &indexes) { d->indexDefs = indexes; }
FilterOptions Table::filterOptions() const { return d->options; }
void Table::setLocale(const QLocale &locale) { d->locale = locale; }
QLocale Table::locale() const { return d->locale; }

void Table::setFilterOptions(const FilterOptions &options)
{
    d->options = options;
    if (d->store && d->filter) {
        d->compileFilter();
        d->moveFirst();
        emit afterScroll();
    }
}

void Table::open()
{
    if (d->store)
        return;
    emit beforeOpen();
    if (d->tableName.isEmpty())
        throw TableError(QStringLiteral("Не задано имя таблицы"));
    std::shared_ptr<TableStore> store;
    if (d->storage == Storage::Memory) {
        const RecordLayout layout = MakeLayout(d->fieldDefs, d->level, true, d->tableName);
        store = TableStore::createMemory(d->tableName, layout, d->indexDefs);
    } else {
        OpenRequest request;
        request.path = d->resolvedPath();
        request.writable = !d->readOnly;
        request.create = d->mode != OpenMode::Normal;
        request.level = d->level;
        request.fields = d->fieldDefs;
        request.indexes = d->indexDefs;
        store = TableStore::openFile(request);
    }
    store->attach();
    d->store = store;
    try {
        d->compileFilter();
        d->selectTag();
    } catch (...) {
        d->filter.reset();
        d->tag = nullptr;
        d->store->detach();
        d->store.reset();
        throw;
    }
    d->state = TableImpl::State::Browse;
    d->moveFirst();
    emit afterScroll();
}

void Table::close()
{
    if (!d->store)
        return;
    for (; d->holds > 0; --d->holds)
        d->store->releaseWriteLock();
    try {
        d->checkBrowse();
    } catch (...) {
        d->state = TableImpl::State::Browse;
        d->store->detach();
        d->store.reset();
        d->filter.reset();
        d->tag = nullptr;
        d->recNo = 0;
        throw;
    }
    d->store->detach();
    d->store.reset();
    d->filter.reset();
    d->tag = nullptr;
    d->recNo = 0;
    d->bof = d->eof = true;
}

bool Table::isOpen() const { return d->store != nullptr; }
QString Table::filePath() const { return d->store && !d->store->isMemory() ? d->store->path() : QString(); }

QVector<FieldDef> Table::fields() const
{
    QVector<FieldDef> out;
    if (!d->store) {
        return d->fieldDefs;
    }
    for (const FieldLayout &f : d->store->layout().fields)
        out.append(FieldDef{f.name, f.type, f.width, f.decimals});
    return out;
}

int Table::fieldIndex(const QString &name) const
{
    if (!d->store) {
        for (int i = 0; i < d->fieldDefs.size(); ++i)
            if (d->fieldDefs[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    return d->store->layout().indexOf(name);
}

void Table::setFilter(const QString &expression)
{
    if (d->store) {
        std::unique_ptr<Expression> compiled;
        if (!expression.trimmed().isEmpty())
            compiled = std::make_unique<Expression>(Expression::Filter(expression, d->store->layout(), d->options));
        d->checkBrowse();
        d->filterText = expression;
        d->filter = std::move(compiled);
        d->recognizeFilter();
        d->moveFirst();
        emit afterScroll();
        return;
    }
    if (!expression.trimmed().isEmpty() && !d->fieldDefs.isEmpty()) {
        // Checked against the defined fields now; compiled against the file's at open.
        RecordLayout layout;
        bool haveLayout = true;
        try {
            layout = MakeLayout(d->fieldDefs, d->level, d->storage == Storage::Memory, d->tableName);
        } catch (const TableError &) {
            haveLayout = false;
        }
        if (haveLayout)
            (void)Expression::Filter(expression, layout, d->options);
    }
    d->filterText = expression;
}

QString Table::filter() const { return d->filterText; }

void Table::setFiltered(bool on)
{
    if (d->filtered == on)
        return;
    d->filtered = on;
    if (d->store) {
        d->moveFirst();
        emit afterScroll();
    }
}

bool Table::filtered() const { return d->filtered; }

void Table::setIndexName(const QString &tag)
{
    if (!d->store) {
        d->indexName = tag;
        return;
    }
    d->checkBrowse();
    const QString before = d->indexName;
    d->indexName = tag;
    try {
        d->selectTag();
    } catch (...) {
        d->indexName = before;
        d->selectTag();
        throw;
    }
    d->settle();
    emit afterScroll();
}

QString Table::indexName() const { return d->tag ? d->tag->Name() : (d->store ? QString() : d->indexName); }

int Table::exactRecordCount()
{
    int n = 0;
    d->forEachVisible([&n](int) { ++n; });
    return n;
}

int Table::physicalRecordCount()
{
    if (!d->store)
        return 0;
    d->store->noticeChanges(false);
    return d->store->count();
}

bool Table::first() { return moveToEnd(false); }

bool Table::next()
{
    if (!d->store)
        return false;
    const bool moved = d->moveBy(1);
    if (moved)
        emit afterScroll();
    return moved;
}

bool Table::eof() const { return !d->store || d->eof; }
bool Table::bof() const { return !d->store || d->bof; }
bool Table::findFirst() { return first(); }

bool Table::findLast() { return moveToEnd(true); }

bool Table::moveToEnd(bool last)
{
    if (!d->store)
        return false;
    const bool found = last ? d->moveLast() : d->moveFirst();
    emit afterScroll();
    return found;
}

bool Table::findNext() { return next(); }

bool Table::findPrior()
{
    if (!d->store)
        return false;
    const bool moved = d->moveBy(-1);
    if (moved)
        emit afterScroll();
    return moved;
}

bool Table::isEmpty()
{
    if (!d->store)
        return true;
    d->store->noticeChanges(false);
    return d->findEnd(1) == 0;
}

int Table::recNo() const
{
    if (!d->store || d->state == TableImpl::State::Insert)
        return 0;
    return d->recNo;
}

bool Table::goToRecNo(int recNo)
{
    if (!d->store)
        return false;
    d->checkBrowse();
    d->store->noticeChanges(false);
    if (recNo < 1 || recNo > d->store->count() || !d->visible(recNo))
        return false;
    const int before = d->recNo;
    d->recNo = recNo;
    d->tcValid = false;
    if (!d->inOrder()) {
        d->recNo = before;
        d->tcValid = false;
        return false;
    }
    d->bof = d->eof = false;
    emit afterScroll();
    return true;
}

void Table::append()
{
    d->requireWritable();
    d->checkBrowse();
    d->buffer = QByteArray(d->store->layout().recordLength, ' ');
    BlankRecord(d->store->layout(), reinterpret_cast<uchar *>(d->buffer.data()));
    d->memoEdits.clear();
    d->insertReturn = d->recNo;
    d->state = TableImpl::State::Insert;
}

void Table::edit()
{
    d->requireWritable();
    if (d->state != TableImpl::State::Browse)
        return;
    d->store->noticeChanges(false);
    if (d->recNo <= 0 || d->recNo > d->store->count())
        d->fail(QStringLiteral("нет текущей записи для правки"));
    d->store->rereadRecord(d->recNo);
    const uchar *rec = d->store->record(d->recNo);
    d->buffer = QByteArray(reinterpret_cast<const char *>(rec), d->store->layout().recordLength);
    d->memoEdits.clear();
    d->state = TableImpl::State::Edit;
}

void Table::post()
{
    if (!d->store)
        return;
    d->post();
}

void Table::cancel()
{
    if (!d->store || d->state == TableImpl::State::Browse)
        return;
    const bool inserting = d->state == TableImpl::State::Insert;
    d->state = TableImpl::State::Browse;
    d->buffer.clear();
    d->memoEdits.clear();
    if (inserting) {
        d->recNo = d->insertReturn;
        d->settle();
        emit afterScroll();
    }
}

void Table::deleteRecord()
{
    d->requireWritable();
    if (d->state == TableImpl::State::Insert) {
        cancel();
        return;
    }
    d->state = TableImpl::State::Browse;
    d->buffer.clear();
    d->memoEdits.clear();
    d->store->noticeChanges(false);
    if (d->recNo <= 0 || d->recNo > d->store->count() || !d->visible(d->recNo))
        d->fail(QStringLiteral("нет текущей записи для удаления"));
    emit beforeDelete();
    if (!d->store || d->recNo <= 0)
        return;
    QByteArray rec(reinterpret_cast<const char *>(d->store->record(d->recNo)), d->store->layout().recordLength);
    rec[0] = '*';
    d->store->update(d->recNo, rec, {});
    d->settle();
    emit afterScroll();
}

void Table::refresh()
{
    if (!d->store)
        return;
    d->checkBrowse();
    d->store->noticeChanges(true);
    d->store->rereadRecord(d->recNo);
    d->settle();
    emit afterScroll();
}

void Table::appendRecord(const QVariantList &values)
{
    append();
    try {
        const auto &fields = d->store->layout().fields;
        for (int i = 0; i < values.size() && i < fields.size(); ++i)
            if (!values[i].isNull())
                setValue(fields[i].name, values[i]);
        post();
    } catch (...) {
        cancel();
        throw;
    }
}

void Table::holdWriteLock()
{
    d->requireWritable();
    d->checkBrowse();
    d->store->holdWriteLock();
    ++d->holds;
}

void Table::releaseWriteLock()
{
    if (!d->store || d->holds == 0)
        return;
    --d->holds;
    d->store->releaseWriteLock();
}

void Table::emptyTable()
{
    d->requireWritable();
    d->state = TableImpl::State::Browse;
    d->buffer.clear();
    d->memoEdits.clear();
    d->store->removeAll();
    d->recNo = 0;
    d->moveFirst();
    emit afterScroll();
}

bool Table::isEditing() const { return d->state != TableImpl::State::Browse; }

QVariant Table::value(const QString &field) const
{
    const int i = d->fieldIndexOrFail(field);
    const FieldLayout &f = d->store->layout().fields[i];
    if (IsMemoType(f.type)) {
        const QString text = memoText(field);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    const uchar *rec = d->currentRecord();
    if (!rec)
        return QVariant();
    return DecodeField(f, d->store->layout().level, rec);
}

QString Table::asString(const QString &field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDate:
        return d->locale.toString(v.toDate(), QLocale::ShortFormat);
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'f', d->store->layout().fields[d->store->layout().indexOf(field)].decimals);
    default:
        return v.toString();
    }
}

int Table::asInteger(const QString &field) const
{
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::Double)
        return int(v.toDouble());
    return v.toInt();
}

QDate Table::asDate(const QString &field) const
{
    const QVariant v = value(field);
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return v.typeId() == QMetaType::QDate ? v.toDate() : QDate();
}

bool Table::asBoolean(const QString &field) const { return value(field).toBool(); }

QString Table::memoText(const QString &field) const
{
    const int i = d->fieldIndexOrFail(field);
    const FieldLayout &f = d->store->layout().fields[i];
    if (!IsMemoType(f.type))
        return asString(field);
    if (d->state != TableImpl::State::Browse && d->memoEdits.contains(i))
        return FromCp1251(d->memoEdits.value(i));
    const uchar *rec = d->currentRecord();
    if (!rec)
        return QString();
    return FromCp1251(d->store->memo(i, rec));
}

bool Table::isNull(const QString &field) const { return value(field).isNull(); }

void Table::setValue(const QString &field, const QVariant &value)
{
    const int i = d->fieldIndexOrFail(field);
    if (d->state == TableImpl::State::Browse)
        d->fail(QStringLiteral("запись не в режиме правки (поле %1)").arg(field));
    const FieldLayout &f = d->store->layout().fields[i];
    if (IsMemoType(f.type)) {
        d->memoEdits.insert(i, value.isNull() ? QByteArray() : ToCp1251(value.toString()));
        return;
    }
    try {
        EncodeField(f, d->store->layout().level, reinterpret_cast<uchar *>(d->buffer.data()), value);
    } catch (const TableError &e) {
        d->fail(e.message());
    }
}

bool Table::isDeleted() const
{
    const uchar *rec = d->currentRecord();
    return rec && rec[0] == '*';
}

QVector<int> Table::visibleRecNos()
{
    QVector<int> out;
    d->forEachVisible([&out](int r) { out.append(r); });
    return out;
}

QVariant Table::valueAt(int recNo, int field) const
{
    if (!d->store || recNo < 1 || recNo > d->store->count())
        return QVariant();
    const auto &fields = d->store->layout().fields;
    if (field < 0 || field >= fields.size())
        return QVariant();
    const FieldLayout &f = fields[field];
    const uchar *rec = d->store->record(recNo);
    if (IsMemoType(f.type)) {
        const QString text = FromCp1251(d->store->memo(field, rec));
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    return DecodeField(f, d->store->layout().level, rec);
}

bool Table::isDeletedAt(int recNo) const
{
    return d->store && recNo >= 1 && recNo <= d->store->count() && d->store->record(recNo)[0] == '*';
}

quint64 Table::changeCount() const { return d->store ? d->store->changeCount() : 0; }

} // namespace vel
