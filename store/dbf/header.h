#pragma once
// The .dbf header at every level the engine reads: the 32-byte prefix, the field
// descriptors (32 bytes each, 48 at dBASE 7) and the terminator. Parsing checks every
// number against the bytes it has, so that a garbled header gives an error and never a
// read outside the buffer.
#include "store/dbf/layout.h"

#include <QByteArray>
#include <QDate>
#include <QSet>
#include <QString>

#include <cstdint>

namespace vel::dbf {

enum class MemoKind { None, DBase3, DBase4, FoxPro };

// A TableError whose message names the file: "Таблица «path»: what".
[[noreturn]] void FailFile(const QString &path, const QString &what);

constexpr int kHeaderPrefix = 32;      // bytes every level starts with
constexpr uchar kLanguageDriver1251 = 0xC9;   // "Russian Windows", code page 1251

struct DbfHeader {
    uchar version = 0;
    TableLevel level = TableLevel::DBase7;
    QDate lastUpdate;
    uint32_t recordCount = 0;
    int headerLength = 0;
    int recordLength = 0;
    bool productionIndex = false;   // byte 28: the table has a production index
    uchar languageDriver = 0;
    QByteArray languageDriverName;  // dBASE 7 only
    RecordLayout layout;
    MemoKind memoKind = MemoKind::None;
};

// Header length as stored in bytes 8-9 of the prefix (at least kHeaderPrefix bytes).
int StoredHeaderLength(const uchar *prefix);

// The whole header; `bytes` holds at least the stored header length (else an error).
DbfHeader ParseHeader(const QByteArray &bytes, const QString &path);

// A new header for `layout` with `count` records. `indexedFields` are the fields that a
// tag of the production index keys on by themselves (flagged in their descriptors).
QByteArray BuildHeader(const RecordLayout &layout, uint32_t count, bool productionIndex,
                       const QSet<QString> &indexedFields, const QDate &today);

// Bytes 1-7 of a header: the date of the last change and the record count.
void PutCountAndDate(uchar *header, uint32_t count, const QDate &today);

// The record layout of field definitions at a level; throws TableError naming the table
// when a definition cannot be stored at that level.
RecordLayout MakeLayout(const QVector<FieldDef> &defs, TableLevel level, bool memory,
                        const QString &tableName);

// Whether a layout has a field stored in the memo file.
bool HasMemoFields(const RecordLayout &layout);
MemoKind MemoKindFor(TableLevel level);

QString LevelName(TableLevel level);

} // namespace vel::dbf
