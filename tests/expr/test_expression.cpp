// Filter and index-key expressions evaluated on raw records.
#include <QtTest>

#include <algorithm>

#include "store/expr/expression.h"
#include "tests/support/records.h"

using namespace vel;
using vel::testing::Record;

namespace {

Record Patient(int idx, const QString &fio, const QString &sex, const QString &birthday)
{
    Record r(testing::PatientsLayout());
    r.number("IDX", idx).text("FIO", fio).text("SEX", sex).date("BIRTHDAY", birthday);
    return r;
}

const FilterOptions kPeople{true, false};   // dbPeople: case-insensitive, no partial comparison
const FilterOptions kView{true, true};      // pdb: case-insensitive, partial comparison
const FilterOptions kTests{false, true};    // dbfpsy: case-sensitive, partial comparison

} // namespace

Q_DECLARE_METATYPE(vel::FilterOptions)

class TestExpression : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void patientFilter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<FilterOptions>("options");
        QTest::addColumn<QString>("fio");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("birthday");
        QTest::addColumn<bool>("passes");

        const QString working = "(SUBSTR(FIO,1,2)='Ив') and (SUBSTR(DTOS(BIRTHDAY),1,3)='199') "
                                "and ((SEX='ж') or (SEX='Ж'))";
        QTest::newRow("working list: all three parts hold") << working << kView << "Иванова Анна" << "Ж" << "19950312" << true;
        QTest::newRow("working list: lower-case name, case ignored") << working << kView << "ивлева" << "ж" << "19900101" << true;
        QTest::newRow("working list: wrong sex") << working << kView << "Иванов" << "м" << "19950312" << false;
        QTest::newRow("working list: born 2001") << working << kView << "Иванова" << "ж" << "20010101" << false;
        QTest::newRow("working list: no birthday") << working << kView << "Иванова" << "ж" << "" << false;
        QTest::newRow("name search respects case when asked") << "(SUBSTR(FIO,1,2)='Ив')" << kTests << "ивлева" << "ж" << "" << false;
        QTest::newRow("empty name search lets all through") << "(SUBSTR(FIO,1,0)='')" << kPeople << "Петров" << "м" << "" << true;
        QTest::newRow("yo folds with Yo") << "(SUBSTR(FIO,1,5)='ёлкин')" << kPeople << "ЁЛКИН Пётр" << "м" << "" << true;
        QTest::newRow("latin letters fold") << "FIO='smith'" << kPeople << "SMITH John" << "м" << "" << true;
        QTest::newRow("quote doubled inside a constant") << "FIO='O''Hara'" << kPeople << "O'Hara" << "ж" << "" << true;
        QTest::newRow("double-quoted constant") << "FIO=\"O'Hara\"" << kPeople << "O'Hara" << "ж" << "" << true;

        // '=' as dBASE with SET EXACT OFF: the right side is a prefix of the left, its
        // trailing spaces ignored.
        QTest::newRow("right side a prefix of the field") << "FIO='Иван'" << kPeople << "Иванов" << "м" << "" << true;
        QTest::newRow("field shorter than the constant") << "'Иван'=FIO" << kPeople << "Иванов" << "м" << "" << false;
        QTest::newRow("empty constant matches all") << "FIO=''" << kPeople << "Петров" << "м" << "" << true;
        QTest::newRow("trailing spaces of the constant") << "SEX='м  '" << kPeople << "Сидоров" << "м" << "" << true;
        QTest::newRow("not equal") << "SEX<>'м'" << kPeople << "Сидоров" << "м" << "" << false;

        // Partial comparison: '*' at either end of a text constant.
        QTest::newRow("wildcard: starts with") << "FIO='Ив*'" << kView << "Иванов" << "м" << "" << true;
        QTest::newRow("wildcard: ends with (padding ignored)") << "FIO='*нов'" << kView << "Иванов" << "м" << "" << true;
        QTest::newRow("wildcard: ends with fails") << "FIO='*ова'" << kView << "Иванов" << "м" << "" << false;
        QTest::newRow("wildcard: contains") << "FIO='*ван*'" << kView << "Иванов" << "м" << "" << true;
        QTest::newRow("wildcard: contains, case ignored") << "FIO='*ВАН*'" << kView << "Иванов" << "м" << "" << true;
        QTest::newRow("wildcard: contains fails") << "FIO='*вен*'" << kView << "Иванов" << "м" << "" << false;
        // "Contains" looks only where the pattern's first letter stands, in either case.
        QTest::newRow("wildcard: contains after a false start") << "FIO='*ова*'" << kView << "Ковалёва Ольга" << "ж" << "" << true;
        QTest::newRow("wildcard: contains, first letter in both cases") << "FIO='*оВ*'" << kView << "ОЛЕГ ОВЧИННИКОВ" << "м" << "" << true;
        QTest::newRow("wildcard: contains, case kept") << "FIO='*ов*'" << kTests << "ИВАНОВ" << "м" << "" << false;
        QTest::newRow("wildcard: contains at the field's end") << "FIO='*яя*'" << kView << QString(58, QChar(0x0430)) + "яя" << "м" << "" << true;
        QTest::newRow("wildcard: contains with a blank, not in the padding") << "FIO='*ов *'" << kView << "Иванов" << "м" << "" << false;
        QTest::newRow("wildcard: contains with a blank") << "FIO='*ов *'" << kView << "Иванов Иван" << "м" << "" << true;
        QTest::newRow("wildcard: contains longer than the name") << "FIO='*Иванова*'" << kView << "Иванов" << "м" << "" << false;
        QTest::newRow("wildcard: constant on the left") << "'*нов'=FIO" << kView << "Иванов" << "м" << "" << true;
        QTest::newRow("wildcard: a lone star") << "FIO='*'" << kView << "" << "м" << "" << true;
        QTest::newRow("wildcard: negated") << "FIO<>'*ван*'" << kView << "Иванов" << "м" << "" << false;
        QTest::newRow("wildcard: star inside is a character") << "FIO='И*в'" << kView << "Иванов" << "м" << "" << false;
        QTest::newRow("no partial comparison: star is a character") << "FIO='Ив*'" << kPeople << "Иванов" << "м" << "" << false;
        QTest::newRow("no partial comparison: star matches a star") << "FIO='Ив*'" << kPeople << "Ив*ко" << "м" << "" << true;

        QTest::newRow("birthday month") << "(SUBSTR(DTOS(BIRTHDAY),1,6)='201003')" << kView << "А" << "м" << "20100315" << true;
        QTest::newRow("empty date gives spaces") << "DTOS(BIRTHDAY)='        '" << kView << "А" << "м" << "" << true;
        QTest::newRow("date order") << "DTOS(BIRTHDAY)>='2000'" << kView << "А" << "м" << "19991231" << false;
        QTest::newRow("dates compare with dates") << "BIRTHDAY=RUPASSUEDD" << kView << "А" << "м" << "" << true;
        QTest::newRow("concatenation keeps padding") << "SUBSTR(FIO+SEX,60,2)=' ж'" << kView << "А" << "ж" << "" << true;
        QTest::newRow("not, .and., .or.") << ".NOT. (SEX='м' .and. .F.) .or. .F." << kView << "А" << "м" << "" << true;
        QTest::newRow("text order, case ignored") << "FIO < 'б'" << kView << "Алексеев" << "м" << "" << true;
    }
    void patientFilter()
    {
        QFETCH(QString, filter);
        QFETCH(FilterOptions, options);
        QFETCH(QString, fio);
        QFETCH(QString, sex);
        QFETCH(QString, birthday);
        QFETCH(bool, passes);
        const RecordLayout layout = testing::PatientsLayout();
        const Expression e = Expression::Filter(filter, layout, options);
        QCOMPARE(e.Test(Patient(7, fio, sex, birthday).data()), passes);
    }

    // IDX is a dBASE 7 long in patients.dbf, N(9) in Psy.dbf, a FoxPro long in the list.
    void numbers_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<qlonglong>("idx");
        QTest::addColumn<bool>("passes");
        for (int l = 0; l < 3; ++l) {
            const char *name = l == 0 ? "patients" : (l == 1 ? "psy" : "list");
            QTest::addRow("%s: equal", name) << l << "(IDX=1234)" << 1234LL << true;
            QTest::addRow("%s: differs", name) << l << "(IDX=1234)" << 1235LL << false;
            QTest::addRow("%s: negative", name) << l << "(IDX=-5)" << -5LL << true;
            QTest::addRow("%s: order", name) << l << "IDX > 99 and IDX <= 100" << 100LL << true;
            QTest::addRow("%s: large", name) << l << "(IDX=123456789)" << 123456789LL << true;
            QTest::addRow("%s: STR", name) << l << "STR(IDX,6)='   -42'" << -42LL << true;
            QTest::addRow("%s: sum", name) << l << "IDX+1 = 8" << 7LL << true;
        }
    }
    void numbers()
    {
        QFETCH(int, layout);
        QFETCH(QString, filter);
        QFETCH(qlonglong, idx);
        QFETCH(bool, passes);
        const RecordLayout l = layout == 0 ? testing::PatientsLayout()
                             : layout == 1 ? testing::PsyLayout() : testing::WorkListLayout();
        Record r(l);
        r.number("IDX", idx);
        QCOMPARE(Expression::Filter(filter, l, kTests).Test(r.data()), passes);
    }

    void emptyNumberFieldsAreZero()
    {
        // A new record: dBASE 7 long of zero bytes, N(9) of spaces.
        for (const RecordLayout &l : {testing::PatientsLayout(), testing::PsyLayout()}) {
            const Record r(l);
            QVERIFY(Expression::Filter("(idx=0)", l, kTests).Test(r.data()));
        }
    }

    void emptyFilterPassesAll()
    {
        const RecordLayout l = testing::PatientsLayout();
        QVERIFY(Expression::Filter("  ", l, kView).Test(Record(l).data()));
    }

    void str_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<qlonglong>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("default width") << "STR(IDX)" << 42LL << "        42";
        QTest::newRow("too wide gives stars") << "STR(IDX,3)" << 12345LL << "***";
        QTest::newRow("negative fits exactly") << "STR(IDX,3)" << -42LL << "-42";
        QTest::newRow("decimals") << "STR(IDX,6,2)" << 7LL << "  7.00";
        QTest::newRow("halves to even") << "STR(IDX+0.5,4)" << 2LL << "   2";
        QTest::newRow("halves to even, up") << "STR(IDX+0.5,4)" << 3LL << "   4";
        QTest::newRow("fraction rounding") << "STR(IDX+0.25,5,1)" << 1LL << "  1.2";
    }
    void str()
    {
        QFETCH(QString, expr);
        QFETCH(qlonglong, value);
        QFETCH(QString, text);
        const RecordLayout l = testing::PsyLayout();
        Record r(l);
        r.number("IDX", value);
        QCOMPARE(Expression(expr, l).Value(r.data()).toString(), text);
    }

    void substr_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<QString>("text");
        QTest::newRow("middle") << "SUBSTR(TIME,3,2)" << ":3";
        QTest::newRow("start 0 is the first character") << "SUBSTR(TIME,0,2)" << "12";
        QTest::newRow("length past the end") << "SUBSTR(TIME,7,10)" << "56";
        QTest::newRow("start past the end") << "SUBSTR(TIME,20,2)" << "";
        QTest::newRow("negative length") << "SUBSTR(TIME,2,-1)" << "";
        QTest::newRow("no length: to the end") << "SUBSTR(TIME,4)" << "34:56";
        QTest::newRow("start from a field") << "SUBSTR(TIME,IDX,1)" << "3";
        QTest::newRow("upper and lower") << "SUBSTR(UPPER(TYPE),1,7)+LOWER(TYPE)" << "ТЕСТ ABтест ab";
    }
    void substr()
    {
        QFETCH(QString, expr);
        QFETCH(QString, text);
        const RecordLayout l = testing::PsyLayout();
        Record r(l);
        r.number("IDX", 4).text("TIME", "12:34:56").text("TYPE", "Тест Ab");
        QCOMPARE(Expression(expr, l).Value(r.data()).toString().trimmed(), text);
    }

    void errors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position");
        QTest::newRow("missing value") << "(IDX=)" << 5;
        QTest::newRow("missing parenthesis") << "(SUBSTR(FIO,1,2)='Ив'" << 21;
        QTest::newRow("unclosed text") << "FIO='Ив" << 4;
        QTest::newRow("unknown field") << "SEX='м' and NAME='x'" << 12;
        QTest::newRow("memo field") << "INFO='x'" << 0;
        QTest::newRow("text compared with number") << "IDX='5'" << 3;
        QTest::newRow("date compared with text") << "BIRTHDAY='19900101'" << 8;
        QTest::newRow("and of texts") << "FIO and SEX='м'" << 0;
        QTest::newRow("text plus number") << "FIO+1='x'" << 3;
        QTest::newRow("unknown function") << "LEFT(FIO,2)='Ив'" << 0;
        QTest::newRow("SUBSTR without start") << "SUBSTR(FIO)='x'" << 0;
        QTest::newRow("DTOS of a text") << "DTOS(FIO)='1'" << 5;
        QTest::newRow("STR width from a field") << "STR(IDX,IDX)='1'" << 8;
        QTest::newRow("text after the end") << "(IDX=1) x" << 8;
        QTest::newRow("stray character") << "IDX=1 @ 2" << 6;
        QTest::newRow("chained comparison") << "IDX=1=2" << 5;
        QTest::newRow("not a condition") << "FIO" << 0;
        QTest::newRow("deep nesting") << QString(200, '(') + "IDX=1" + QString(200, ')') << 65;
    }
    void errors()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        try {
            Expression::Filter(text, testing::PatientsLayout(), kView);
            QFAIL("no error");
        } catch (const ExpressionError &e) {
            QCOMPARE(e.text(), text);
            QCOMPARE(e.position(), position);
            QVERIFY2(e.message().contains(text), qPrintable(e.message()));
        }
    }

    void fieldOutsideRecordIsRejected()
    {
        RecordLayout l = testing::PsyLayout();
        l.recordLength = 10;   // TYPE now ends past the record
        QVERIFY_THROWS_EXCEPTION(ExpressionError, Expression("TYPE='x'", l));
    }

    // Keys sort with memcmp in the order of their values.
    void numberKeysSort()
    {
        const QList<double> values{-1e9, -5, -1, -0.5, 0, 0.25, 1, 2.5, 100, 2e9};
        const RecordLayout l = testing::PsyLayout();
        const Expression key = Expression::IndexKey("IDX", l);
        QCOMPARE(key.KeyType(), 'N');
        QCOMPARE(key.KeyLength(), 8);
        for (int i = 1; i < values.size(); ++i)
            QVERIFY(Expression::NumberKey(values[i - 1]) < Expression::NumberKey(values[i]));
        QCOMPARE(Expression::NumberKey(-0.0), Expression::NumberKey(0.0));
        Record r(l);
        r.number("IDX", -5);
        QCOMPARE(key.Key(r.data()), Expression::NumberKey(-5));
        QCOMPARE(key.Key(Record(l).data()), Expression::NumberKey(0));
    }

    void keys_data()
    {
        QTest::addColumn<QString>("expr");
        QTest::addColumn<bool>("caseInsensitive");
        QTest::addColumn<char>("type");
        QTest::addColumn<QByteArray>("key");
        const QByteArray fio = ToCp1251("Ёлкин Иван").leftJustified(60, ' ');
        QTest::newRow("text field") << "FIO" << false << 'C' << fio;
        QTest::newRow("case-insensitive text") << "FIO" << true << 'C'
                                               << ToCp1251("ёлкин иван").leftJustified(60, ' ');
        QTest::newRow("date") << "BIRTHDAY" << false << 'D' << QByteArray("20100315");
        QTest::newRow("DTOS") << "DTOS(BIRTHDAY)" << false << 'C' << QByteArray("20100315");
        QTest::newRow("working list ALL") << "STR(SCHOOL,5)+STR(CLASS,2)+LETTER+SUBSTR(FIO,1,40)"
                                          << false << 'C'
                                          << QByteArray("   12 3") + ToCp1251("Б").leftJustified(20, ' ')
                                                 + fio.left(40);
    }
    void keys()
    {
        QFETCH(QString, expr);
        QFETCH(bool, caseInsensitive);
        QFETCH(char, type);
        QFETCH(QByteArray, key);
        const RecordLayout l = testing::WorkListLayout();
        Record r(l);
        r.text("FIO", "Ёлкин Иван").date("BIRTHDAY", "20100315").number("SCHOOL", 12)
            .number("CLASS", 3).text("LETTER", "Б");
        const Expression e = Expression::IndexKey(expr, l, caseInsensitive);
        QCOMPARE(e.KeyType(), type);
        QCOMPARE(e.KeyLength(), key.size());
        QCOMPARE(e.Key(r.data()), key);
    }

    void emptyDateSortsFirst()
    {
        const RecordLayout l = testing::PatientsLayout();
        const Expression e = Expression::IndexKey("BIRTHDAY", l);
        QVERIFY(e.Key(Patient(1, "", "", "").data()) < e.Key(Patient(1, "", "", "00010101").data()));
        QCOMPARE(Expression::DateKey(QDate(1990, 1, 2)), QByteArray("19900102"));
        QCOMPARE(Expression::DateKey(QDate()), QByteArray(8, ' '));
    }

    void values()
    {
        const RecordLayout l = testing::PatientsLayout();
        const Record r = Patient(9, "Петров", "м", "20100315");
        QCOMPARE(Expression("IDX", l).Value(r.data()), QVariant(9.0));
        QCOMPARE(Expression("BIRTHDAY", l).Value(r.data()).toDate(), QDate(2010, 3, 15));
        QVERIFY(!Expression("RUPASSUEDD", l).Value(r.data()).toDate().isValid());
        QCOMPARE(Expression("SUBSTR(FIO,1,6)", l).Value(r.data()).toString(), QString("Петров"));
        QCOMPARE(Expression("SEX='м'", l).Value(r.data()), QVariant(true));
    }

    void foldTablesAreInverse()
    {
        const uchar *lower = FoldLower1251();
        const uchar *upper = FoldUpper1251();
        int letters = 0;
        for (int b = 0; b < 256; ++b) {
            if (lower[b] != b) {
                ++letters;
                QCOMPARE(int(upper[lower[b]]), b);
            }
        }
        // A-Z, А-Я, Ё and the 14 other Cyrillic capitals of code page 1251.
        QCOMPARE(letters, 26 + 32 + 1 + 14);
    }
};

QTEST_GUILESS_MAIN(TestExpression)
#include "test_expression.moc"
