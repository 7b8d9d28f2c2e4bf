#pragma once
// A realistic data set for benchmarks and trials: patients.dbf (dBASE 7, .dbt, .mdx) and
// Psy.dbf (FoxPro, .fpt, .mdx) written through the table engine with the system's own
// table definitions.
#include <QString>

#include <cstdint>

namespace vel {

struct GenerateOptions {
    QString folder;          // both tables are written here; it must hold neither yet
    int patients = 100000;
    int tests = 300000;
    uint32_t seed = 1;
};

// Throws TableError (or std::runtime_error for a bad folder).
void GenerateData(const GenerateOptions &options);

} // namespace vel
