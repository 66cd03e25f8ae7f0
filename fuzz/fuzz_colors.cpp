// The stored colour texts: whatever parses comes back the same through the
// text the program writes, and through the on-screen colour.
#include "FuzzCheck.h"
#include "base/Colors.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    const std::optional<quint32> value = Colors::parse(text);
    FUZZ_CHECK(Colors::parseOr(text, 0x12345678u) == value.value_or(0x12345678u));
    if (!value)
        return 0;
    FUZZ_CHECK(Colors::parse(Colors::toDecimalText(*value)) == value);
    const QColor shown = Colors::toQColor(*value);
    FUZZ_CHECK(shown.isValid());
    if (!Colors::isSystemColor(*value))
        FUZZ_CHECK(Colors::fromQColor(shown) == (*value & 0x00FFFFFFu));
    return 0;
}
