// The report field-definition reader: a definition is read whole, or refused
// with a ReportError naming the file.
#include "FuzzCheck.h"
#include "reports/ReportData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString file = QStringLiteral("Fuzz.ttx");
    try {
        const reports::TableDefinition definition = reports::TableDefinition::parse(file, fuzzText(data, size));
        FUZZ_CHECK(!definition.fields().isEmpty());
        FUZZ_CHECK(definition.table() == u"Fuzz_ttx");
        for (qsizetype i = 0; i < definition.fields().size(); ++i) {
            const reports::FieldDefinition &field = definition.fields().at(i);
            FUZZ_CHECK(!field.name.isEmpty());
            FUZZ_CHECK(definition.indexOf(field.name) == i);
            FUZZ_CHECK(definition.indexOf(field.name.toUpper()) == i);
            FUZZ_CHECK((field.type == reports::FieldType::String) == (field.length > 0));
        }
    } catch (const reports::ReportError &e) {
        FUZZ_CHECK(e.message().contains(file));
    }
    return 0;
}
