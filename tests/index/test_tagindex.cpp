// The in-memory order of one tag against a plain sorted model, through builds, inserts,
// key changes and removals, with nodes small enough to make the tree several levels deep.
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <map>
#include <vector>

#include "store/index/tagindex.h"
#include "tests/support/records.h"

using namespace vel;
using vel::testing::Record;

namespace {

RecordLayout SmallLayout()
{
    return testing::MakeLayout(TableLevel::FoxPro, {{"K", 'C', 3}, {"N", 'N', 6}});
}

// A table of records kept in memory, and what a tag over it must hold.
struct Model {
    RecordLayout layout = SmallLayout();
    std::vector<QByteArray> records;   // record n at index n-1

    QByteArray Make(const QString &k, int n) const
    {
        Record r(layout);
        r.text("K", k).number("N", n);
        return r.bytes();
    }
    const uchar *At(quint32 recNo) const
    {
        return reinterpret_cast<const uchar *>(records[recNo - 1].constData());
    }
    RecordSource Source() const
    {
        return [this](quint32 recNo) { return At(recNo); };
    }
    // Record numbers in tag order: by key then record number; for a unique tag only the
    // lowest record number of each key.
    std::vector<quint32> Expected(const TagIndex &tag) const
    {
        std::vector<std::pair<QByteArray, quint32>> all;
        for (quint32 r = 1; r <= records.size(); ++r)
            all.push_back({tag.KeyOf(At(r)), r});
        std::sort(all.begin(), all.end());
        std::vector<quint32> out;
        for (size_t i = 0; i < all.size(); ++i)
            if (!tag.Unique() || i == 0 || all[i].first != all[i - 1].first)
                out.push_back(all[i].second);
        return out;
    }
};

// The record numbers in tag order, walked from the first forwards or from the last
// backwards.
std::vector<quint32> Walk(const TagIndex &tag, bool backwards)
{
    std::vector<quint32> out;
    TagCursor c;
    for (bool on = backwards ? tag.Last(c) : tag.First(c); on; on = backwards ? tag.Prior(c) : tag.Next(c))
        out.push_back(c.recNo());
    if (backwards)
        std::reverse(out.begin(), out.end());
    return out;
}
std::vector<quint32> Forward(const TagIndex &tag) { return Walk(tag, false); }
std::vector<quint32> Backward(const TagIndex &tag) { return Walk(tag, true); }

QString RandomKey(QRandomGenerator &rng, int spread)
{
    return QString::number(rng.bounded(spread)).rightJustified(3, '0');
}

} // namespace

class TestTagIndex : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void followsModel_data()
    {
        QTest::addColumn<bool>("unique");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("spread");   // distinct keys: small means many duplicates
        QTest::newRow("plain, deep tree, many duplicates") << false << 64 << 20;
        QTest::newRow("plain, deep tree, few duplicates") << false << 64 << 1000;
        QTest::newRow("unique, deep tree, many duplicates") << true << 64 << 20;
        QTest::newRow("unique, .mdx block size") << true << 1024 << 300;
        QTest::newRow("plain, .mdx block size") << false << 1024 << 300;
    }
    void followsModel()
    {
        QFETCH(bool, unique);
        QFETCH(int, blockSize);
        QFETCH(int, spread);
        QRandomGenerator rng(7);
        Model m;
        TagIndex tag({"K", "K", unique, false}, m.layout, blockSize);
        for (int i = 0; i < 300; ++i)
            m.records.push_back(m.Make(RandomKey(rng, spread), i));
        tag.Build(quint32(m.records.size()), m.Source());
        QCOMPARE(Forward(tag), m.Expected(tag));

        for (int round = 0; round < 8; ++round) {
            for (int op = 0; op < 150; ++op) {
                const int what = rng.bounded(3);
                if (what == 0 || m.records.empty()) {           // append
                    m.records.push_back(m.Make(RandomKey(rng, spread), op));
                    tag.Insert(quint32(m.records.size()), m.At(quint32(m.records.size())));
                } else if (what == 1) {                          // change a key
                    const quint32 r = 1 + quint32(rng.bounded(int(m.records.size())));
                    const QByteArray old = m.records[r - 1];
                    m.records[r - 1] = m.Make(RandomKey(rng, spread), op);
                    tag.Update(r, reinterpret_cast<const uchar *>(old.constData()), m.At(r));
                } else {                                         // remove the last record
                    // (the last one, so that record numbers stay dense)
                    const quint32 r = quint32(m.records.size());
                    tag.Remove(r, m.At(r));
                    m.records.pop_back();
                }
            }
            const std::vector<quint32> expected = m.Expected(tag);
            QCOMPARE(Forward(tag), expected);
            QCOMPARE(Backward(tag), expected);
            QCOMPARE(tag.Count(), int(expected.size()));
        }
        // Emptying the whole tag one record at a time leaves a usable empty tag.
        while (!m.records.empty()) {
            tag.Remove(quint32(m.records.size()), m.At(quint32(m.records.size())));
            m.records.pop_back();
        }
        TagCursor c;
        QVERIFY(!tag.First(c));
        QVERIFY(!tag.Last(c));
        m.records.push_back(m.Make("abc", 1));
        tag.Insert(1, m.At(1));
        QCOMPARE(Forward(tag), std::vector<quint32>{1});
    }

    // The first record of a key is in a unique tag; when it leaves the key (or takes a
    // later key), the next record of that key takes its place.
    void uniqueKeepsTheFirstRecord()
    {
        Model m;
        TagIndex tag({"U", "K", true, false}, m.layout);
        m.records = {m.Make("AAA", 1), m.Make("BBB", 2), m.Make("AAA", 3), m.Make("AAA", 4)};
        tag.Build(4, m.Source());
        QCOMPARE(Forward(tag), (std::vector<quint32>{1, 2}));
        TagCursor c;
        QVERIFY(!tag.Locate(c, 3, m.At(3)));   // set aside: the cursor stops at the next key
        QCOMPARE(c.recNo(), 2u);

        const QByteArray old = m.records[0];
        m.records[0] = m.Make("CCC", 1);
        tag.Update(1, reinterpret_cast<const uchar *>(old.constData()), m.At(1));
        QCOMPARE(Forward(tag), (std::vector<quint32>{3, 2, 1}));

        // A record moving into a key ahead of the one listed replaces it.
        const QByteArray old2 = m.records[1];
        m.records[1] = m.Make("AAA", 2);
        tag.Update(2, reinterpret_cast<const uchar *>(old2.constData()), m.At(2));
        QCOMPARE(Forward(tag), (std::vector<quint32>{2, 1}));
    }

    // A cursor keeps its place while the tag changes around it.
    void cursorSurvivesChanges()
    {
        Model m;
        TagIndex tag({"K", "K", false, false}, m.layout, 64);
        for (int i = 0; i < 100; ++i)
            m.records.push_back(m.Make(QString::number(i * 2).rightJustified(3, '0'), i));
        tag.Build(100, m.Source());

        TagCursor c;
        QVERIFY(tag.Seek(c, "050"));
        QCOMPARE(c.recNo(), 26u);                       // key 050
        m.records.push_back(m.Make("051", 0));          // lands right after the cursor
        tag.Insert(101, m.At(101));
        QVERIFY(tag.Next(c));
        QCOMPARE(c.recNo(), 101u);

        tag.Remove(101, m.At(101));                     // the cursor's own entry goes
        QVERIFY(tag.Next(c));
        QCOMPARE(c.key(), QByteArray("052"));
        QVERIFY(tag.Prior(c));
        QCOMPARE(c.key(), QByteArray("050"));

        // Off the ends and back.
        QVERIFY(tag.Last(c));
        QVERIFY(!tag.Next(c));
        QVERIFY(!tag.Next(c));
        QVERIFY(tag.Prior(c));
        QCOMPARE(c.key(), QByteArray("198"));
        QVERIFY(tag.First(c));
        QVERIFY(!tag.Prior(c));
        QVERIFY(tag.Next(c));
        QCOMPARE(c.key(), QByteArray("000"));
    }

    void seekAndLocate()
    {
        Model m;
        TagIndex tag({"K", "K", false, false}, m.layout, 64);
        for (const char *k : {"ab1", "ab2", "ac0", "ab1", "b00"})
            m.records.push_back(m.Make(k, 0));
        tag.Build(5, m.Source());
        TagCursor c;
        QVERIFY(tag.Seek(c, "ab"));
        QCOMPARE(c.recNo(), 1u);
        QVERIFY(tag.Seek(c, "ab3"));
        QCOMPARE(c.recNo(), 3u);
        QVERIFY(!tag.Seek(c, "c"));
        QVERIFY(tag.Locate(c, 4, m.At(4)));
        QCOMPARE(c.recNo(), 4u);
        QVERIFY(tag.Next(c));
        QCOMPARE(c.recNo(), 2u);
        QCOMPARE(tag.SeekKey(QString("AC0")), QByteArray("AC0"));
    }

    void caseInsensitiveTagFoldsKeys()
    {
        Model m;
        TagIndex tag({"F", "K", false, true}, m.layout);
        for (const char *k : {"Бв", "аб", "АА", "бА"})
            m.records.push_back(m.Make(QString::fromUtf8(k), 0));
        tag.Build(4, m.Source());
        QCOMPARE(Forward(tag), (std::vector<quint32>{3, 2, 4, 1}));
        TagCursor c;
        QVERIFY(tag.Seek(c, tag.SeekKey(QString::fromUtf8("Б"))));
        QCOMPARE(c.recNo(), 4u);
    }
};

QTEST_GUILESS_MAIN(TestTagIndex)
#include "test_tagindex.moc"
