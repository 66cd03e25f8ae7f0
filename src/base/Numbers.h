#pragma once

#include <QString>
#include <optional>

// The whole text as a finite number in the C locale, blanks around it allowed;
// nothing for an empty text, other characters, "inf" or "nan".
std::optional<double> parseFiniteNumber(const QString &text);

// 0 for an empty, non-numeric or non-finite text, else the text's value
// (blanks around the number allowed).
double SafeNumber(const QString &text);
