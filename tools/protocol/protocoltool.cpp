#include "tools/protocol/protocoltool.h"

#include <QCommandLineParser>
#include <QFile>

#include "choice/choicescore.h"
#include "moving/movingscore.h"
#include "common/config.h"
#include "common/text.h"

namespace vel::protocoltool {

namespace {

std::optional<QString> ChoiceProtocol(const ProtocolRequest &request)
{
    const auto score = choice::ScoreRun(request.Run, request.Patient, request.TestDate, request.Locale);
    if (!score)
        return std::nullopt;
    return score->Protocol;
}

std::optional<QString> MovingProtocol(const ProtocolRequest &request)
{
    const auto score = moving::ScoreRun(request.Run, request.Patient, request.TestDate,
                                        moving::CorridorOf(request.Corridor), request.Locale);
    if (!score)
        return std::nullopt;
    return score->Protocol;
}

void Say(QIODevice &err, const QString &message)
{
    err.write((message + QLatin1Char('\n')).toUtf8());
}

const ProtocolTest *FindTest(const QString &name)
{
    for (const ProtocolTest &test : ProtocolTests())
        if (test.Name == name)
            return &test;
    return nullptr;
}

bool ReadDate(const QCommandLineParser &parser, const QString &option, QDate &date, QIODevice &err)
{
    if (!parser.isSet(option))
        return true;
    date = QDate::fromString(parser.value(option), Qt::ISODate);
    if (!date.isValid()) {
        Say(err, QStringLiteral("--%1: «%2» не является датой ГГГГ-ММ-ДД")
                     .arg(option, parser.value(option)));
        return false;
    }
    return true;
}

bool ReadRawData(const QString &path, QString &text, QIODevice &err)
{
    QFile file;
    const bool opened = path == QStringLiteral("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                    : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened) {
        Say(err, QStringLiteral("Не удается прочитать %1: %2").arg(path, file.errorString()));
        return false;
    }
    text = FromCp1251(file.readAll());
    return true;
}

} // namespace

const std::vector<ProtocolTest> &ProtocolTests()
{
    static const std::vector<ProtocolTest> tests = {
        {QStringLiteral("choice"), TestType::Choice, &ChoiceProtocol},
        {QStringLiteral("moving"), TestType::Moving, &MovingProtocol},
    };
    return tests;
}

int RunProtocolTool(const QStringList &arguments, QIODevice &out, QIODevice &err)
{
    QStringList testNames;
    for (const ProtocolTest &test : ProtocolTests())
        testNames << test.Name;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the HTML protocol of a test's raw data (the DATAPSY text)."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("test"), QStringLiteral("The test: %1.").arg(testNames.join(QStringLiteral(", "))),
         QStringLiteral("test"), testNames.first()},
        {QStringLiteral("name"), QStringLiteral("The patient's full name."), QStringLiteral("name")},
        {QStringLiteral("sex"), QStringLiteral("The patient's sex: м or ж."), QStringLiteral("sex")},
        {QStringLiteral("birthday"), QStringLiteral("Birthday, YYYY-MM-DD (unknown when left out)."),
         QStringLiteral("date")},
        {QStringLiteral("date"), QStringLiteral("Test date, YYYY-MM-DD (today when left out)."),
         QStringLiteral("date")},
        {QStringLiteral("locale"), QStringLiteral("Locale of the date text, e.g. ru_RU (the system's when left out)."),
         QStringLiteral("locale")},
        {QStringLiteral("corridor"),
         QStringLiteral("The moving-object test's corridor of exact reactions in ms, as the settings "
                        "field holds it (39 when left out or 0)."),
         QStringLiteral("ms")},
        {QStringLiteral("cp1251"), QStringLiteral("Write code page 1251 instead of UTF-8.")},
    });
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The raw data; - reads standard input."));

    if (!parser.parse(arguments)) {
        Say(err, parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out.write(parser.helpText().toUtf8());
        return 0;
    }
    const ProtocolTest *test = FindTest(parser.value(QStringLiteral("test")));
    if (!test) {
        Say(err, QStringLiteral("--test: одно из %1").arg(testNames.join(QStringLiteral(", "))));
        return 2;
    }
    if (parser.positionalArguments().size() != 1) {
        Say(err, QStringLiteral("Нужен один файл с данными теста.\n") + parser.helpText());
        return 2;
    }

    ProtocolRequest request;
    request.Patient.Name = parser.value(QStringLiteral("name"));
    request.Patient.Sex = parser.value(QStringLiteral("sex"));
    request.TestDate = QDate::currentDate();
    request.Corridor = parser.value(QStringLiteral("corridor"));
    request.Locale = parser.isSet(QStringLiteral("locale")) ? QLocale(parser.value(QStringLiteral("locale")))
                                                           : Config().AppFormatSettings;
    if (!ReadDate(parser, QStringLiteral("birthday"), request.Patient.Birthday, err)
        || !ReadDate(parser, QStringLiteral("date"), request.TestDate, err))
        return 2;

    QString text, error;
    if (!ReadRawData(parser.positionalArguments().first(), text, err))
        return 1;
    if (!LoadDataPsy(text, test->Type, request.Run, error)) {
        Say(err, error);
        return 1;
    }
    const std::optional<QString> protocol = test->Protocol(request);
    if (!protocol) {
        Say(err, QStringLiteral("В тесте нет предъявлений: протокол не составляется."));
        return 1;
    }
    const QString page = *protocol + QStringLiteral("\r\n");
    out.write(parser.isSet(QStringLiteral("cp1251")) ? ToCp1251(page) : page.toUtf8());
    return 0;
}

} // namespace vel::protocoltool
