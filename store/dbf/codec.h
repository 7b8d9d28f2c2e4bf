#pragma once
// Field values between their on-disk bytes (see layout.h) and Qt values, for every field
// type the engine reads. Decoding never fails: bytes that do not form a value of the
// field's type read as an empty (null) value. Encoding throws vel::TableError with a
// message naming the field when a value cannot be stored.
#include "store/dbf/layout.h"

#include <QByteArray>
#include <QVariant>

#include <cstdint>

namespace vel::dbf {

inline uint32_t ReadLE32(const uchar *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint32_t ReadBE32(const uchar *p)
{
    return uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24;
}
inline uint16_t ReadLE16(const uchar *p) { return uint16_t(p[0] | p[1] << 8); }
inline uint16_t ReadBE16(const uchar *p) { return uint16_t(p[1] | p[0] << 8); }
inline void WriteLE32(uchar *p, uint32_t v)
{
    p[0] = uchar(v); p[1] = uchar(v >> 8); p[2] = uchar(v >> 16); p[3] = uchar(v >> 24);
}
inline void WriteBE32(uchar *p, uint32_t v)
{
    p[3] = uchar(v); p[2] = uchar(v >> 8); p[1] = uchar(v >> 16); p[0] = uchar(v >> 24);
}
inline void WriteLE16(uchar *p, uint16_t v) { p[0] = uchar(v); p[1] = uchar(v >> 8); }
inline void WriteBE16(uchar *p, uint16_t v) { p[1] = uchar(v); p[0] = uchar(v >> 8); }

// Memo-like fields hold a block number of the memo file rather than a value.
inline bool IsMemoType(char type) { return type == 'M' || type == 'B' || type == 'G' || type == 'P'; }

// The fixed width of a type, or 0 when the width is chosen per field.
int FixedWidth(char type, TableLevel level);

// Whether the engine can create a field of this type at this level (reading accepts more).
bool CanCreate(char type, TableLevel level, bool memory);

// A new record: not deleted, every field empty.
void BlankRecord(const RecordLayout &layout, uchar *record);

// A record's value. Memo fields give their block number (0 when empty), not their text.
QVariant DecodeField(const FieldLayout &field, TableLevel level, const uchar *record);
bool IsEmptyField(const FieldLayout &field, TableLevel level, const uchar *record);

// Stores a value; a null QVariant empties the field. Text is cut to the width, numbers
// that do not fit and dates out of range throw.
void EncodeField(const FieldLayout &field, TableLevel level, uchar *record, const QVariant &value);

// The memo block number of a memo-like field, 0 when the field is empty.
uint32_t MemoBlock(const FieldLayout &field, const uchar *record);
void SetMemoBlock(const FieldLayout &field, uchar *record, uint32_t block);

// Long integers of the 'I' type at each level (see layout.h).
bool DecodeLong(const uchar *p, TableLevel level, int32_t *value);   // false when empty
void EncodeLong(uchar *p, TableLevel level, int32_t value);

} // namespace vel::dbf
