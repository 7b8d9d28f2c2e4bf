// The .mdx production index: the bytes written for hand-checked cases, the whole file read
// back and its B-trees walked for generated tables before and after changes, and garbled
// files refused with a message naming them.
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>

#include "store/index/mdxfile.h"
#include "store/index/mdxkeys.h"
#include "store/index/productionindex.h"
#include "tests/support/records.h"

using namespace vel;
using vel::testing::Record;

namespace {

struct Rows {
    RecordLayout layout;
    std::vector<QByteArray> records;
    RecordSource Source() const
    {
        return [this](quint32 r) { return reinterpret_cast<const uchar *>(records[r - 1].constData()); };
    }
    const uchar *At(quint32 r) const { return reinterpret_cast<const uchar *>(records[r - 1].constData()); }
};

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// Every tag of the file holds exactly what the tag in memory holds, in the same order, and
// each interior key is the largest key below it.
void CompareFileWithTags(const QString &path, ProductionIndex &index)
{
    const MdxReader reader(path);
    QCOMPARE(reader.Tags().size(), index.TagCount());
    for (int i = 0; i < index.TagCount(); ++i) {
        TagIndex &tag = index.TagAt(i);
        const MdxTagInfo *info = reader.Tag(tag.Name());
        QVERIFY(info);
        QCOMPARE(info->unique, tag.Unique());
        QCOMPARE(info->keyType, tag.KeyType());
        const QVector<MdxEntry> entries = reader.Entries(*info);
        QCOMPARE(entries.size(), tag.Count());
        TagCursor c;
        bool on = tag.First(c);
        for (const MdxEntry &e : entries) {
            QVERIFY(on);
            QByteArray key(tag.KeyLength(), '\0');
            FromMdxKey(tag.KeyType(), reinterpret_cast<const uchar *>(e.key.constData()), info->keyLength,
                       reinterpret_cast<uchar *>(key.data()));
            QCOMPARE(key, c.key());
            QCOMPARE(e.recNo, c.recNo());
            on = tag.Next(c);
        }
        QVERIFY(!on);

        // Largest key below each interior key.
        std::function<QByteArray(quint32)> largest = [&](quint32 page) -> QByteArray {
            const MdxNode node = reader.ReadNode(*info, page);
            if (node.leaf)
                return node.keys.empty() ? QByteArray() : node.keys.back();
            for (size_t k = 0; k < node.keys.size(); ++k)
                if (largest(node.pointers[k]) != node.keys[k])
                    return QByteArray("separator mismatch");
            return largest(node.pointers.back());
        };
        QVERIFY(largest(info->rootPage) != "separator mismatch");
    }
}

} // namespace

class TestMdx : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberKeys_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("bcd");
        QTest::newRow("zero") << 0.0 << Bytes({0x34, 0x01});
        QTest::newRow("5") << 5.0 << Bytes({0x35, 0x05, 0x50});
        QTest::newRow("100 keeps its zeros") << 100.0 << Bytes({0x37, 0x0D, 0x10, 0x00});
        QTest::newRow("-42") << -42.0 << Bytes({0x36, 0x89, 0x42});
        QTest::newRow("0.5") << 0.5 << Bytes({0x34, 0x05, 0x50});
        QTest::newRow("0.05") << 0.05 << Bytes({0x33, 0x05, 0x50});
        QTest::newRow("123456789") << 123456789.0 << Bytes({0x3D, 0x25, 0x12, 0x34, 0x56, 0x78, 0x90});
        QTest::newRow("12.25") << 12.25 << Bytes({0x36, 0x11, 0x12, 0x25});
    }
    void numberKeys()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, bcd);
        uchar out[12];
        EncodeBcd(value, out);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(out), 12), bcd.leftJustified(12, '\0'));
        QCOMPARE(DecodeBcd(out), value);
    }

    void dateKeys()
    {
        uchar out[8];
        ToMdxKey('D', reinterpret_cast<const uchar *>("20000101"), 8, out);
        QCOMPARE(qFromLittleEndian<double>(out), 2451545.0);
        uchar back[8];
        FromMdxKey('D', out, 8, back);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(back), 8), QByteArray("20000101"));
        ToMdxKey('D', reinterpret_cast<const uchar *>("        "), 8, out);
        QCOMPARE(qFromLittleEndian<double>(out), 0.0);
    }

    // Psy.dbf with three tests, two of one patient: the bytes dBASE readers look at.
    void smallFileByteForByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Psy.mdx");
        Rows t{testing::PsyLayout(), {}};
        for (int idx : {5, 3, 5})
            t.records.push_back(Record(t.layout).number("IDX", idx).bytes());
        ProductionIndex index;
        index.Open(path, "Psy.dbf", t.layout, testing::PsyTags(), 3, t.Source());

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        const uchar *u = reinterpret_cast<const uchar *>(b.constData());
        QCOMPARE(b.size(), 8 * 512);                           // header, tag header, root leaf
        QCOMPARE(u[0], uchar(2));
        QCOMPARE(b.mid(4, 4), QByteArray("PSY\0", 4));
        QCOMPARE(qFromLittleEndian<qint16>(u + 20), qint16(2));
        QCOMPARE(qFromLittleEndian<qint16>(u + 22), qint16(1024));
        QCOMPARE(qFromLittleEndian<qint16>(u + 28), qint16(1));
        QCOMPARE(qFromLittleEndian<quint32>(u + 32), 8u);       // pages in the file
        const uchar *entry = u + 544;
        QCOMPARE(qFromLittleEndian<quint32>(entry), 4u);
        QCOMPARE(b.mid(544 + 4, 2), QByteArray("I\0", 2));
        QCOMPARE(entry[20], uchar('N'));

        const uchar *h = u + 4 * 512;
        QCOMPARE(qFromLittleEndian<quint32>(h), 6u);            // root page
        QCOMPARE(h[8], uchar(0x50));                            // unique
        QCOMPARE(h[9], uchar('N'));
        QCOMPARE(qFromLittleEndian<qint16>(h + 12), qint16(12));
        QCOMPARE(qFromLittleEndian<qint16>(h + 14), qint16(63));
        QCOMPARE(qFromLittleEndian<qint16>(h + 18), qint16(16));
        QCOMPARE(h[23], uchar(1));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(h + 24)), QByteArray("IDX"));

        // The root is a leaf: patient 3 (record 2), then patient 5 (record 1 only).
        const uchar *leaf = u + 6 * 512;
        QCOMPARE(qFromLittleEndian<quint32>(leaf), 2u);
        QCOMPARE(qFromLittleEndian<quint32>(leaf + 8), 2u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(leaf + 12), 3), Bytes({0x35, 0x05, 0x30}));
        QCOMPARE(qFromLittleEndian<quint32>(leaf + 24), 1u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(leaf + 28), 3), Bytes({0x35, 0x05, 0x50}));
        QCOMPARE(qFromLittleEndian<quint32>(leaf + 40), 0u);   // no pointer after the last key
    }

    // A generated register: all eight tags read back and walked, then again after appends,
    // edits and the emptying of whole leaves, which the file must follow block by block.
    void largeFileFollowsChanges()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("patients.mdx");
        Rows t{testing::PatientsLayout(), testing::RandomPatients(6000)};
        ProductionIndex index;
        index.Open(path, "patients.dbf", t.layout, testing::PatientTags(), quint32(t.records.size()), t.Source());
        CompareFileWithTags(path, index);
        QVERIFY(index.Tag("f")->NodeCount() > 100);

        const std::vector<QByteArray> more = testing::RandomPatients(1500, 99);
        for (const QByteArray &r : more) {                     // appends
            t.records.push_back(r);
            index.Insert(quint32(t.records.size()), t.At(quint32(t.records.size())));
        }
        for (quint32 r = 1; r <= 3000; r += 3) {               // edits: name, sex and documents
            const QByteArray old = t.records[r - 1];
            t.records[r - 1] = more[r % more.size()];
            index.Update(r, reinterpret_cast<const uchar *>(old.constData()), t.At(r));
        }
        CompareFileWithTags(path, index);

        // Every patient born in the same month as record 1 moves away: their leaves of
        // tag B empty and are given back to the file.
        const int offset = t.layout.fields[t.layout.indexOf("BIRTHDAY")].offset;
        const QByteArray month = t.records[0].mid(offset, 6);
        for (quint32 r = 1; r <= t.records.size(); ++r) {
            if (t.records[r - 1].mid(offset, 6) != month)
                continue;
            const QByteArray old = t.records[r - 1];
            t.records[r - 1].replace(offset, 8, "20300101");
            index.Update(r, reinterpret_cast<const uchar *>(old.constData()), t.At(r));
        }
        CompareFileWithTags(path, index);
        QCOMPARE(qint64(MdxReader(path).PageCount()) * 512, QFileInfo(path).size());
    }

    void emptyTableGivesValidFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("patients.mdx");
        Rows t{testing::PatientsLayout(), {}};
        ProductionIndex index;
        index.Open(path, "patients.dbf", t.layout, testing::PatientTags(), 0, t.Source());
        CompareFileWithTags(path, index);
        t.records = testing::RandomPatients(1);
        index.Insert(1, t.At(1));
        CompareFileWithTags(path, index);
    }

    void memoryOnlyWritesNothing()
    {
        QTemporaryDir dir;
        Rows t{testing::WorkListLayout(), {}};
        ProductionIndex index;
        index.Open(QString(), "tabrpt", t.layout,
                   {{"ALL", "STR(SCHOOL,5)+STR(CLASS,2)+LETTER+SUBSTR(FIO,1,40)", false, false}}, 0, t.Source());
        t.records.push_back(Record(t.layout).text("FIO", "Б").bytes());
        t.records.push_back(Record(t.layout).text("FIO", "А").bytes());
        index.Insert(1, t.At(1));
        index.Insert(2, t.At(2));
        TagCursor c;
        QVERIFY(index.Tag("ALL")->First(c));
        QCOMPARE(c.recNo(), 2u);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // A garbled file is refused with its name; opening the table builds a new one.
    void garbledFiles_data()
    {
        QTest::addColumn<int>("offset");        // into the file written for three records
        QTest::addColumn<QByteArray>("bytes");  // written there; empty: cut the file there
        QTest::newRow("cut inside the header") << 1000 << QByteArray();
        QTest::newRow("cut inside the tree") << 6 * 512 + 10 << QByteArray();
        QTest::newRow("block size") << 22 << Bytes({0x00, 0x03});
        QTest::newRow("tag count") << 28 << Bytes({0x60, 0x00});
        QTest::newRow("tag header beyond the end") << 544 << Bytes({0x00, 0x10});
        QTest::newRow("root beyond the end") << 4 * 512 << Bytes({0x00, 0x00, 0x01});
        QTest::newRow("key length") << 4 * 512 + 12 << Bytes({0x00, 0x01});
        QTest::newRow("key count") << 6 * 512 << Bytes({0xFF, 0xFF});
        QTest::newRow("leaf turned into an interior block") << 6 * 512 + 8 + 3 * 16 << Bytes({0x06});
        QTest::newRow("keys out of order") << 6 * 512 + 12 << Bytes({0x39});
    }
    void garbledFiles()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath("Psy.mdx");
        Rows t{testing::PsyLayout(), {}};
        for (int idx : {5, 3, 7})
            t.records.push_back(Record(t.layout).number("IDX", idx).bytes());
        {
            ProductionIndex index;
            index.Open(path, "Psy.dbf", t.layout, testing::PsyTags(), 3, t.Source());
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        if (bytes.isEmpty()) {
            QVERIFY(f.resize(offset));
        } else {
            f.seek(offset);
            f.write(bytes);
        }
        f.close();

        try {
            MdxReader(path).CheckAll();
            QFAIL("the garbled file was accepted");
        } catch (const TableError &e) {
            QVERIFY2(e.message().contains("Psy.mdx"), qPrintable(e.message()));
        }
        ProductionIndex index;
        index.Open(path, "Psy.dbf", t.layout, testing::PsyTags(), 3, t.Source());
        CompareFileWithTags(path, index);
    }

    // Tags another program added are kept when their keys can be computed, else dropped
    // with a note.
    void foreignTags()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("patients.mdx");
        Rows t{testing::PatientsLayout(), testing::RandomPatients(50)};
        {
            ProductionIndex index;
            index.Open(path, "patients.dbf", t.layout,
                       {{"I", "IDX", false, false}, {"NAME", "UPPER(FIO)", false, false}, {"ODD", "SEX", false, false}},
                       50, t.Source());
        }
        // The ODD tag's key now names a field this table lacks.
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray all = f.readAll();
        const qsizetype at = all.indexOf(QByteArray("SEX\0", 4));
        QVERIFY(at > 0);
        f.seek(at);
        f.write("QQQ");
        f.close();

        ProductionIndex index;
        index.Open(path, "patients.dbf", t.layout, {{"I", "IDX", false, false}}, 50, t.Source());
        QVERIFY(index.Tag("NAME"));
        QVERIFY(!index.Tag("ODD"));
        QCOMPARE(index.Notes().size(), 1);
        QVERIFY(index.Notes().first().contains("ODD"));
        CompareFileWithTags(path, index);
    }

    // The read-only view declares U not unique; the file made by the table says it is.
    void viewTakesTheFilesDefinitions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("patients.mdx");
        Rows t{testing::PatientsLayout(), testing::RandomPatients(10)};
        ProductionIndex table;
        table.Open(path, "patients.dbf", t.layout, testing::PatientTags(), 10, t.Source());
        QVector<IndexDef> view = testing::PatientTags();
        view[5].unique = false;
        QVERIFY(ProductionIndex::DefinitionsInFile(path, view)[5].unique);
        QVERIFY(!ProductionIndex::DefinitionsInFile(dir.filePath("none.mdx"), view)[5].unique);
    }

    void definitionsTheFileCannotHold()
    {
        QTemporaryDir dir;
        Rows t{testing::PatientsLayout(), {}};
        ProductionIndex index;
        QVERIFY_THROWS_EXCEPTION(TableError, index.Open(dir.filePath("p.mdx"), "p.dbf", t.layout,
                                                        {{"LONG", "ADDRESS+FIO", false, false}}, 0, t.Source()));
        QVERIFY_THROWS_EXCEPTION(TableError, index.Open(dir.filePath("p.mdx"), "p.dbf", t.layout,
                                                        {{"TOOLONGNAME", "FIO", false, false}}, 0, t.Source()));
    }
};

QTEST_GUILESS_MAIN(TestMdx)
#include "test_mdx.moc"
