// The file formats at byte level: a dBASE 7 table and memo built by hand from the public
// description of the format, the field encodings of every level, and the memo files.
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

#include "common/text.h"
#include "store/dbf/codec.h"
#include "store/dbf/header.h"
#include "store/dbf/memo.h"
#include "store/table.h"
#include "tests/support/tablefixture.h"

using namespace vel;
using namespace vel::dbf;

Q_DECLARE_METATYPE(vel::TableLevel)
Q_DECLARE_METATYPE(vel::dbf::MemoKind)

namespace {

// A dBASE 7 table as the format description lays it out: a 68-byte header, 48-byte field
// descriptors, the terminator, then the records and the end-of-file mark.
struct Db7Field { const char *name; char type; int width; };
const Db7Field kDb7Fields[] = {{"NUM", 'I', 4}, {"NAME", 'C', 20}, {"BORN", 'D', 8}, {"NOTE", 'M', 10}};
constexpr int kDb7RecordLength = 1 + 4 + 20 + 8 + 10;
constexpr int kDb7HeaderLength = 68 + 4 * 48 + 1;

QByteArray Db7Header(int records)
{
    QByteArray h(kDb7HeaderLength, '\0');
    h[0] = char(0x8C);                                  // dBASE 7, with a memo file
    h[1] = char(124); h[2] = 5; h[3] = 14;              // 2024-05-14
    h[4] = char(records);
    h[8] = char(kDb7HeaderLength & 0xFF); h[9] = char(kDb7HeaderLength >> 8);
    h[10] = char(kDb7RecordLength);
    h[29] = char(0xC9);                                 // language driver: code page 1251
    for (int i = 0; i < 4; ++i) {
        char *d = h.data() + 68 + 48 * i;
        std::memcpy(d, kDb7Fields[i].name, std::strlen(kDb7Fields[i].name));
        d[32] = kDb7Fields[i].type;
        d[33] = char(kDb7Fields[i].width);
    }
    h[kDb7HeaderLength - 1] = 0x0D;
    return h;
}

QByteArray Db7Record(char flag, const QByteArray &num, const QString &name, const QByteArray &born, const QByteArray &note)
{
    QByteArray r;
    r += flag;
    r += num;
    r += ToCp1251(name).leftJustified(20, ' ');
    r += born;
    r += note;
    return r;
}

// dBASE IV/7 memo: a 512-byte header with the next free block and the block size at 20,
// then each memo behind FF FF 08 00 and its length counting those 8 bytes.
QByteArray Db7Memo(const QList<QByteArray> &texts)
{
    QByteArray out(512, '\0');
    out[20] = 0x00; out[21] = 0x02;
    for (const QByteArray &t : texts) {
        QByteArray block("\xFF\xFF\x08\x00", 4);
        const quint32 length = quint32(t.size() + 8);
        block += char(length & 0xFF); block += char((length >> 8) & 0xFF);
        block += char((length >> 16) & 0xFF); block += char(length >> 24);
        block += t;
        block = block.leftJustified((block.size() + 511) / 512 * 512, '\0');
        out += block;
    }
    const quint32 next = quint32(out.size() / 512);
    out[0] = char(next & 0xFF); out[1] = char(next >> 8);
    return out;
}

FieldLayout Field(char type, int width, int decimals = 0)
{
    FieldLayout f;
    f.name = QStringLiteral("F");
    f.type = type;
    f.width = width;
    f.decimals = decimals;
    f.offset = 1;
    return f;
}

} // namespace

class TestDbfFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dbase7ByHandOpens()
    {
        QTemporaryDir dir;
        const QByteArray longNote = QByteArray("Строка примечания; ").repeated(40);
        QByteArray dbf = Db7Header(3);
        dbf += Db7Record(' ', QByteArray("\x80\x00\x00\x05", 4), "Иванов", "20240514", "         1");
        dbf += Db7Record('*', QByteArray("\x7F\xFF\xFF\xFE", 4), "Удалён", "        ", "          ");
        dbf += Db7Record(' ', QByteArray(4, '\0'), "", "19991231", "         2");
        dbf += '\x1A';
        WriteAll(dir.path() + "/hand.dbf", dbf);
        WriteAll(dir.path() + "/hand.dbt", Db7Memo({ToCp1251("короткое"), ToCp1251(QString::fromUtf8(longNote))}));

        Table t;
        t.setFolder(dir.path());
        t.setTableName("hand");
        t.open();
        QCOMPARE(t.level(), TableLevel::DBase7);
        QCOMPARE(t.physicalRecordCount(), 3);
        QCOMPARE(t.exactRecordCount(), 2);
        QVERIFY(t.first());
        QCOMPARE(t.value("NUM"), QVariant(5));
        QCOMPARE(t.asString("NAME"), QString("Иванов"));
        QCOMPARE(t.asDate("BORN"), QDate(2024, 5, 14));
        QCOMPARE(t.memoText("NOTE"), QString("короткое"));
        QVERIFY(t.next());
        QCOMPARE(t.recNo(), 3);
        QVERIFY(t.isNull("NUM"));
        QVERIFY(t.isNull("NAME"));
        QCOMPARE(t.memoText("NOTE"), QString::fromUtf8(longNote));
        t.close();

        // What the engine creates from the same fields is laid out the same way.
        Table made;
        made.setFolder(dir.path());
        made.setTableName("made.dbf");
        made.setOpenMode(OpenMode::Create);
        made.setLevel(TableLevel::DBase7);
        made.setFieldDefs({{"NUM", 'I', 4, 0}, {"NAME", 'C', 20, 0}, {"BORN", 'D', 8, 0}, {"NOTE", 'M', 10, 0}});
        made.open();
        made.append();
        made.setValue("NUM", 5);
        made.setValue("NAME", "Иванов");
        made.setValue("BORN", QDate(2024, 5, 14));
        made.setValue("NOTE", "короткое");
        made.post();
        made.close();
        const QByteArray ours = ReadAll(dir.path() + "/made.dbf");
        const QByteArray hand = Db7Header(1) + dbf.mid(kDb7HeaderLength, kDb7RecordLength) + '\x1A';
        QCOMPARE(ours.size(), hand.size());
        QCOMPARE(ours.left(1), hand.left(1));
        QCOMPARE(ours.mid(4, 8), hand.mid(4, 8));        // count, header and record length
        QCOMPARE(ours.mid(29, 1), hand.mid(29, 1));      // language driver
        QCOMPARE(ours.mid(68), hand.mid(68));            // fields, terminator, record, end mark
        const QByteArray memo = ReadAll(dir.path() + "/made.dbt");
        QCOMPARE(memo.mid(20, 2), QByteArray("\x00\x02", 2));
        QCOMPARE(memo.mid(512, 8), QByteArray("\xFF\xFF\x08\x00\x10\x00\x00\x00", 8));
        QCOMPARE(memo.mid(520, 8), ToCp1251("короткое"));
    }

    void fieldEncodings_data()
    {
        QTest::addColumn<TableLevel>("level");
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("bytes");
        const auto d7 = TableLevel::DBase7, fox = TableLevel::FoxPro, d3 = TableLevel::DBase3;
        QTest::newRow("dBASE 7 long 5") << d7 << 'I' << 4 << 0 << QVariant(5) << QByteArray("\x80\x00\x00\x05", 4);
        QTest::newRow("dBASE 7 long -2") << d7 << 'I' << 4 << 0 << QVariant(-2) << QByteArray("\x7F\xFF\xFF\xFE", 4);
        QTest::newRow("dBASE 7 long 0") << d7 << 'I' << 4 << 0 << QVariant(0) << QByteArray("\x80\x00\x00\x00", 4);
        QTest::newRow("dBASE 7 long empty") << d7 << 'I' << 4 << 0 << QVariant() << QByteArray(4, '\0');
        QTest::newRow("FoxPro long -2") << fox << 'I' << 4 << 0 << QVariant(-2) << QByteArray("\xFE\xFF\xFF\xFF", 4);
        QTest::newRow("FoxPro long 258") << fox << 'I' << 4 << 0 << QVariant(258) << QByteArray("\x02\x01\x00\x00", 4);
        QTest::newRow("numeric right-aligned") << fox << 'N' << 9 << 0 << QVariant(4242) << QByteArray("     4242");
        QTest::newRow("numeric with decimals") << d3 << 'N' << 7 << 2 << QVariant(-3.25) << QByteArray("  -3.25");
        QTest::newRow("numeric empty") << d3 << 'N' << 5 << 0 << QVariant() << QByteArray("     ");
        QTest::newRow("date") << d7 << 'D' << 8 << 0 << QVariant(QDate(2020, 2, 29)) << QByteArray("20200229");
        QTest::newRow("date empty") << d7 << 'D' << 8 << 0 << QVariant() << QByteArray("        ");
        QTest::newRow("logical true") << d3 << 'L' << 1 << 0 << QVariant(true) << QByteArray("T");
        QTest::newRow("logical false") << d3 << 'L' << 1 << 0 << QVariant(false) << QByteArray("F");
        QTest::newRow("logical empty") << d3 << 'L' << 1 << 0 << QVariant() << QByteArray(" ");
        QTest::newRow("text in 1251") << d7 << 'C' << 6 << 0 << QVariant(QString("Ёлка")) << QByteArray("\xA8\xEB\xEA\xE0  ");
        QTest::newRow("small integer 7") << fox << 'S' << 2 << 0 << QVariant(7) << QByteArray("\x80\x07", 2);
        QTest::newRow("small integer -1") << fox << 'S' << 2 << 0 << QVariant(-1) << QByteArray("\x7F\xFF", 2);
    }

    // Values as an import reads them from a text file.
    void valuesGivenAsText_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("logical F is false") << 'L' << 1 << 0 << "F" << QByteArray("F");
        QTest::newRow("logical да") << 'L' << 1 << 0 << "да" << QByteArray("T");
        QTest::newRow("date with dots") << 'D' << 8 << 0 << "17.05.2010" << QByteArray("20100517");
        QTest::newRow("ISO date") << 'D' << 8 << 0 << "2010-05-17" << QByteArray("20100517");
        QTest::newRow("decimal comma") << 'N' << 6 << 2 << "1,5" << QByteArray("  1.50");
        QTest::newRow("whole number") << 'I' << 4 << 0 << " 42" << QByteArray("\x2A\x00\x00\x00", 4);
        QTest::newRow("blank number") << 'N' << 4 << 0 << "  " << QByteArray("    ");
    }
    void valuesGivenAsText()
    {
        QFETCH(char, type);
        QFETCH(int, width);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QByteArray record(1 + width, '#');
        EncodeField(Field(type, width, decimals), TableLevel::FoxPro, reinterpret_cast<uchar *>(record.data()), text);
        QCOMPARE(record.mid(1), bytes);
    }
    void fieldEncodings()
    {
        QFETCH(TableLevel, level);
        QFETCH(char, type);
        QFETCH(int, width);
        QFETCH(int, decimals);
        QFETCH(QVariant, value);
        QFETCH(QByteArray, bytes);
        const FieldLayout f = Field(type, width, decimals);
        QByteArray record(1 + width, '#');
        EncodeField(f, level, reinterpret_cast<uchar *>(record.data()), value);
        QCOMPARE(record.mid(1), bytes);
        const QVariant back = DecodeField(f, level, reinterpret_cast<const uchar *>(record.constData()));
        QCOMPARE(back.isNull(), value.isNull());
        if (!value.isNull())
            QCOMPARE(back, value);
    }

    void storedBytesOtherProgramsWrite_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("leading zeros") << 'N' << 0 << QByteArray("00042") << QVariant(42);
        QTest::newRow("overflow stars") << 'N' << 0 << QByteArray("*****") << QVariant();
        QTest::newRow("not a number") << 'N' << 0 << QByteArray(" 12a ") << QVariant();
        QTest::newRow("number left-aligned") << 'N' << 0 << QByteArray("17   ") << QVariant(17);
        QTest::newRow("zero date") << 'D' << 0 << QByteArray("00000000") << QVariant();
        QTest::newRow("impossible date") << 'D' << 0 << QByteArray("20230230") << QVariant();
        QTest::newRow("logical y") << 'L' << 0 << QByteArray("y") << QVariant(true);
        QTest::newRow("logical unknown") << 'L' << 0 << QByteArray("?") << QVariant();
        QTest::newRow("text padded with NULs") << 'C' << 0 << QByteArray("ab\0\0\0", 5) << QVariant(QString("ab"));
    }
    void storedBytesOtherProgramsWrite()
    {
        QFETCH(char, type);
        QFETCH(int, decimals);
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, value);
        const QByteArray record = ' ' + bytes;
        const QVariant got = DecodeField(Field(type, int(bytes.size()), decimals), TableLevel::DBase3,
                                         reinterpret_cast<const uchar *>(record.constData()));
        QCOMPARE(got.isNull(), value.isNull());
        if (!value.isNull())
            QCOMPARE(got, value);
    }

    void valuesThatDoNotFit()
    {
        QByteArray record(32, ' ');
        auto *r = reinterpret_cast<uchar *>(record.data());
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('N', 3), TableLevel::DBase3, r, 1000));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('N', 5, 2), TableLevel::DBase3, r, "пять"));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('I', 4), TableLevel::DBase7, r, qlonglong(INT_MIN)));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('I', 4), TableLevel::FoxPro, r, 1ll << 33));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('D', 8), TableLevel::DBase3, r, QDate(10000, 1, 1)));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('S', 2), TableLevel::FoxPro, r, 40000));
        QVERIFY_THROWS_EXCEPTION(TableError, EncodeField(Field('L', 1), TableLevel::FoxPro, r, "может быть"));
        EncodeField(Field('C', 3), TableLevel::DBase3, r, "длинный текст");
        QCOMPARE(record.mid(1, 3), ToCp1251("длин").left(3));   // text is cut to the width
    }

    void memoFiles_data()
    {
        QTest::addColumn<MemoKind>("kind");
        QTest::addColumn<int>("firstBlock");
        QTest::newRow("dBASE III .dbt") << MemoKind::DBase3 << 1;
        QTest::newRow("dBASE IV/7 .dbt") << MemoKind::DBase4 << 1;
        QTest::newRow("FoxPro .fpt") << MemoKind::FoxPro << 8;
    }
    void memoFiles()
    {
        QFETCH(MemoKind, kind);
        QFETCH(int, firstBlock);
        QTemporaryDir dir;
        const QString path = dir.path() + "/m.memo";
        MemoFile memo;
        memo.create(path, kind, "m");
        const QList<QByteArray> texts = {"a", QByteArray(510, 'x'), QByteArray(10000, 'y') + "\r\nend", QByteArray(63, 'z')};
        QList<uint32_t> blocks;
        for (const QByteArray &t : texts)
            blocks << memo.write(t);
        QCOMPARE(int(blocks.first()), firstBlock);
        QCOMPARE(memo.write(QByteArray()), 0u);
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(memo.read(blocks[i]), texts[i]);
        QVERIFY(memo.read(0).isEmpty());
        memo.close();

        MemoFile again;
        again.open(path, kind, true);
        const uint32_t next = again.write("после");
        QVERIFY(next > blocks.last());
        QCOMPARE(again.read(next), QByteArray("после"));
        QCOMPARE(again.read(blocks[2]), texts[2]);
        try {
            again.read(next + 1000);
            QFAIL("read a block past the end");
        } catch (const TableError &e) {
            QVERIFY(e.message().contains(path));
        }
    }

    void damagedMemoBlocks()
    {
        QTemporaryDir dir;
        const QString fpt = dir.path() + "/m.fpt", dbt = dir.path() + "/m.dbt";
        {
            MemoFile f, d;
            f.create(fpt, MemoKind::FoxPro, "m");
            d.create(dbt, MemoKind::DBase4, "m");
            f.write("текст");
            d.write("текст");
        }
        QByteArray bytes = ReadAll(fpt);
        bytes[8 * 64 + 4] = char(0x7F);   // the length far beyond the file
        WriteAll(fpt, bytes);
        bytes = ReadAll(dbt);
        bytes[512 + 4] = 3;               // a length below its own 8-byte header
        bytes[512 + 5] = 0;
        WriteAll(dbt, bytes);
        MemoFile f, d;
        f.open(fpt, MemoKind::FoxPro, false);
        d.open(dbt, MemoKind::DBase4, false);
        QVERIFY_THROWS_EXCEPTION(TableError, f.read(8));
        QVERIFY_THROWS_EXCEPTION(TableError, d.read(1));
        QVERIFY_THROWS_EXCEPTION(TableError, f.read(3));   // inside the header
        WriteAll(fpt, QByteArray(100, '\0'));
        MemoFile cut;
        QVERIFY_THROWS_EXCEPTION(TableError, cut.open(fpt, MemoKind::FoxPro, false));
    }
};

QTEST_GUILESS_MAIN(TestDbfFormat)
#include "test_dbf_format.moc"
