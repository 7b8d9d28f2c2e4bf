#include "tools/gendata/gendata.h"

#include "store/database.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <random>

namespace vel {

namespace {

const QStringList kSurnames = {
    "Иванов", "Смирнов", "Кузнецов", "Попов", "Васильев", "Петров", "Соколов", "Михайлов",
    "Новиков", "Фёдоров", "Морозов", "Волков", "Алексеев", "Лебедев", "Семёнов", "Егоров",
    "Павлов", "Козлов", "Степанов", "Николаев", "Орлов", "Андреев", "Макаров", "Никитин",
    "Захаров", "Зайцев", "Соловьёв", "Борисов", "Яковлев", "Григорьев", "Романов", "Воробьёв",
    "Сергеев", "Кузьмин", "Фролов", "Александров", "Дмитриев", "Королёв", "Гусев", "Киселёв",
    "Ильин", "Максимов", "Поляков", "Сорокин", "Виноградов", "Ковалёв", "Белов", "Медведев",
    "Антонов", "Тарасов", "Жуков", "Баранов", "Филиппов", "Комаров", "Давыдов", "Беляев"};
const QStringList kBoys = {
    "Александр", "Дмитрий", "Максим", "Сергей", "Андрей", "Алексей", "Артём", "Илья", "Кирилл",
    "Михаил", "Никита", "Матвей", "Роман", "Егор", "Арсений", "Иван", "Денис", "Евгений",
    "Даниил", "Тимофей", "Владислав", "Игорь", "Владимир", "Павел", "Руслан", "Марк",
    "Константин", "Тимур", "Олег", "Ярослав", "Антон", "Николай", "Глеб", "Данила", "Савелий"};
const QStringList kGirls = {
    "Анастасия", "Мария", "Анна", "Виктория", "Екатерина", "Наталья", "Марина", "Полина",
    "София", "Дарья", "Алиса", "Ксения", "Александра", "Елена", "Елизавета", "Ольга",
    "Вероника", "Юлия", "Арина", "Варвара", "Татьяна", "Валерия", "Ирина", "Алёна",
    "Маргарита", "Светлана", "Кристина", "Ульяна", "Милана", "Ева", "Василиса", "Ангелина"};
const QStringList kFathers = {
    "Александров", "Дмитриев", "Сергеев", "Андреев", "Алексеев", "Михайлов", "Иванов",
    "Евгеньев", "Владимиров", "Павлов", "Николаев", "Викторов", "Олегов", "Юрьев", "Петров",
    "Игорев", "Романов", "Антонов", "Васильев", "Борисов", "Геннадьев", "Константинов"};
const QStringList kCities = {
    "Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань", "Нижний Новгород",
    "Челябинск", "Самара", "Омск", "Ростов-на-Дону", "Уфа", "Красноярск", "Пермь", "Воронеж",
    "Волгоград", "Тверь", "Ярославль", "Тула", "Калуга", "Владимир"};
const QStringList kStreets = {
    "Ленина", "Советская", "Мира", "Молодёжная", "Школьная", "Садовая", "Лесная", "Новая",
    "Набережная", "Центральная", "Гагарина", "Пушкина", "Кирова", "Октябрьская", "Победы",
    "Заводская", "Комсомольская", "Первомайская", "Чехова", "Лермонтова", "Зелёная"};
const QStringList kConclusions = {
    "Норма", "Реакция в пределах возрастной нормы", "Замедленная реакция",
    "Снижение точности реакции", "Высокая скорость, низкая точность",
    "Асимметрия правой и левой руки", "Утомляемость к концу теста", "Результат выше нормы"};

class Generator {
public:
    explicit Generator(uint32_t seed) : m_rng(seed) {}

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    const QString &pick(const QStringList &list) { return list[uniform(0, int(list.size()) - 1)]; }
    QString digits(int n)
    {
        QString s;
        s.reserve(n);
        for (int i = 0; i < n; ++i)
            s += QChar(u'0' + uniform(0, 9));
        return s;
    }
    QDate date(const QDate &from, const QDate &to)
    {
        return from.addDays(uniform(0, int(from.daysTo(to))));
    }

    // The raw data of a stored test, in the format the test windows write.
    QString dataPsy(bool choice)
    {
        const int plan = choice ? pick({"30", "40", "50"}).toInt() : 30;
        const int done = chance(0.9) ? plan : uniform(0, plan);
        const int base = choice ? 1000 : 1350, answer = choice ? 1000 : 1800;
        QString out;
        out.reserve(16 + done * 20);
        const auto line = [&out](const QString &s) { out += s; out += QLatin1String("\r\n"); };
        line(QString::number(base));
        line(QString::number(answer));
        line(QString::number(plan));
        line(QString::number(done));
        for (int i = 1; i <= done; ++i) {
            const int kind = uniform(1, 2);
            line(choice ? (kind == 1 ? QStringLiteral("SL") : QStringLiteral("SR"))
                        : (kind == 1 ? QStringLiteral("SL_") : QStringLiteral("SR_")));
            if (choice) {
                const int answered = base + 150 + uniform(250, 700);
                line(QString::number(kind == 1 ? answered : 3150));
                line(QString::number(kind == 2 ? answered : 3150));
            } else {
                line(QString::number(uniform(1100, 1700)));
                line(QString::number(uniform(1100, 1700)));
            }
        }
        return out;
    }

private:
    std::mt19937 m_rng;
};

void RequireAbsent(const QString &folder, const QString &name)
{
    QDir dir(folder);
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            throw TableError(QStringLiteral("%1: уже есть %2; укажите пустую папку").arg(folder, entry));
}

} // namespace

void GenerateData(const GenerateOptions &options)
{
    const QString folder = QFileInfo(options.folder).absoluteFilePath() + QLatin1Char('/');
    if (!QDir().mkpath(folder))
        throw TableError(QStringLiteral("%1: не удалось создать папку").arg(folder));
    for (const char *name : {"patients.dbf", "patients.dbt", "Psy.dbf", "Psy.fpt"})
        RequireAbsent(folder, QString::fromLatin1(name));
    for (const char *name : {"patients.mdx", "Psy.mdx"})
        QFile::remove(folder + QString::fromLatin1(name));

    Generator g(options.seed);
    // The records go in without tags (kept current one by one they would cost more than
    // all the rest); the tags are built once at the end, as every start builds them.
    {
        Table people;
        DefinePeopleTable(people, folder);
        people.setIndexDefs({});
        people.open();
        const QDate born0(1990, 1, 1), born1(2020, 12, 31);
        QString lastInsurance;
        for (int i = 1; i <= options.patients; ++i) {
            const bool girl = g.chance(0.5);
            QString surname = g.pick(kSurnames);
            if (girl)
                surname += QStringLiteral("а");
            const QString fio = surname + QLatin1Char(' ') + g.pick(girl ? kGirls : kBoys)
                                + QLatin1Char(' ') + g.pick(kFathers) + (girl ? QStringLiteral("на") : QStringLiteral("ич"));
            const QDate born = g.date(born0, born1);
            people.append();
            people.setValue("IDX", i);
            people.setValue("FIO", fio);
            QString sex = girl ? QStringLiteral("ж") : QStringLiteral("м");
            if (g.chance(0.05))
                sex = sex.toUpper();
            people.setValue("SEX", sex);
            people.setValue("BIRTHDAY", born);
            people.setValue("ADDRESS", QStringLiteral("г. %1, ул. %2, д. %3, кв. %4")
                                           .arg(g.pick(kCities), g.pick(kStreets))
                                           .arg(g.uniform(1, 120)).arg(g.uniform(1, 300)));
            // A few patients share an insurance number, as typing errors make them do.
            const QString insurance = (!lastInsurance.isEmpty() && g.chance(0.001)) ? lastInsurance : g.digits(11);
            lastInsurance = insurance;
            people.setValue("INSURANCE", insurance);
            people.setValue("MINSURANCE", g.digits(16));
            people.setValue("BIRTHCERT", QStringLiteral("I-МЮ %1").arg(g.digits(6)));
            if (born.addYears(14) < QDate(2024, 1, 1)) {
                people.setValue("RUPASSPORT", g.digits(10));
                people.setValue("RUPASSUED", QStringLiteral("ОУФМС России по г. %1").arg(g.pick(kCities)));
                people.setValue("RUPASSUEDD", g.date(born.addYears(14), QDate(2024, 1, 1)));
            }
            if (g.chance(0.1))
                people.setValue("INFO", QStringLiteral("Наблюдается у невролога.\r\nПовторный осмотр через %1 мес.")
                                            .arg(g.uniform(1, 12)));
            people.setValue("LASTLOG", g.chance(0.3) ? g.uniform(1, 5000) : 0);
            people.post();
        }
        people.close();
    }
    {
        Table tests;
        DefineTestTable(tests);
        tests.setFolder(folder);
        tests.setIndexDefs({});
        tests.setFilter(QString());
        tests.open();
        const QDate day0(2015, 1, 1), day1(2024, 12, 31);
        for (int i = 1; i <= options.tests; ++i) {
            const bool choice = g.chance(0.6);
            tests.append();
            tests.setValue("IDX", options.patients > 0 ? g.uniform(1, options.patients) : 0);
            tests.setValue("DATE", g.date(day0, day1));
            tests.setValue("TIME", QStringLiteral("%1:%2:%3").arg(g.uniform(8, 17))
                                       .arg(g.uniform(0, 59), 2, 10, QLatin1Char('0'))
                                       .arg(g.uniform(0, 59), 2, 10, QLatin1Char('0')));
            tests.setValue("TYPE", choice ? QStringLiteral("Тест реакции выбора")
                                          : QStringLiteral("Реакция на движ.объект"));
            tests.setValue("PSYFINAL", g.pick(kConclusions));
            tests.setValue("DATAPSY", g.dataPsy(choice));
            tests.post();
        }
        tests.close();
    }
    // Opening with the system's definitions builds every tag and writes the index files.
    Table people, tests;
    DefinePeopleTable(people, folder);
    DefineTestTable(tests);
    tests.setFolder(folder);
    people.open();
    tests.open();
    people.close();
    tests.close();
}

} // namespace vel
