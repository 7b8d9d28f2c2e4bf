#pragma once
// The tables the main window opens, with their fields, index tags, folders, filters and
// opening order. The window owns one Database; every subsystem reaches the tables
// through it.
#include "store/table.h"

namespace vel {

// Each Define* configures a closed Table as the system uses it (folder, name, level,
// storage, open mode, access, field and index definitions, filter and its options).
void DefinePeopleTable(Table &t);  // dbPeople: patients.dbf in DataDir, read-write, created when missing
void DefinePeopleView(Table &t);   // pdb: patients.dbf in DataDir, read-only, must exist
void DefineWorkList(Table &t);     // rdb: "tabrpt" in memory, tag F selected after open
void DefineTestTable(Table &t);    // dbfpsy: Psy.dbf in "data\", created when missing, filter "(idx=0)"

// The index tags the system defines for one of its table files ("patients.dbf",
// "Psy.dbf", matched without regard to case); none for any other file.
QVector<IndexDef> SystemIndexDefs(const QString &fileName);

struct Database {
    Table dbPeople;
    Table pdb;
    Table rdb;
    Table dbfpsy;

    // Opens the four tables in their order (dbPeople before pdb, so that a missing
    // patients.dbf is created before the read-only view opens it). Throws TableError.
    void Open();
    // Closes every table that is open, writing pending changes.
    void Close();
};

} // namespace vel
