#pragma once

#include "staff/TimeEntry.h"

#include <QList>

class QComboBox;
class QDateTimeEdit;

// A pick list and its hidden twin, which holds each entry's row ID at the
// same index: filled, moved and cleared together.
namespace Choices {

// Replaces both lists' entries; nothing is selected afterwards.
void fill(QComboBox *box, QComboBox *ids, const QList<staff::Choice> &choices);
// The index of the row ID, or -1.
int indexOf(const QComboBox *ids, qint64 id);
// The row ID of the selected entry, 0 when none is.
qint64 selectedId(const QComboBox *box, const QComboBox *ids);
// Appends one entry to both lists and returns its index.
int append(QComboBox *box, QComboBox *ids, const QString &label, qint64 id);
// Selects an index (-1: none) in both lists.
void select(QComboBox *box, QComboBox *ids, int index);

// A date picker holding a date and time of day in local time; the time is
// shown only when `showTime`.
QDateTimeEdit *datePicker(const char *name, bool showTime, QWidget *parent);

} // namespace Choices
