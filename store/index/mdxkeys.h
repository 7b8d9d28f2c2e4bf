#pragma once
// Keys as the .mdx production index stores them, and their conversion from and to the
// memcmp-ordered keys of Expression::Key().
//
//   'C'  the text bytes themselves, padded with spaces (no conversion);
//   'N'  12 bytes of packed decimal: byte 0 is 52 plus the number of digits before the
//        decimal point (less when the value is below 0.1), byte 1 holds the count of
//        stored digits in bits 2-6, bit 0 set and bit 7 the sign; bytes 2-11 hold up to
//        20 digits, two to a byte, the first digit in the high half;
//   'D'  the Julian day number as an 8-byte little-endian IEEE double (0 for an empty
//        date).
#include <QByteArray>
#include <QDate>

namespace vel {

constexpr int kMdxNumberKeyLength = 12;
constexpr int kMdxDateKeyLength = 8;

// The .mdx key length for a tag of this type and Expression::KeyLength().
int MdxKeyLength(char keyType, int expressionKeyLength);

// Expression key (memcmp-ordered) -> .mdx key; `out` takes MdxKeyLength() bytes.
void ToMdxKey(char keyType, const uchar *key, int keyLength, uchar *out);
// .mdx key -> Expression key; `out` takes 8 bytes for 'N' and 'D', keyLength for 'C'.
void FromMdxKey(char keyType, const uchar *mdxKey, int keyLength, uchar *out);

// The single values behind the encodings.
void EncodeBcd(double value, uchar out[12]);
double DecodeBcd(const uchar in[12]);
double JulianDay(const QDate &date);   // 0 for an invalid date

} // namespace vel
