// The connection-string mapper: any text maps or is refused with
// std::invalid_argument, nothing else.
#include "FuzzCheck.h"
#include "data/ConnectionString.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    try {
        const auto map = data::parseConnectionString(text);
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            FUZZ_CHECK(!it.key().isEmpty() && it.key() == it.key().toLower());
    } catch (const std::invalid_argument &) {
    }
    try {
        const data::ConnectionSpec spec = data::mapConnectionString(text, QStringLiteral("/srv/jobs"));
        FUZZ_CHECK(spec.driver == u"QSQLITE" || spec.driver == u"QPSQL" || spec.driver == u"QODBC");
        FUZZ_CHECK(spec.port == -1 || (spec.port > 0 && spec.port <= 65535));
        FUZZ_CHECK(!spec.databaseName.isEmpty());
        if (spec.driver == u"QODBC") {
            FUZZ_CHECK(spec.databaseName.endsWith(u';'));
            // What goes to the ODBC driver reads back whole: the values the
            // text gave, or those built from it, each still one value.
            auto odbc = data::parseConnectionString(spec.databaseName);
            auto given = data::parseConnectionString(text);
            given.remove(QStringLiteral("provider"));
            if (given.contains(QStringLiteral("driver")) || given.contains(QStringLiteral("dsn")))
                FUZZ_CHECK(odbc == given);
            else
                FUZZ_CHECK(odbc.value(QStringLiteral("driver")) == u"{FreeTDS}");
        }
    } catch (const std::invalid_argument &) {
    }
    return 0;
}
