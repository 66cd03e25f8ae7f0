#include "staff/ui/Choices.h"

#include "widgets/Build.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLocale>
#include <QSignalBlocker>

namespace Choices {

void fill(QComboBox *box, QComboBox *ids, const QList<staff::Choice> &choices)
{
    const QSignalBlocker blockBox(box);
    const QSignalBlocker blockIds(ids);
    box->clear();
    ids->clear();
    for (const staff::Choice &choice : choices) {
        box->addItem(choice.label);
        ids->addItem(QString::number(choice.id));
    }
    box->setCurrentIndex(-1);
    ids->setCurrentIndex(-1);
}

int indexOf(const QComboBox *ids, qint64 id)
{
    return id == 0 ? -1 : ids->findText(QString::number(id), Qt::MatchExactly);
}

qint64 selectedId(const QComboBox *box, const QComboBox *ids)
{
    const int index = box->currentIndex();
    return index < 0 ? 0 : ids->itemText(index).toLongLong();
}

int append(QComboBox *box, QComboBox *ids, const QString &label, qint64 id)
{
    box->addItem(label);
    ids->addItem(QString::number(id));
    return box->count() - 1;
}

void select(QComboBox *box, QComboBox *ids, int index)
{
    box->setCurrentIndex(index);
    ids->setCurrentIndex(index);
}

QDateTimeEdit *datePicker(const char *name, bool showTime, QWidget *parent)
{
    QDateTimeEdit *picker = build::dateTimePicker(name, parent);
    // Local time, whose date is the one the user picks (a plain date edit
    // keeps UTC, which moves the day near midnight).
    picker->setTimeSpec(Qt::LocalTime);
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    if (showTime)
        format += u' ' + locale.timeFormat(QLocale::ShortFormat);
    picker->setDisplayFormat(format);
    return picker;
}

} // namespace Choices
