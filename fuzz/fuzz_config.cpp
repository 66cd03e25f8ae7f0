// config.txt as the program reads it, and its connection string on to the
// mapper, as the start-up does.
#include "FuzzCheck.h"
#include "base/Config.h"
#include "data/ConnectionString.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const QStringList fields = splitConfigFields(QString::fromUtf8(bytes));
    for (const QString &field : fields)
        FUZZ_CHECK(field.size() <= bytes.size());
    try {
        const ConfigValues values = parseConfigText(bytes, QStringLiteral("/srv/jobs/config.txt"));
        FUZZ_CHECK(fields.size() >= 5);
        FUZZ_CHECK(values.connectionString == fields.at(2) && values.customerDatabasePath == fields.at(4));
        FUZZ_CHECK(values.folder == u"/srv/jobs");
        try {
            data::mapConnectionString(values.connectionString, values.folder);
        } catch (const std::invalid_argument &) {
        }
    } catch (const ConfigError &) {
        FUZZ_CHECK(fields.size() < 5);
    }
    return 0;
}
