// The .mdx reader on arbitrary bytes: it must refuse a garbled file with TableError and
// never read outside it.
#include <QByteArray>

#include "store/index/mdxfile.h"
#include "store/table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    try {
        const vel::MdxReader reader(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)),
                                    QStringLiteral("fuzz.mdx"));
        reader.CheckAll();
    } catch (const vel::TableError &) {
    }
    return 0;
}
