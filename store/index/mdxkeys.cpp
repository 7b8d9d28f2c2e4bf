#include "store/index/mdxkeys.h"

#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "store/expr/expression.h"

namespace vel {

int MdxKeyLength(char keyType, int expressionKeyLength)
{
    switch (keyType) {
    case 'N': return kMdxNumberKeyLength;
    case 'D': return kMdxDateKeyLength;
    default: return expressionKeyLength;
    }
}

void EncodeBcd(double value, uchar out[12])
{
    std::memset(out, 0, 12);
    out[0] = 52;
    out[1] = 0x01;
    if (value == 0 || !(value == value) || std::isinf(value))
        return;
    const bool negative = value < 0;
    const double magnitude = std::fabs(value);

    // The significant digits and the place of the decimal point. Whole numbers keep the
    // zeros of their integer part (100 is three digits); fractions drop trailing zeros.
    char digits[24];
    int count = 0;
    int pointAt = 0;   // digits before the decimal point
    if (magnitude < 1e18 && magnitude == std::floor(magnitude)) {
        unsigned long long v = static_cast<unsigned long long>(magnitude);
        char rev[24];
        int k = 0;
        while (v != 0) {
            rev[k++] = char('0' + v % 10);
            v /= 10;
        }
        pointAt = k;
        while (k > 0 && count < 20)
            digits[count++] = rev[--k];
    } else {
        char text[40];
        std::snprintf(text, sizeof text, "%.14e", magnitude);   // d.dddddddddddddde±xx
        int i = 0;
        for (; text[i] && text[i] != 'e'; ++i)
            if (text[i] >= '0' && text[i] <= '9')
                digits[count++] = text[i];
        pointAt = std::atoi(text + i + 1) + 1;
        while (count > 1 && digits[count - 1] == '0')
            --count;
    }
    if (pointAt > 75 || pointAt < -50)
        return;   // beyond what the format can hold: stored as zero
    out[0] = uchar(52 + pointAt);
    out[1] = uchar((count << 2) | 0x01 | (negative ? 0x80 : 0));
    for (int d = 0; d < count; ++d) {
        const uchar nibble = uchar(digits[d] - '0');
        out[2 + d / 2] |= (d % 2 == 0) ? uchar(nibble << 4) : nibble;
    }
}

double DecodeBcd(const uchar in[12])
{
    const int count = qMin((in[1] >> 2) & 0x1F, 20);
    const int pointAt = int(in[0]) - 52;
    double mantissa = 0;
    for (int d = 0; d < count; ++d) {
        const uchar byte = in[2 + d / 2];
        mantissa = mantissa * 10 + ((d % 2 == 0) ? byte >> 4 : byte & 0x0F);
    }
    const double value = mantissa * std::pow(10.0, pointAt - count);
    return (in[1] & 0x80) ? -value : value;
}

double JulianDay(const QDate &date)
{
    return date.isValid() ? double(date.toJulianDay()) : 0.0;
}

void ToMdxKey(char keyType, const uchar *key, int keyLength, uchar *out)
{
    switch (keyType) {
    case 'N':
        EncodeBcd(DecodeNumberKey(key), out);
        return;
    case 'D': {
        const QDate date = QDate::fromString(
            QString::fromLatin1(reinterpret_cast<const char *>(key), 8), QStringLiteral("yyyyMMdd"));
        qToLittleEndian(JulianDay(date), out);
        return;
    }
    default:
        std::memcpy(out, key, size_t(keyLength));
    }
}

void FromMdxKey(char keyType, const uchar *mdxKey, int keyLength, uchar *out)
{
    switch (keyType) {
    case 'N':
        EncodeNumberKey(DecodeBcd(mdxKey), out);
        return;
    case 'D': {
        const double day = qFromLittleEndian<double>(mdxKey);
        if (!(day >= 1 && day < 1e8)) {
            std::memset(out, ' ', 8);
            return;
        }
        const QByteArray text = QDate::fromJulianDay(qint64(day)).toString(QStringLiteral("yyyyMMdd")).toLatin1();
        if (text.size() == 8)
            std::memcpy(out, text.constData(), 8);
        else
            std::memset(out, ' ', 8);
        return;
    }
    default:
        std::memcpy(out, mdxKey, size_t(keyLength));
    }
}

} // namespace vel
