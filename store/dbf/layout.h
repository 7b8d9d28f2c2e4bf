#pragma once
// The raw record form shared by file and memory tables, by filter expressions and by
// index keys.
//
// A raw record is recordLength bytes: byte 0 is the deletion flag (' ' or '*'), then each
// field at its offset in its on-disk encoding:
//   C  code page 1251 text, padded with spaces on the right
//   D  "YYYYMMDD", or 8 spaces when empty
//   N  ASCII digits right-aligned in the width, spaces on the left; all spaces when empty
//   L  'T', 'F', '?' or ' '
//   I  dBASE 7 long: 4 bytes big-endian with the sign bit flipped (0 is 80 00 00 00,
//      -1 is 7F FF FF FF; all zero bytes mean empty).
//      FoxPro / dBASE IV long: 4 bytes little-endian two's complement.
//   S  (memory tables only) small integer: 2 bytes big-endian with the sign bit flipped,
//      all zero bytes meaning empty, like dBASE 7's I.
//   M  memo block number: dBASE III/IV and dBASE 7 .dbt: 10 ASCII digits right-aligned
//      (spaces when empty); FoxPro .fpt: 4 bytes little-endian (0 when empty) or 10 ASCII
//      digits when the field is 10 wide.
#include "store/defs/tabledefs.h"

#include <QString>
#include <QVector>

namespace vel {

struct FieldLayout {
    QString name;       // upper case, as stored
    char type = 'C';
    int offset = 0;     // from the start of the record, deletion flag at 0
    int width = 0;
    int decimals = 0;
};

struct RecordLayout {
    QVector<FieldLayout> fields;
    int recordLength = 1;   // the deletion flag plus every field
    TableLevel level = TableLevel::DBase7;

    // Case-insensitive; -1 when missing.
    int indexOf(const QString &name) const
    {
        for (int i = 0; i < fields.size(); ++i)   // names are mostly written as stored
            if (fields[i].name == name)
                return i;
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
};

} // namespace vel
