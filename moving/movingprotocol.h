#pragma once
// The HTML protocol of a scored moving-object reaction run.
#include <QLocale>
#include <QString>

#include "common/testrun.h"

namespace vel::moving {

struct Score;

// A number in the general format: up to 15 significant digits, no trailing zeros, no
// digit grouping, and the locale's decimal separator (33,33 in a Russian locale).
QString FormatNumber(double value, const QLocale &locale);

// The protocol: one line without line breaks, its pieces in a fixed order. The patient's
// name is escaped for HTML; every other value is the system's own text or a number.
//
// The statistics table writes its rows as the program always has: no row opens with
// "<TR>", each row closes with "</TR>" and the next one starts with another "</TR>"; the
// browser opens the rows by itself. Pages that stored tests were printed from look the
// same when they are scored again.
QString BuildProtocol(const TTestRun &run, const Score &score, const QLocale &locale);

} // namespace vel::moving
