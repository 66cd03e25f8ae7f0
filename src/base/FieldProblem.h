#pragma once

#include <QString>

// A value refused by a record's checks: the field at fault (the record's
// column name), the message and its title. The screen focuses the field's
// control and shows the message; nothing is written.
struct FieldProblem
{
    QString field;
    QString text;
    QString title;
};

// The problems one part of the program finds, all shown under its title:
// `problem("Name", text)` where `const ProblemTitle problem { "Drying Log" }`.
struct ProblemTitle
{
    QString title;

    FieldProblem operator()(const char *field, const QString &text) const
    {
        return FieldProblem { QString::fromLatin1(field), text, title };
    }
};
