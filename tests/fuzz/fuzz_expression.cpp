// The expression parser and evaluator on arbitrary text and arbitrary record bytes.
// Input: one byte of options, the expression text (UTF-8) up to a zero byte, then the
// bytes of one record (cut or padded to the record length).
#include <QByteArray>
#include <QString>

#include "store/expr/expression.h"
#include "tests/support/records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const vel::RecordLayout layouts[] = {
        vel::testing::PatientsLayout(), vel::testing::PsyLayout(), vel::testing::WorkListLayout()};
    const uint8_t flags = data[0];
    const vel::RecordLayout &layout = layouts[(flags >> 2) % 3];
    vel::FilterOptions options;
    options.caseInsensitive = flags & 1;
    options.partialCompare = flags & 2;

    const char *begin = reinterpret_cast<const char *>(data + 1);
    const char *end = begin + (size - 1);
    const char *zero = begin;
    while (zero < end && *zero)
        ++zero;
    const QString text = QString::fromUtf8(begin, zero - begin);
    QByteArray record(zero < end ? zero + 1 : end, end - (zero < end ? zero + 1 : end));
    record = record.leftJustified(layout.recordLength, ' ', true);
    const uchar *r = reinterpret_cast<const uchar *>(record.constData());

    try {
        vel::Expression e(text, layout, options);
        e.Test(r);
        e.Value(r);
        if (e.KeyLength() > 0 && e.KeyLength() <= 4096)
            e.Key(r);
    } catch (const vel::ExpressionError &error) {
        if (error.position() < 0 || error.position() > text.size())
            __builtin_trap();
    }
    return 0;
}
