#include "store/index/tagindex.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "common/text.h"
#include "store/index/mdxkeys.h"

namespace vel {

namespace {

quint32 RecNoOf(const uchar *entry, int keyLength)
{
    return qFromBigEndian<quint32>(entry + keyLength);
}

} // namespace

QByteArray TagCursor::key() const
{
    return m_entry.size() >= 4 ? m_entry.left(m_entry.size() - 4) : QByteArray();
}

TagIndex::TagIndex(const IndexDef &def, const RecordLayout &layout, int blockSize)
    : m_def(def), m_expr(Expression::IndexKey(def.expression, layout, def.caseInsensitive))
{
    m_keyLength = m_expr.KeyLength();
    const int item = (MdxKeyLength(KeyType(), m_keyLength) + 4 + 3) / 4 * 4;
    m_capacity = std::max(4, (blockSize - 12) / item);
    m_entry.resize(size_t(EntryLength()));
    m_entry2.resize(size_t(EntryLength()));
    ResetEmpty();
}

TagIndex::~TagIndex() = default;

// ---------------------------------------------------------------- nodes

int TagIndex::NewNode(bool leaf)
{
    int index;
    if (!m_freeNodes.empty()) {
        index = m_freeNodes.back();
        m_freeNodes.pop_back();
    } else {
        index = int(m_nodes.size());
        m_nodes.emplace_back();
    }
    Node &n = m_nodes[size_t(index)];
    n.leaf = leaf;
    n.live = true;
    n.changed = false;
    n.count = 0;
    n.entries.resize(size_t(m_capacity + 1) * size_t(EntryLength()));
    n.kids.clear();
    n.prev = n.next = -1;
    n.page = m_pages ? m_pages->AllocatePage() : 0;
    ++m_liveNodes;
    Touch(index);
    return index;
}

void TagIndex::FreeNode(int index)
{
    Node &n = m_nodes[size_t(index)];
    if (m_pages && n.page)
        m_pages->FreePage(n.page);
    n.live = false;
    n.page = 0;
    n.kids.clear();
    m_freeNodes.push_back(index);
    --m_liveNodes;
}

void TagIndex::Touch(int index)
{
    if (!m_pages)
        return;   // only nodes that are pages of a file are written
    Node &n = m_nodes[size_t(index)];
    if (!n.changed) {
        n.changed = true;
        m_changed.push_back(index);
    }
}

void TagIndex::ResetEmpty(bool withRoot)
{
    for (size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].live)
            FreeNode(int(i));
    m_nodes.clear();
    m_freeNodes.clear();
    m_changed.clear();
    m_liveNodes = 0;
    m_aside.clear();
    m_count = 0;
    ++m_stamp;
    m_root = withRoot ? NewNode(true) : -1;
}

void TagIndex::Clear()
{
    ResetEmpty();
}

// ---------------------------------------------------------------- searching

void TagIndex::MakeEntry(const uchar *record, quint32 recNo, uchar *out) const
{
    m_expr.KeyInto(record, out);
    qToBigEndian(recNo, out + m_keyLength);
}

// The child whose subtree holds the first entry not below `probe`: separator i is the
// largest entry of child i, the last child has none.
int TagIndex::ChildFor(const Node &n, const uchar *probe, int length) const
{
    int lo = 0, hi = n.count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (std::memcmp(probe, EntryAt(n, mid), size_t(length)) <= 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int TagIndex::LowerBound(const Node &n, const uchar *probe, int length) const
{
    int lo = 0, hi = n.count;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (std::memcmp(EntryAt(n, mid), probe, size_t(length)) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TagIndex::Descend(const uchar *probe, int length, std::vector<Step> &path) const
{
    path.clear();
    int index = m_root;
    for (;;) {
        const Node &n = m_nodes[size_t(index)];
        if (n.leaf) {
            path.push_back({index, LowerBound(n, probe, length)});
            return;
        }
        const int child = ChildFor(n, probe, length);
        path.push_back({index, child});
        index = n.kids[size_t(child)];
    }
}

// ---------------------------------------------------------------- inserting

// The path down to where `entry` is or would be; true when it is there.
bool TagIndex::FindEntry(const uchar *entry, std::vector<Step> &path) const
{
    Descend(entry, EntryLength(), path);
    const Node &n = m_nodes[size_t(path.back().node)];
    const int slot = path.back().index;
    return slot < n.count && std::memcmp(EntryAt(n, slot), entry, size_t(EntryLength())) == 0;
}

bool TagIndex::InsertEntry(const uchar *entry)
{
    const int len = EntryLength();
    std::vector<Step> path;
    if (FindEntry(entry, path))
        return false;
    const int leaf = path.back().node;
    const int slot = path.back().index;
    Node &n = m_nodes[size_t(leaf)];
    std::memmove(EntryAt(n, slot + 1), EntryAt(n, slot), size_t(n.count - slot) * size_t(len));
    std::memcpy(EntryAt(n, slot), entry, size_t(len));
    ++n.count;
    ++m_count;
    ++m_stamp;
    Touch(leaf);
    if (n.count > m_capacity)
        SplitUp(path);
    return true;
}

// Splits the overfull node at the end of `path`, and its parents as far as needed.
void TagIndex::SplitUp(std::vector<Step> &path)
{
    const int len = EntryLength();
    std::vector<uchar> separator(static_cast<size_t>(len));
    for (size_t level = path.size() - 1;; --level) {
        const int index = path[level].node;
        if (m_nodes[size_t(index)].count <= m_capacity)
            return;
        const bool leaf = m_nodes[size_t(index)].leaf;
        const int right = NewNode(leaf);   // may move m_nodes: references taken after it
        Node &n = m_nodes[size_t(index)];
        Node &r = m_nodes[size_t(right)];
        if (leaf) {
            const int keep = (n.count + 1) / 2;
            r.count = n.count - keep;
            std::memcpy(EntryAt(r, 0), EntryAt(n, keep), size_t(r.count) * size_t(len));
            n.count = keep;
            r.prev = index;
            r.next = n.next;
            if (n.next >= 0)
                m_nodes[size_t(n.next)].prev = right;
            n.next = right;
            std::memcpy(separator.data(), EntryAt(n, keep - 1), size_t(len));
        } else {
            // Separators 0..m-1 and children 0..m stay; separator m goes up.
            const int m = n.count / 2;
            std::memcpy(separator.data(), EntryAt(n, m), size_t(len));
            r.count = n.count - m - 1;
            std::memcpy(EntryAt(r, 0), EntryAt(n, m + 1), size_t(r.count) * size_t(len));
            r.kids.assign(n.kids.begin() + m + 1, n.kids.end());
            n.kids.resize(size_t(m + 1));
            n.count = m;
        }
        Touch(index);

        if (level == 0) {
            const int root = NewNode(false);
            Node &top = m_nodes[size_t(root)];
            top.count = 1;
            std::memcpy(EntryAt(top, 0), separator.data(), size_t(len));
            top.kids = {index, right};
            m_root = root;
            return;
        }
        const int parent = path[level - 1].node;
        const int c = path[level - 1].index;
        Node &p = m_nodes[size_t(parent)];
        std::memmove(EntryAt(p, c + 1), EntryAt(p, c), size_t(p.count - c) * size_t(len));
        std::memcpy(EntryAt(p, c), separator.data(), size_t(len));
        p.kids.insert(p.kids.begin() + c + 1, right);
        ++p.count;
        Touch(parent);
    }
}

// ---------------------------------------------------------------- removing

bool TagIndex::RemoveEntry(const uchar *entry)
{
    const int len = EntryLength();
    std::vector<Step> path;
    if (!FindEntry(entry, path))
        return false;
    const int leaf = path.back().node;
    const int slot = path.back().index;
    Node &n = m_nodes[size_t(leaf)];
    const bool wasLast = slot == n.count - 1;
    std::memmove(EntryAt(n, slot), EntryAt(n, slot + 1), size_t(n.count - slot - 1) * size_t(len));
    --n.count;
    --m_count;
    ++m_stamp;
    Touch(leaf);
    if (n.count == 0 && leaf != m_root)
        RemoveChild(path, path.size() - 1);
    else if (wasLast && n.count > 0)
        FixMaxUp(path, path.size() - 1);
    return true;
}

// Removes the empty node at path[level] from its parent.
void TagIndex::RemoveChild(std::vector<Step> &path, size_t level)
{
    const int len = EntryLength();
    const int gone = path[level].node;
    {
        Node &g = m_nodes[size_t(gone)];
        if (g.leaf) {
            if (g.prev >= 0)
                m_nodes[size_t(g.prev)].next = g.next;
            if (g.next >= 0)
                m_nodes[size_t(g.next)].prev = g.prev;
        }
    }
    FreeNode(gone);

    const int parent = path[level - 1].node;
    const int c = path[level - 1].index;
    Node &p = m_nodes[size_t(parent)];
    const int oldCount = p.count;
    p.kids.erase(p.kids.begin() + c);
    if (p.count > 0) {
        // Child c goes with its separator; the last child has none, so the child before
        // it becomes last and loses its own.
        const int sep = c < p.count ? c : c - 1;
        std::memmove(EntryAt(p, sep), EntryAt(p, sep + 1), size_t(p.count - sep - 1) * size_t(len));
        --p.count;
    }
    Touch(parent);

    if (p.kids.empty()) {
        if (parent == m_root) {
            p.leaf = true;
            p.count = 0;
            p.prev = p.next = -1;
        } else {
            RemoveChild(path, level - 1);
        }
        return;
    }
    if (parent == m_root && p.count == 0) {
        m_root = p.kids[0];
        FreeNode(parent);
        return;
    }
    if (c == oldCount)
        FixMaxUp(path, level - 1);
}

// The subtree at path[level] has a new largest entry: the separator that names it, in the
// first ancestor where it is not the last child, is set to it.
void TagIndex::FixMaxUp(const std::vector<Step> &path, size_t level)
{
    const int len = EntryLength();
    for (; level > 0; --level) {
        const int parent = path[level - 1].node;
        const int c = path[level - 1].index;
        Node &p = m_nodes[size_t(parent)];
        if (c < p.count) {
            int index = path[level].node;
            while (!m_nodes[size_t(index)].leaf)
                index = m_nodes[size_t(index)].kids.back();
            const Node &leaf = m_nodes[size_t(index)];
            std::memcpy(EntryAt(p, c), EntryAt(leaf, leaf.count - 1), size_t(len));
            Touch(parent);
            return;
        }
    }
}

// ---------------------------------------------------------------- unique tags

bool TagIndex::FindKey(const uchar *key, quint32 &recNo) const
{
    std::vector<uchar> probe(size_t(EntryLength()), 0);
    std::memcpy(probe.data(), key, size_t(m_keyLength));
    Descend(probe.data(), EntryLength(), m_path);
    int node = m_path.back().node;
    int slot = m_path.back().index;
    if (slot >= m_nodes[size_t(node)].count) {
        node = m_nodes[size_t(node)].next;
        slot = 0;
        if (node < 0)
            return false;
    }
    const uchar *entry = EntryAt(m_nodes[size_t(node)], slot);
    if (std::memcmp(entry, key, size_t(m_keyLength)) != 0)
        return false;
    recNo = RecNoOf(entry, m_keyLength);
    return true;
}

void TagIndex::InsertUnique(const uchar *entry)
{
    const quint32 recNo = RecNoOf(entry, m_keyLength);
    quint32 first = 0;
    if (!FindKey(entry, first)) {
        InsertEntry(entry);
        return;
    }
    if (first == recNo)
        return;
    const QByteArray key(reinterpret_cast<const char *>(entry), m_keyLength);
    std::vector<quint32> &aside = m_aside[key];
    quint32 setAside = recNo;
    if (recNo < first) {
        // The new record comes first: it takes the key's place in the order.
        std::vector<uchar> old(entry, entry + EntryLength());
        qToBigEndian(first, old.data() + m_keyLength);
        RemoveEntry(old.data());
        InsertEntry(entry);
        setAside = first;
    }
    const auto at = std::lower_bound(aside.begin(), aside.end(), setAside);
    if (at == aside.end() || *at != setAside)
        aside.insert(at, setAside);
}

void TagIndex::RemoveUnique(const uchar *entry)
{
    const quint32 recNo = RecNoOf(entry, m_keyLength);
    const QByteArray key(reinterpret_cast<const char *>(entry), m_keyLength);
    quint32 first = 0;
    if (FindKey(entry, first) && first == recNo) {
        RemoveEntry(entry);
        const auto it = m_aside.find(key);
        if (it != m_aside.end()) {
            std::vector<uchar> next(entry, entry + EntryLength());
            qToBigEndian(it->front(), next.data() + m_keyLength);
            it->erase(it->begin());
            if (it->empty())
                m_aside.erase(it);
            InsertEntry(next.data());
        }
        return;
    }
    const auto it = m_aside.find(key);
    if (it == m_aside.end())
        return;
    const auto at = std::lower_bound(it->begin(), it->end(), recNo);
    if (at != it->end() && *at == recNo)
        it->erase(at);
    if (it->empty())
        m_aside.erase(it);
}

// ---------------------------------------------------------------- public changes

void TagIndex::Insert(quint32 recNo, const uchar *record)
{
    MakeEntry(record, recNo, m_entry.data());
    if (Unique())
        InsertUnique(m_entry.data());
    else
        InsertEntry(m_entry.data());
}

void TagIndex::Remove(quint32 recNo, const uchar *record)
{
    MakeEntry(record, recNo, m_entry.data());
    if (Unique())
        RemoveUnique(m_entry.data());
    else
        RemoveEntry(m_entry.data());
}

void TagIndex::Update(quint32 recNo, const uchar *oldRecord, const uchar *newRecord)
{
    MakeEntry(oldRecord, recNo, m_entry2.data());
    MakeEntry(newRecord, recNo, m_entry.data());
    if (std::memcmp(m_entry.data(), m_entry2.data(), size_t(EntryLength())) == 0)
        return;
    if (Unique()) {
        RemoveUnique(m_entry2.data());
        InsertUnique(m_entry.data());
    } else {
        RemoveEntry(m_entry2.data());
        InsertEntry(m_entry.data());
    }
}

void TagIndex::Build(quint32 recordCount, const RecordSource &records)
{
    BeginBuild(recordCount);
    for (quint32 r = 1; r <= recordCount; ++r)
        AddToBuild(r, records(r));
    FinishBuild();
}

void TagIndex::BeginBuild(quint32 recordCount)
{
    ResetEmpty(false);
    m_build.assign(size_t(recordCount) * size_t(EntryLength()), 0);
    m_buildCount = recordCount;
}

void TagIndex::AddToBuild(quint32 recNo, const uchar *record)
{
    if (recNo >= 1 && recNo <= m_buildCount)
        MakeEntry(record, recNo, m_build.data() + size_t(recNo - 1) * size_t(EntryLength()));
}

void TagIndex::FinishBuild()
{
    const int len = EntryLength();
    const quint32 recordCount = m_buildCount;
    std::vector<uchar> arena;
    arena.swap(m_build);
    m_buildCount = 0;
    std::vector<quint32> order(recordCount);
    std::iota(order.begin(), order.end(), 0u);
    const uchar *base = arena.data();
    std::sort(order.begin(), order.end(), [base, len](quint32 a, quint32 b) {
        return std::memcmp(base + size_t(a) * size_t(len), base + size_t(b) * size_t(len), size_t(len)) < 0;
    });

    // Unique: the first record of each key stays in the order, the rest wait aside.
    if (Unique() && recordCount > 0) {
        size_t kept = 1;
        for (size_t i = 1; i < order.size(); ++i) {
            const uchar *entry = base + size_t(order[i]) * size_t(len);
            const uchar *prior = base + size_t(order[kept - 1]) * size_t(len);
            if (std::memcmp(entry, prior, size_t(m_keyLength)) == 0)
                m_aside[QByteArray(reinterpret_cast<const char *>(entry), m_keyLength)]
                    .push_back(order[i] + 1);
            else
                order[kept++] = order[i];
        }
        order.resize(kept);
    }
    const size_t total = order.size();
    if (total == 0) {
        m_root = NewNode(true);
        return;
    }

    // Leaves filled evenly, then each level of parents over the one below.
    std::vector<int> level;
    const size_t leaves = (total + size_t(m_capacity) - 1) / size_t(m_capacity);
    size_t at = 0;
    for (size_t i = 0; i < leaves; ++i) {
        const size_t take = total / leaves + (i < total % leaves ? 1 : 0);
        const int index = NewNode(true);
        Node &n = m_nodes[size_t(index)];
        for (size_t k = 0; k < take; ++k)
            std::memcpy(EntryAt(n, int(k)), base + size_t(order[at + k]) * size_t(len), size_t(len));
        n.count = int(take);
        at += take;
        if (!level.empty()) {
            n.prev = level.back();
            m_nodes[size_t(level.back())].next = index;
        }
        level.push_back(index);
    }
    m_count = int(total);
    const size_t fan = size_t(m_capacity) + 1;
    while (level.size() > 1) {
        std::vector<int> up;
        const size_t parents = (level.size() + fan - 1) / fan;
        size_t k = 0;
        for (size_t i = 0; i < parents; ++i) {
            const size_t take = level.size() / parents + (i < level.size() % parents ? 1 : 0);
            const int index = NewNode(false);
            for (size_t j = 0; j < take; ++j, ++k) {
                int child = level[k];
                m_nodes[size_t(index)].kids.push_back(child);
                if (j + 1 < take) {
                    while (!m_nodes[size_t(child)].leaf)
                        child = m_nodes[size_t(child)].kids.back();
                    const Node &leaf = m_nodes[size_t(child)];
                    Node &n = m_nodes[size_t(index)];
                    std::memcpy(EntryAt(n, int(j)), EntryAt(leaf, leaf.count - 1), size_t(len));
                }
            }
            m_nodes[size_t(index)].count = int(take) - 1;
            up.push_back(index);
        }
        level.swap(up);
    }
    m_root = level.front();
    ++m_stamp;
}

// ---------------------------------------------------------------- cursors

bool TagIndex::SetCursor(TagCursor &c, int node, int slot) const
{
    // A slot past the end of a leaf is the first entry of the next one.
    while (node >= 0 && slot >= m_nodes[size_t(node)].count) {
        node = m_nodes[size_t(node)].next;
        slot = 0;
    }
    c.m_stamp = m_stamp;
    if (node < 0) {
        c.m_node = -1;
        c.m_recNo = 0;
        c.m_off = 1;
        return false;
    }
    c.m_node = node;
    c.m_slot = slot;
    c.m_off = 0;
    const uchar *entry = EntryAt(m_nodes[size_t(node)], slot);
    c.m_entry.resize(EntryLength());
    std::memcpy(c.m_entry.data(), entry, size_t(EntryLength()));
    c.m_recNo = RecNoOf(entry, m_keyLength);
    return true;
}

// Where a cursor's entry is now: its node and slot when the tag has not changed since,
// else the first entry not below it. `exact` tells whether that is the entry itself.
void TagIndex::Relocate(const TagCursor &c, int &node, int &slot, bool &exact) const
{
    if (c.m_stamp == m_stamp && c.m_node >= 0) {
        node = c.m_node;
        slot = c.m_slot;
        exact = true;
        return;
    }
    const uchar *entry = reinterpret_cast<const uchar *>(c.m_entry.constData());
    Descend(entry, EntryLength(), m_path);
    node = m_path.back().node;
    slot = m_path.back().index;
    while (node >= 0 && slot >= m_nodes[size_t(node)].count) {
        node = m_nodes[size_t(node)].next;
        slot = 0;
    }
    exact = node >= 0
        && std::memcmp(EntryAt(m_nodes[size_t(node)], slot), entry, size_t(EntryLength())) == 0;
}

bool TagIndex::First(TagCursor &c) const
{
    int index = m_root;
    while (!m_nodes[size_t(index)].leaf)
        index = m_nodes[size_t(index)].kids.front();
    if (!SetCursor(c, index, 0)) {
        c.m_entry.clear();
        return false;
    }
    return true;
}

bool TagIndex::Last(TagCursor &c) const
{
    int index = m_root;
    while (!m_nodes[size_t(index)].leaf)
        index = m_nodes[size_t(index)].kids.back();
    const int count = m_nodes[size_t(index)].count;
    if (count == 0) {
        c = TagCursor();
        return false;
    }
    return SetCursor(c, index, count - 1);
}

bool TagIndex::Next(TagCursor &c) const
{
    if (c.m_entry.size() != EntryLength() || c.m_off < 0)
        return First(c);
    if (c.m_off > 0)
        return false;
    int node, slot;
    bool exact;
    Relocate(c, node, slot, exact);
    if (node < 0)
        return SetCursor(c, -1, 0);
    return SetCursor(c, node, exact ? slot + 1 : slot);
}

bool TagIndex::Prior(TagCursor &c) const
{
    if (c.m_entry.size() != EntryLength() || c.m_off > 0)
        return Last(c);
    if (c.m_off < 0)
        return false;
    int node, slot;
    bool exact;
    Relocate(c, node, slot, exact);
    if (node < 0)
        return Last(c);   // everything from the cursor's entry on has gone
    while (slot == 0) {
        node = m_nodes[size_t(node)].prev;
        if (node < 0) {
            c.m_node = -1;
            c.m_recNo = 0;
            c.m_off = -1;
            c.m_stamp = m_stamp;
            return false;
        }
        slot = m_nodes[size_t(node)].count;
    }
    return SetCursor(c, node, slot - 1);
}

bool TagIndex::Seek(TagCursor &c, const QByteArray &key) const
{
    const int length = std::min(int(key.size()), m_keyLength);
    Descend(reinterpret_cast<const uchar *>(key.constData()), length, m_path);
    return SetCursor(c, m_path.back().node, m_path.back().index);
}

bool TagIndex::Locate(TagCursor &c, quint32 recNo, const uchar *record) const
{
    std::vector<uchar> probe(static_cast<size_t>(EntryLength()));
    MakeEntry(record, recNo, probe.data());
    Descend(probe.data(), EntryLength(), m_path);
    if (!SetCursor(c, m_path.back().node, m_path.back().index))
        return false;
    return std::memcmp(c.m_entry.constData(), probe.data(), probe.size()) == 0;
}

QByteArray TagIndex::SeekKey(const QVariant &value) const
{
    switch (KeyType()) {
    case 'N':
        return Expression::NumberKey(value.toDouble());
    case 'D':
        return Expression::DateKey(value.toDate());
    default: {
        QByteArray key = ToCp1251(value.toString()).left(m_keyLength);
        if (m_def.caseInsensitive) {
            const uchar *fold = FoldLower1251();
            for (char &ch : key)
                ch = char(fold[uchar(ch)]);
        }
        return key;
    }
    }
}

// ---------------------------------------------------------------- pages

quint32 TagIndex::RootPage() const { return m_nodes[size_t(m_root)].page; }

quint32 TagIndex::FirstLeafPage() const
{
    int index = m_root;
    while (!m_nodes[size_t(index)].leaf)
        index = m_nodes[size_t(index)].kids.front();
    return m_nodes[size_t(index)].page;
}

quint32 TagIndex::LastLeafPage() const
{
    int index = m_root;
    while (!m_nodes[size_t(index)].leaf)
        index = m_nodes[size_t(index)].kids.back();
    return m_nodes[size_t(index)].page;
}

std::vector<int> TagIndex::TakeChangedNodes()
{
    std::vector<int> out;
    for (int index : m_changed) {
        Node &n = m_nodes[size_t(index)];
        if (n.live && n.changed)
            out.push_back(index);
        n.changed = false;
    }
    m_changed.clear();
    return out;
}

std::vector<int> TagIndex::AllNodes() const
{
    std::vector<int> out;
    for (size_t i = 0; i < m_nodes.size(); ++i)
        if (m_nodes[i].live)
            out.push_back(int(i));
    return out;
}

quint32 TagIndex::NodePage(int node) const { return m_nodes[size_t(node)].page; }

void TagIndex::EncodeNode(int index, uchar *page, int blockSize) const
{
    const Node &n = m_nodes[size_t(index)];
    const char type = KeyType();
    const int item = (MdxKeyLength(type, m_keyLength) + 4 + 3) / 4 * 4;
    std::memset(page, 0, size_t(blockSize));
    qToLittleEndian(quint32(n.count), page);
    for (int i = 0; i < n.count; ++i) {
        uchar *out = page + 8 + i * item;
        const uchar *entry = EntryAt(n, i);
        const quint32 pointer = n.leaf ? RecNoOf(entry, m_keyLength)
                                       : m_nodes[size_t(n.kids[size_t(i)])].page;
        qToLittleEndian(pointer, out);
        ToMdxKey(type, entry, m_keyLength, out + 4);
    }
    // An interior node has one child more than keys; in a leaf that place stays zero.
    if (!n.leaf)
        qToLittleEndian(m_nodes[size_t(n.kids.back())].page, page + 8 + n.count * item);
}

} // namespace vel
