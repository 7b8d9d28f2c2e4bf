#pragma once
// The protocol command: reads a test's raw data, scores it as its test window does and
// writes the HTML protocol. Each test the command knows is one entry of ProtocolTests().
#include <QDate>
#include <QIODevice>
#include <QLocale>
#include <QStringList>
#include <optional>
#include <vector>

#include "records/datapsy.h"
#include "common/patientfacts.h"
#include "common/testrun.h"

namespace vel::protocoltool {

// What a test's scoring gets from the command line.
struct ProtocolRequest {
    TTestRun Run;
    PatientFacts Patient;
    QDate TestDate;
    QLocale Locale;
    QString Corridor;   // the corridor of exact reactions as its settings field holds it
};

struct ProtocolTest {
    QString Name;     // the value of --test
    TestType Type;    // whose kind tokens the raw data carries
    // The protocol of the request's run; nothing when the run has no presentations.
    std::optional<QString> (*Protocol)(const ProtocolRequest &request);
};

const std::vector<ProtocolTest> &ProtocolTests();

// Runs the command with its arguments (the program name first). The protocol followed
// by CR LF goes to `out` in UTF-8, or in code page 1251 with --cp1251 (the bytes the
// result browser loads); messages go to `err`. Returns the exit code: 0 written,
// 1 the data cannot be scored, 2 wrong arguments.
int RunProtocolTool(const QStringList &arguments, QIODevice &out, QIODevice &err);

} // namespace vel::protocoltool
