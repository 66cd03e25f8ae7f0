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
