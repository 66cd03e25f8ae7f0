#pragma once

#include "base/FieldProblem.h"

#include <QString>
#include <optional>
#include <variant>

// Numbers typed into boxes. Every box shows its number in the C locale, with
// a point before the decimals, so every box reads its text the same way
// whatever the machine's locale: "1.250" is one and a quarter. A comma can
// only group thousands ("1,250.75", as an office types an amount); a comma
// anywhere else ("1,5") is refused, never read as a decimal point.

// The whole text as a finite number, blanks around it allowed; nothing for
// an empty text, other characters, misplaced grouping, "inf", "nan" or a
// number too large for a double.
std::optional<double> parseFiniteNumber(const QString &text);

// The number typed into the box of `field` (a record's column), or the
// refusal the screen shows before focusing that box: for a text that is no
// number, and for an empty box unless `whenEmpty` gives its value. The
// message names the box as `label` ("dry goal"). The box keeps its text.
std::variant<double, FieldProblem> typedNumber(
    const QString &text, const QString &field, const QString &label, std::optional<double> whenEmpty = std::nullopt);

// 0 for an empty, non-numeric or non-finite text, else the text's value: for
// a text the program wrote itself (a label's count), and for the few boxes
// whose words count 0 rather than being refused (a job's rugs and carpet
// rooms); never for any other box the user types into.
double SafeNumber(const QString &text);
