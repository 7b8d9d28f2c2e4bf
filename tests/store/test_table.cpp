// The table engine through its public interface: files at every level and memory tables,
// moves, filters, tags, edits, soft deletes, sharing between handles and damaged files.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "common/text.h"
#include "store/dbf/codec.h"
#include "store/index/mdxfile.h"
#include "store/table.h"
#include "store/tablemodel.h"
#include "tests/support/tablefixture.h"

using namespace vel;
using namespace vel::testing;

Q_DECLARE_METATYPE(vel::TableLevel)

namespace {

QStringList WalkNames(Table &t)
{
    QStringList names;
    for (bool ok = t.first(); ok && !t.eof(); ok = t.next())
        names << t.asString("FIO");
    return names;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString dir() const { return m_dir->path(); }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void roundTrip_data()
    {
        QTest::addColumn<TableLevel>("level");
        QTest::addColumn<bool>("memory");
        QTest::newRow("dBASE 7") << TableLevel::DBase7 << false;
        QTest::newRow("FoxPro") << TableLevel::FoxPro << false;
        QTest::newRow("dBASE IV") << TableLevel::DBase4 << false;
        QTest::newRow("dBASE III") << TableLevel::DBase3 << false;
        QTest::newRow("memory") << TableLevel::FoxPro << true;
    }
    void roundTrip()
    {
        QFETCH(TableLevel, level);
        QFETCH(bool, memory);
        const QString note = QString("Строка 1\r\nСтрока 2 — ").repeated(40);
        Table t;
        DefinePersons(t, memory ? QString() : dir(), level);
        t.open();
        QVERIFY(t.isEmpty());
        AddPerson(t, 7, "Ёлкина Пелагея", "ж", QDate(1999, 12, 31), "123-456", note);
        AddPerson(t, -3, "O'Hara", "м", QDate(2020, 2, 29));
        t.append();
        t.setValue("IDX", 9);   // every other field empty
        t.post();
        if (!memory) {
            t.close();
            t.setLevel(TableLevel::DBase3);   // an existing file keeps its own level
            t.setOpenMode(OpenMode::Normal);
            t.open();
        }
        QCOMPARE(t.level(), level);
        QCOMPARE(t.physicalRecordCount(), 3);
        QVERIFY(t.first());
        QCOMPARE(t.asInteger("IDX"), 7);
        QCOMPARE(t.asString("fio"), QString("Ёлкина Пелагея"));
        QCOMPARE(t.asDate("BIRTHDAY"), QDate(1999, 12, 31));
        QCOMPARE(t.value("SCORE").toDouble(), 8.75);
        QCOMPARE(t.asBoolean("OK"), false);
        QCOMPARE(t.memoText("NOTE"), note);
        QCOMPARE(t.value("NOTE").toString(), note);
        QVERIFY(t.next());
        QCOMPARE(t.asInteger("IDX"), -3);
        QCOMPARE(t.asString("FIO"), QString("O'Hara"));
        QCOMPARE(t.asDate("BIRTHDAY"), QDate(2020, 2, 29));
        QVERIFY(t.isNull("NOTE"));
        QVERIFY(t.isNull("INS"));
        QVERIFY(t.next());
        for (const char *f : {"FIO", "BIRTHDAY", "SCORE", "OK", "NOTE"})
            QVERIFY2(t.isNull(f), f);
        QVERIFY(!t.next());
        QVERIFY(t.eof());
        QCOMPARE(t.asInteger("IDX"), 9);   // a move past the end stays on the last record
    }

    void walkFilterAndOrder()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        AddPerson(t, 1, "Петров", "м");
        AddPerson(t, 2, "Антонова", "ж");
        AddPerson(t, 3, "ясная", "ж");
        AddPerson(t, 4, "Борисов", "М");
        AddPerson(t, 5, "Яблокова", "Ж");
        QCOMPARE(WalkNames(t), QStringList({"Петров", "Антонова", "ясная", "Борисов", "Яблокова"}));

        t.setFilter("(SEX='ж')");   // case-insensitive as the patient view compares
        QCOMPARE(t.exactRecordCount(), 3);
        QCOMPARE(WalkNames(t), QStringList({"Антонова", "ясная", "Яблокова"}));
        t.setIndexName("F");
        QCOMPARE(t.indexName(), QString("F"));
        // Tag keys are the stored bytes: code page 1251 puts capitals before small letters.
        QCOMPARE(WalkNames(t), QStringList({"Антонова", "Яблокова", "ясная"}));
        QVERIFY(t.findLast());
        QCOMPARE(t.asString("FIO"), QString("ясная"));
        QVERIFY(t.eof());
        QVERIFY(t.findPrior());
        QCOMPARE(t.asString("FIO"), QString("Яблокова"));
        QVERIFY(t.findPrior());
        QVERIFY(!t.findPrior());
        QVERIFY(t.bof());
        QCOMPARE(t.asString("FIO"), QString("Антонова"));

        t.setFiltered(false);
        QCOMPARE(t.exactRecordCount(), 5);
        t.setFiltered(true);
        t.setFilter("FIO='Нет такого'");
        QVERIFY(t.isEmpty());
        QVERIFY(!t.first());
        QVERIFY(t.eof() && t.bof());
        QCOMPARE(t.recNo(), 0);
        QVERIFY(t.value("FIO").isNull());
        t.setFilter(QString());
        t.setIndexName(QString());
        QVERIFY(t.goToRecNo(4));
        QCOMPARE(t.asString("FIO"), QString("Борисов"));
        QVERIFY(!t.goToRecNo(6));
    }

    void uniqueTagHoldsFirstOfEachKey()
    {
        Table t;
        DefinePersons(t, QString());
        t.open();
        AddPerson(t, 1, "Первый", "м", QDate(2010, 1, 1), "111");
        AddPerson(t, 2, "Второй", "м", QDate(2010, 1, 1), "111");
        AddPerson(t, 3, "Третий", "м", QDate(2010, 1, 1), "000");
        t.setIndexName("U");
        QCOMPARE(WalkNames(t), QStringList({"Третий", "Первый"}));
        QCOMPARE(t.exactRecordCount(), 2);
        QCOMPARE(t.physicalRecordCount(), 3);
        // The second record comes into the tag once its key is its own.
        t.setIndexName(QString());
        QVERIFY(t.goToRecNo(2));
        t.edit();
        t.setValue("INS", "222");
        t.post();
        t.setIndexName("U");
        QCOMPARE(WalkNames(t), QStringList({"Третий", "Первый", "Второй"}));
    }

    void orderFollowsEdits()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        for (int i = 1; i <= 5; ++i)
            AddPerson(t, i, QString("Имя %1").arg(i));
        t.setIndexName("F");
        QVERIFY(t.first());
        t.edit();
        t.setValue("FIO", "Я последний");
        t.post();
        QCOMPARE(t.asString("FIO"), QString("Я последний"));   // stays on the edited record
        QVERIFY(!t.next());
        QCOMPARE(WalkNames(t), QStringList({"Имя 2", "Имя 3", "Имя 4", "Имя 5", "Я последний"}));
        t.close();
        t.open();   // the tags are built again from the file
        t.setIndexName("F");
        QVERIFY(t.findLast());
        QCOMPARE(t.asInteger("IDX"), 1);
    }

    void editErrorsLeaveRecordAsItWas()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        AddPerson(t, 1, "Петров");
        QVERIFY_THROWS_EXCEPTION(TableError, t.setValue("FIO", "без правки"));
        t.edit();
        QVERIFY_THROWS_EXCEPTION(TableError, t.setValue("SCORE", 123456.0));   // N 7.2
        QVERIFY_THROWS_EXCEPTION(TableError, t.setValue("BIRTHDAY", "не дата"));
        QVERIFY_THROWS_EXCEPTION(TableError, t.setValue("NOSUCH", 1));
        t.setValue("FIO", "Сидоров");
        t.setValue("NOTE", "черновик");
        QCOMPARE(t.asString("FIO"), QString("Сидоров"));
        QCOMPARE(t.memoText("NOTE"), QString("черновик"));
        t.cancel();
        QCOMPARE(t.asString("FIO"), QString("Петров"));
        QVERIFY(t.memoText("NOTE").isEmpty());
        try {
            t.value("NOSUCH");
            QFAIL("no error for a missing field");
        } catch (const TableError &e) {
            QVERIFY(e.message().contains("NOSUCH"));
            QVERIFY(e.message().contains("persons.dbf"));
        }

        Table view;
        DefinePersons(view, dir());
        view.setReadOnly(true);
        view.open();
        QVERIFY_THROWS_EXCEPTION(TableError, view.append());
        QVERIFY_THROWS_EXCEPTION(TableError, view.edit());
        QCOMPARE(view.exactRecordCount(), 1);
    }

    void softDelete()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        for (int i = 1; i <= 3; ++i)
            AddPerson(t, i, QString("Имя %1").arg(i));
        QSignalSpy before(&t, &Table::beforeDelete);
        QVERIFY(t.goToRecNo(2));
        t.deleteRecord();
        QCOMPARE(before.count(), 1);
        QCOMPARE(t.asInteger("IDX"), 3);   // the next record becomes current
        QCOMPARE(t.exactRecordCount(), 2);
        QCOMPARE(t.physicalRecordCount(), 3);
        t.deleteRecord();
        QCOMPARE(t.asInteger("IDX"), 1);   // at the end: the one before
        t.close();
        const QByteArray bytes = ReadAll(dir() + "/persons.dbf");
        const int headerLength = dbf::ReadLE16(reinterpret_cast<const uchar *>(bytes.constData()) + 8);
        const int recordLength = dbf::ReadLE16(reinterpret_cast<const uchar *>(bytes.constData()) + 10);
        QCOMPARE(bytes.at(headerLength), ' ');
        QCOMPARE(bytes.at(headerLength + recordLength), '*');
        QCOMPARE(bytes.at(headerLength + 2 * recordLength), '*');
        QCOMPARE(bytes.at(headerLength + 3 * recordLength), '\x1A');
        t.open();
        QCOMPARE(WalkNames(t), QStringList({"Имя 1"}));
    }

    // Deleting the last visible record of a filtered view, repeatedly, as the removal of a
    // patient's tests does.
    void deleteWhileFindLast()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        for (int i = 1; i <= 6; ++i)
            AddPerson(t, i % 2 ? 7 : 8, QString("Тест %1").arg(i));
        t.setFilter("(IDX=7)");
        int deleted = 0;
        while (t.findLast()) {
            t.deleteRecord();
            ++deleted;
        }
        QCOMPARE(deleted, 3);
        t.setFilter(QString());
        QCOMPARE(t.exactRecordCount(), 3);
    }

    // "(IDX=n)" walks only the records whose IDX can be n; the walk must give what a walk
    // over every record gives ("... and (IDX=n)" is not narrowed), forward and back, as
    // records are added, renumbered, emptied and deleted.
    // The .mdx holds every record in the order the table walks, after appends, edits and
    // deletions, after another process's write, and after the file was deleted meanwhile;
    // a read-only view never writes it.
    void productionIndexFollowsTheTable()
    {
        const QString mdx = dir() + "/persons.mdx";
        const auto fileOrder = [&](const char *tag) {
            const MdxReader reader(mdx);
            reader.CheckAll();
            QList<int> out;
            for (const MdxEntry &e : reader.Entries(*reader.Tag(tag)))
                out << int(e.recNo);
            return out;
        };
        const auto tableOrder = [](Table &t, const char *tag) {
            t.setIndexName(tag);
            t.setFilter(QString());
            QList<int> out;
            for (bool ok = t.first(); ok && !t.eof(); ok = t.next())
                out << t.recNo();
            return out;
        };
        {
            Table view;
            DefinePersons(view, dir());
            view.open();
            view.close();
            QFile::remove(mdx);
            view.setReadOnly(true);
            view.open();
            QVERIFY(!QFile::exists(mdx));
        }
        Table t;
        DefinePersons(t, dir());
        t.open();
        QVERIFY(QFile::exists(mdx));
        for (int i = 1; i <= 30; ++i)
            AddPerson(t, i, QString("Имя %1").arg((i * 7) % 30, 2, 10, QChar('0')));
        t.setIndexName("F");
        QVERIFY(t.goToRecNo(5));
        t.edit();
        t.setValue("FIO", "Аааа");
        t.post();
        QCOMPARE(fileOrder("F"), tableOrder(t, "F"));
        QCOMPARE(fileOrder("I"), tableOrder(t, "I"));

        // Another program writes a record; this process's next write builds the file anew.
        const QString path = dir() + "/persons.dbf";
        QByteArray bytes = ReadAll(path);
        auto *p = reinterpret_cast<uchar *>(bytes.data());
        const int hl = dbf::ReadLE16(p + 8), rl = dbf::ReadLE16(p + 10);
        bytes.insert(hl + 30 * rl, bytes.mid(hl, rl));
        dbf::WriteLE32(reinterpret_cast<uchar *>(bytes.data()) + 4, 31);
        QTest::qSleep(5);
        WriteAll(path, bytes);
        t.refresh();
        AddPerson(t, 32, "Последний");
        QCOMPARE(fileOrder("F").size(), 32);
        QCOMPARE(fileOrder("F"), tableOrder(t, "F"));

        QFile::remove(mdx);   // as the index repair of the settings page does
        AddPerson(t, 33, "Ещё один");
        QCOMPARE(fileOrder("F"), tableOrder(t, "F"));
        QCOMPARE(fileOrder("F").size(), 33);
    }

    void numberFilterWalksFewRecords_data()
    {
        QTest::addColumn<TableLevel>("level");
        QTest::newRow("N field, dBASE III") << TableLevel::DBase3;
        QTest::newRow("I field, dBASE 7") << TableLevel::DBase7;
    }
    void numberFilterWalksFewRecords()
    {
        QFETCH(TableLevel, level);
        Table t, oracle;
        DefinePersons(t, dir(), level);
        DefinePersons(oracle, dir(), level);
        t.open();
        oracle.open();
        const auto same = [&](int idx) {
            t.setFilter(QString("((IDX = %1))").arg(idx));
            oracle.setFilter(QString("(IDX=%1) and (IDX=%1)").arg(idx));
            QStringList forward, back, want;
            for (bool ok = t.first(); ok && !t.eof(); ok = t.next())
                forward << QString::number(t.recNo());
            for (bool ok = t.findLast(); ok; ok = t.findPrior())
                back.prepend(QString::number(t.recNo()));
            for (bool ok = oracle.first(); ok && !oracle.eof(); ok = oracle.next())
                want << QString::number(oracle.recNo());
            if (forward != want || back != want || t.exactRecordCount() != want.size())
                qWarning() << "IDX" << idx << forward << back << want;
            return forward == want && back == want && t.exactRecordCount() == want.size();
        };
        for (int i = 1; i <= 40; ++i)
            AddPerson(t, i % 5, QString("Имя %1").arg(i));
        QVERIFY(same(3));
        QVERIFY(same(0));
        QVERIFY(same(-1));
        t.setFilter("(IDX=3)");
        QVERIFY(t.first());
        t.edit();
        t.setValue("IDX", 4);   // moves to another value
        t.post();
        QVERIFY(t.next());
        t.edit();
        t.setValue("IDX", QVariant());   // empty: visited for every value
        t.post();
        QVERIFY(t.next());
        t.deleteRecord();
        AddPerson(t, 3, "Новый");
        QVERIFY(same(3));
        QVERIFY(same(4));
        QVERIFY(same(0));
        t.setIndexName("F");   // in a tag's order the lookup stays out of the walk
        t.setFilter("(IDX=4)");
        QCOMPARE(t.exactRecordCount(), 9);
    }

    void handlesShareRecords()
    {
        {
            Table create;
            DefinePersons(create, dir());
            create.open();
        }
        QFile::remove(dir() + "/persons.mdx");
        // The read-only view opens first: the table is then opened for writing under it.
        Table rw, ro;
        DefinePersons(rw, dir());
        DefinePersons(ro, dir());
        ro.setReadOnly(true);
        ro.setOpenMode(OpenMode::Normal);
        ro.open();
        QVERIFY(!QFile::exists(dir() + "/persons.mdx"));
        rw.open();
        QVERIFY(QFile::exists(dir() + "/persons.mdx"));
        AddPerson(rw, 1, "Один");
        QCOMPARE(ro.exactRecordCount(), 1);
        QVERIFY(ro.first());
        rw.edit();
        rw.setValue("FIO", "Первый");
        rw.post();
        QCOMPARE(ro.asString("FIO"), QString("Первый"));
        AddPerson(rw, 2, "Два");
        ro.setIndexName("F");
        QCOMPARE(WalkNames(ro), QStringList({"Два", "Первый"}));
        rw.close();
        QCOMPARE(ro.exactRecordCount(), 2);   // the view keeps working on its own
    }

    // Another program appends a record and changes one in place: a refresh shows both,
    // and so does a move a little later.
    void foreignWritesAreNoticed()
    {
        Table t;
        DefinePersons(t, dir(), TableLevel::FoxPro);
        t.open();
        AddPerson(t, 1, "Один");
        AddPerson(t, 2, "Два");
        t.setIndexName("F");
        QCOMPARE(WalkNames(t), QStringList({"Два", "Один"}));

        const QString path = dir() + "/persons.dbf";
        QByteArray bytes = ReadAll(path);
        auto *p = reinterpret_cast<uchar *>(bytes.data());
        const int hl = dbf::ReadLE16(p + 8), rl = dbf::ReadLE16(p + 10);
        QByteArray third = bytes.mid(hl, rl);
        third.replace(5, 4, ToCp1251("Три "));   // FIO follows the deletion flag and the 4-byte IDX
        bytes.insert(hl + 2 * rl, third);
        bytes[hl + 5] = char(0xCD);    // "Один" becomes "Ндин" in code page 1251
        dbf::WriteLE32(reinterpret_cast<uchar *>(bytes.data()) + 4, 3);
        QTest::qSleep(5);
        WriteAll(path, bytes);

        t.refresh();
        QCOMPARE(t.physicalRecordCount(), 3);
        QCOMPARE(WalkNames(t), QStringList({"Два", "Ндин", "Три"}));

        bytes[hl + 5] = 'O';
        QTest::qSleep(30);
        WriteAll(path, bytes);
        QTest::qSleep(30);
        QVERIFY(t.first());   // a move looks at the file again after a short while
        QCOMPARE(t.asString("FIO"), QString("Oдин"));   // Latin O sorts before the Cyrillic
    }

    // A process killed between writing a record and its header count leaves one more
    // whole record than the header says: the table opens with it and goes on after it.
    void extraWholeRecordIsTaken()
    {
        const QString path = dir() + "/persons.dbf";
        {
            Table t;
            DefinePersons(t, dir());
            t.open();
            AddPerson(t, 1, "Один", "м", QDate(2010, 1, 1), QString(), "примечание 1");
            AddPerson(t, 2, "Два", "м", QDate(2010, 1, 1), QString(), "примечание 2");
        }
        QByteArray bytes = ReadAll(path);
        dbf::WriteLE32(reinterpret_cast<uchar *>(bytes.data()) + 4, 1);
        WriteAll(path, bytes);

        Table t;
        DefinePersons(t, dir());
        t.open();
        QCOMPARE(t.physicalRecordCount(), 2);
        QVERIFY(t.findLast());
        QCOMPARE(t.memoText("NOTE"), QString("примечание 2"));
        AddPerson(t, 3, "Три");
        t.close();
        bytes = ReadAll(path);
        QCOMPARE(dbf::ReadLE32(reinterpret_cast<const uchar *>(bytes.constData()) + 4), 3u);

        // Half a record after the last one (the tail of a write cut short) is not a record;
        // the next append takes its place and nothing of it stays behind.
        const int hl = dbf::ReadLE16(reinterpret_cast<const uchar *>(bytes.constData()) + 8);
        const int rl = dbf::ReadLE16(reinterpret_cast<const uchar *>(bytes.constData()) + 10);
        bytes.chop(1);
        bytes += QByteArray(rl + rl / 2, ' ');
        WriteAll(path, bytes);
        t.open();
        QCOMPARE(t.physicalRecordCount(), 4);   // one whole record of spaces is taken
        AddPerson(t, 5, "Пять");
        t.close();
        QCOMPARE(ReadAll(path).size(), hl + 5 * rl + 1);
        t.open();
        QVERIFY(t.findLast());
        QCOMPARE(t.asString("FIO"), QString("Пять"));
    }

    void damagedFilesAreRefused_data()
    {
        QTest::addColumn<int>("cut");          // bytes cut from the end (-1: none)
        QTest::addColumn<int>("offset");       // where `patch` overwrites the file (-1: nowhere)
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QString>("message");
        const int field = 68;                  // the first dBASE 7 field descriptor
        QTest::newRow("last record cut in half") << 40 << -1 << QByteArray() << "обрезан";
        QTest::newRow("only the header prefix") << -2 << -1 << QByteArray() << "заголовок обрезан";
        QTest::newRow("empty file") << -3 << -1 << QByteArray() << "короток";
        QTest::newRow("foreign version byte") << -1 << 0 << QByteArray("\x47") << "0x47";
        QTest::newRow("header length too small") << -1 << 8 << QByteArray("\x0A\x00", 2) << "длина заголовка";
        QTest::newRow("header length cuts the fields") << -1 << 9 << QByteArray("\x00", 1) << "описание полей обрезано";
        QTest::newRow("record length smaller than the fields") << -1 << 10 << QByteArray("\x14\x00", 2) << "не помещаются";
        QTest::newRow("field type unknown") << -1 << field + 48 + 32 << QByteArray("Q") << "неизвестный тип";
        QTest::newRow("date field of width 9") << -1 << field + 3 * 48 + 33 << QByteArray("\x09") << "ширину";
        QTest::newRow("field name garbled") << -1 << field << QByteArray("\x01") << "имя поля";
        QTest::newRow("same field twice") << -1 << field + 48 << QByteArray("IDX\0", 4) << "дважды";
    }
    void damagedFilesAreRefused()
    {
        QFETCH(int, cut);
        QFETCH(int, offset);
        QFETCH(QByteArray, patch);
        QFETCH(QString, message);
        const QString path = dir() + "/persons.dbf";
        {
            Table t;
            DefinePersons(t, dir());
            t.open();
            AddPerson(t, 1, "Один");
            AddPerson(t, 2, "Два");
        }
        QByteArray bytes = ReadAll(path);
        const QByteArray before = bytes;
        if (cut > 0)
            bytes.chop(cut);
        else if (cut == -2)
            bytes.truncate(40);
        else if (cut == -3)
            bytes.clear();
        if (offset >= 0)
            bytes.replace(offset, patch.size(), patch);
        WriteAll(path, bytes);

        Table t;
        DefinePersons(t, dir());
        try {
            t.open();
            QFAIL("a damaged table opened");
        } catch (const TableError &e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QVERIFY(!t.isOpen());
        QCOMPARE(ReadAll(path), bytes);   // nothing was written to it
    }

    void missingFiles()
    {
        Table t;
        DefinePersons(t, dir());
        t.setOpenMode(OpenMode::Normal);
        QVERIFY_THROWS_EXCEPTION(TableError, t.open());
        t.setOpenMode(OpenMode::Create);
        t.open();
        t.close();
        QVERIFY(QFile::remove(dir() + "/persons.dbt"));
        try {
            t.open();
            QFAIL("opened without its memo file");
        } catch (const TableError &e) {
            QVERIFY2(e.message().contains("persons.dbt"), qPrintable(e.message()));
        }
        DefinePersons(t, dir() + "/no-such-folder");
        QVERIFY_THROWS_EXCEPTION(TableError, t.open());
    }

    // A table of another program that lacks a field a tag needs cannot be opened with
    // that tag; the message names the table and the field.
    void tagOnAMissingField()
    {
        Table t;
        DefinePersons(t, dir());
        t.open();
        t.close();
        t.setIndexDefs({{"P", "RUPASSPORT", true, false}});
        try {
            t.open();
            QFAIL("opened with a tag on a missing field");
        } catch (const TableError &e) {
            QVERIFY2(e.message().contains("persons.dbf") && e.message().contains("RUPASSPORT"), qPrintable(e.message()));
        }
        QVERIFY(!t.isOpen());
    }

    void folderAndNameWithoutRegardToCase()
    {
        QDir(dir()).mkdir("Data");
        Table t;
        DefinePersons(t, dir() + "/Data/");
        t.open();
        AddPerson(t, 1, "Один");
        t.close();
        QFile::rename(dir() + "/Data/persons.dbf", dir() + "/Data/PERSONS.DBF");
        QFile::rename(dir() + "/Data/persons.dbt", dir() + "/Data/Persons.Dbt");
        DefinePersons(t, dir() + "\\data\\");
        t.setOpenMode(OpenMode::Normal);
        t.open();
        QCOMPARE(t.filePath(), dir() + "/Data/PERSONS.DBF");
        QCOMPARE(t.exactRecordCount(), 1);
    }

    void filterErrorsKeepTheFilter()
    {
        Table t;
        DefinePersons(t, QString());
        t.open();
        AddPerson(t, 1, "Один");
        AddPerson(t, 2, "Два");
        t.setFilter("(IDX=2)");
        QVERIFY_THROWS_EXCEPTION(ExpressionError, t.setFilter("(IDX=)"));
        QVERIFY_THROWS_EXCEPTION(ExpressionError, t.setFilter("NOSUCH='a'"));
        QCOMPARE(t.filter(), QString("(IDX=2)"));
        QCOMPARE(WalkNames(t), QStringList({"Два"}));
    }

    void appendRecordAndEmptyTable()
    {
        Table t;
        DefinePersons(t, QString());
        t.open();
        QSignalSpy scrolls(&t, &Table::afterScroll);
        t.appendRecord({5, "Пятый", "ж", QDate(2001, 2, 3), 1.5, true, "записка", "555"});
        QCOMPARE(t.asInteger("IDX"), 5);
        QCOMPARE(t.memoText("NOTE"), QString("записка"));
        QVERIFY(scrolls.count() >= 1);
        QVERIFY_THROWS_EXCEPTION(TableError, t.appendRecord({"не число"}));
        QVERIFY(!t.isEditing());
        QCOMPARE(t.physicalRecordCount(), 1);
        t.emptyTable();
        QCOMPARE(t.physicalRecordCount(), 0);
        QVERIFY(t.isEmpty());
        AddPerson(t, 6, "Шестой");
        QCOMPARE(WalkNames(t), QStringList({"Шестой"}));
    }

    // Dates are written in the conventions the table's and the grid model's owners set,
    // never in whatever the process happens to hold; a model told of new ones repaints.
    void datesFollowTheOwnersLocale()
    {
        Table t;
        DefinePersons(t, QString());
        t.open();
        AddPerson(t, 1, "Один", "м", QDate(2001, 2, 3));
        TableModel model(t, {{"BIRTHDAY", "Д/р"}, {"FIO", "ФИО"}});
        QCOMPARE(t.locale(), QLocale::system());
        QCOMPARE(model.locale(), QLocale::system());

        t.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(t.asString("BIRTHDAY"), QString("2/3/01"));
        QCOMPARE(model.data(model.index(0, 0)).toString(), QLocale::system().toString(QDate(2001, 2, 3), QLocale::ShortFormat));

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QString("03.02.2001"));
        QCOMPARE(t.asString("BIRTHDAY"), QString("2/3/01"));
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "test_table.moc"
