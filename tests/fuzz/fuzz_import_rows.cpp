// The import's row reader and cell splitter on arbitrary bytes read as a code page 1251
// file: rows join while their quotes are odd, and a row's cells joined again for the error
// box split back into the same cells.
#include "register/importrows.h"
#include "common/text.h"

#include <cstdlib>

using namespace vel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList lines = SplitLines(FromCp1251(reinterpret_cast<const char *>(data), qsizetype(size)));
    ImportRowReader reader(lines, QStringLiteral("fuzz.csv"));
    while (!reader.atEnd()) {
        QString row;
        try {
            row = reader.nextRow();
        } catch (const ImportError &e) {
            if (e.kind() != QLatin1String("EParserError"))
                std::abort();
            break;
        }
        if (CountChar(row, QLatin1Char('"')) % 2 != 0 || reader.rowFirstLine() < 1)
            std::abort();
        const QStringList cells = SplitCells(row);
        if (row.isEmpty() != cells.isEmpty())
            std::abort();
        // A single empty cell joins to the empty row, which has no cells.
        if (cells != QStringList{QString()} && SplitCells(JoinCells(cells)) != cells)
            std::abort();
    }
    return 0;
}
