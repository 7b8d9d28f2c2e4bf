#pragma once
// The HTML protocol of a scored choice reaction run.
#include <QString>

#include "common/testrun.h"

namespace vel::choice {

struct Score;

// The choice reaction coefficient as the protocol writes it: FormatCoefficient, or
// "нет ошибок" when that gives "0.000" (a run without errors).
QString ChoiceCoefficientText(double value);

// The protocol: one line without line breaks, its pieces in a fixed order. The patient's
// name is escaped for HTML; every other value is the system's own text or a number.
QString BuildProtocol(const TTestRun &run, const Score &score);

} // namespace vel::choice
