#pragma once

#include <QColor>
#include <QString>
#include <optional>

// Colour values as stored by the program: 32 bits laid out 0x00BBGGRR;
// 0x80000000 + n names the system colour n (0x80000005 is the window
// background).
namespace Colors {

inline constexpr quint32 kWindowBackground = 0x80000005u;
inline constexpr quint32 kWhite = 0x00FFFFFFu;
inline constexpr quint32 kRed = 0x000000FFu;

// Reads a stored colour text: decimal digits (optionally signed, as a 32-bit
// value) or "&H" followed by hexadecimal digits (an optional trailing "&" is
// allowed). Returns nothing for anything else.
std::optional<quint32> parse(const QString &text);

// parse(), with a fallback for empty or unreadable text.
quint32 parseOr(const QString &text, quint32 fallback);

// The decimal text the status editor writes (white is "16777215").
QString toDecimalText(quint32 value);

bool isSystemColor(quint32 value);

// The on-screen colour; system colours come from the application palette.
QColor toQColor(quint32 value);
// 0x00BBGGRR of an on-screen colour (alpha dropped).
quint32 fromQColor(const QColor &color);

} // namespace Colors
