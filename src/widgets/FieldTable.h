#pragma once

#include "base/FieldProblem.h"
#include "base/Numbers.h"
#include "base/Phones.h"
#include "widgets/PlainTextLimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

// One table of a screen's fields: each row names the record's field, its
// control and how the two meet. fill(), clear() and read() walk it, so a
// field is listed once.
//
// fill() remembers what each control showed. read() starts from the record
// the screen loaded and takes only the controls the user changed since: a
// stored value that a control cannot show (a state no longer in the list, an
// empty date that the picker shows as today) is saved back as it was.
//
// check() comes first: a number box whose text is no number refuses the
// save with the one message of base/Numbers.h, and nothing typed is lost.
template <class Record> class FieldTable
{
public:
    struct Row
    {
        QString field;
        QWidget *control = nullptr;
        std::function<void(const Record &)> show;
        std::function<void()> clear;
        std::function<QVariant()> shown;
        std::function<void(Record &)> take;
        // The refusal of what the control holds, for a control that can hold
        // what no field takes; empty for the others.
        std::function<std::optional<FieldProblem>()> check {};
    };

    // A row of any kind.
    FieldTable &add(Row row)
    {
        m_rows.push_back(std::move(row));
        m_remembered.emplace_back();
        return *this;
    }

    FieldTable &text(const char *field, QLineEdit *box, QString Record::*member)
    {
        KeepWholeCharacters(box);
        return add(
            { QString::fromLatin1(field), box, [=](const Record &r) { box->setText(r.*member); }, [=] { box->clear(); },
                [=] { return QVariant(box->text()); }, [=](Record &r) { r.*member = box->text(); } });
    }

    FieldTable &plainText(const char *field, QPlainTextEdit *box, QString Record::*member)
    {
        return add({ QString::fromLatin1(field), box, [=](const Record &r) { box->setPlainText(r.*member); },
            [=] { box->clear(); }, [=] { return QVariant(box->toPlainText()); },
            [=](Record &r) { r.*member = box->toPlainText(); } });
    }

    // A combo whose edit field takes any text; its list offers values.
    FieldTable &editText(const char *field, QComboBox *box, QString Record::*member)
    {
        KeepWholeCharacters(box->lineEdit());
        return add({ QString::fromLatin1(field), box, [=](const Record &r) { box->setEditText(r.*member); },
            [=] { box->setEditText(QString()); }, [=] { return QVariant(box->currentText()); },
            [=](Record &r) { r.*member = box->currentText(); } });
    }

    // A pick list: the stored text is selected when listed, else nothing is.
    FieldTable &listText(const char *field, QComboBox *box, QString Record::*member)
    {
        return add({ QString::fromLatin1(field), box,
            [=](const Record &r) {
                const QString &value = r.*member;
                box->setCurrentIndex(
                    value.isEmpty() ? -1 : box->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
            },
            [=] { box->setCurrentIndex(-1); }, [=] { return QVariant(pickedText(box)); },
            [=](Record &r) { r.*member = pickedText(box); } });
    }

    // A masked phone box. A stored number the mask would mangle (one kept
    // with a country code, say) is shown unmasked, as it is; an untouched
    // empty box stores the empty text, not the mask's placeholders.
    FieldTable &phone(const char *field, QLineEdit *box, QString Record::*member)
    {
        return add({ QString::fromLatin1(field), box,
            [=](const Record &r) {
                box->setInputMask(Phones::fitsMask(r.*member) ? Phones::mask() : QString());
                box->setText(r.*member);
            },
            [=] {
                box->setInputMask(Phones::mask());
                box->clear();
            },
            [=] { return QVariant(box->displayText()); },
            [=](Record &r) {
                r.*member = box->inputMask().isEmpty() ? box->text() : Phones::toStore(box->displayText());
            } });
    }

    FieldTable &check(const char *field, QCheckBox *box, bool Record::*member)
    {
        return add({ QString::fromLatin1(field), box, [=](const Record &r) { box->setChecked(r.*member); },
            [=] { box->setChecked(false); }, [=] { return QVariant(box->isChecked()); },
            [=](Record &r) { r.*member = box->isChecked(); } });
    }

    // A date picker, which cannot show "no date": an empty date shows as
    // emptyShows() and stays empty unless the user picks one.
    FieldTable &date(const char *field, QDateEdit *box, QDate Record::*member, std::function<QDate()> emptyShows)
    {
        return add({ QString::fromLatin1(field), box,
            [=](const Record &r) {
                const QSignalBlocker block(box);
                box->setDate((r.*member).isValid() ? r.*member : emptyShows());
            },
            [=] {
                const QSignalBlocker block(box);
                box->setDate(emptyShows());
            },
            [=] { return QVariant(box->date()); }, [=](Record &r) { r.*member = box->date(); } });
    }

    // A date and time of day, as date() for a date.
    FieldTable &dateTime(
        const char *field, QDateTimeEdit *box, QDateTime Record::*member, std::function<QDateTime()> emptyShows)
    {
        return add({ QString::fromLatin1(field), box,
            [=](const Record &r) {
                const QSignalBlocker block(box);
                box->setDateTime((r.*member).isValid() ? r.*member : emptyShows());
            },
            [=] {
                const QSignalBlocker block(box);
                box->setDateTime(emptyShows());
            },
            [=] { return QVariant(box->dateTime()); }, [=](Record &r) { r.*member = box->dateTime(); } });
    }

    // A number in a text box, shown with `toText`; NaN (no number entered
    // yet) shows as an empty box. Read as typedNumber() reads it: check()
    // refuses a text that is no number, and an empty box unless `whenEmpty`
    // gives its value. `label` names the box in the message.
    FieldTable &number(const char *field, QLineEdit *box, double Record::*member, const QString &label,
        std::function<QString(double)> toText, std::optional<double> whenEmpty = std::nullopt)
    {
        KeepWholeCharacters(box);
        const QString name = QString::fromLatin1(field);
        const auto typed = [=] { return typedNumber(box->text(), name, label, whenEmpty); };
        Row row { name, box,
            [=](const Record &r) { box->setText(std::isnan(r.*member) ? QString() : toText(r.*member)); },
            [=] { box->clear(); }, [=] { return QVariant(box->text()); },
            [=](Record &r) {
                const auto value = typed();
                if (const double *number = std::get_if<double>(&value))
                    r.*member = *number;
            } };
        row.check = [=]() -> std::optional<FieldProblem> {
            const auto value = typed();
            if (const FieldProblem *problem = std::get_if<FieldProblem>(&value))
                return *problem;
            return std::nullopt;
        };
        return add(std::move(row));
    }

    // A number shown and read with conversions of its own, for a box whose
    // checks read it another way before the form is read (a booking's hours,
    // in the user's locale).
    FieldTable &number(const char *field, QLineEdit *box, double Record::*member, std::function<QString(double)> toText,
        std::function<double(const QString &)> fromText)
    {
        return add({ QString::fromLatin1(field), box, [=](const Record &r) { box->setText(toText(r.*member)); },
            [=] { box->clear(); }, [=] { return QVariant(box->text()); },
            [=](Record &r) { r.*member = fromText(box->text()); } });
    }

    void fill(const Record &record)
    {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            m_rows[i].show(record);
            m_remembered[i] = m_rows[i].shown();
        }
    }

    void clear()
    {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            m_rows[i].clear();
            m_remembered[i] = m_rows[i].shown();
        }
    }

    // The first control whose content no field takes, as the problem to show
    // at it; nothing when read() may go ahead. Every such control is checked,
    // changed or not: an empty number box of a new record holds no number.
    std::optional<FieldProblem> check() const
    {
        for (const Row &row : m_rows) {
            if (row.check) {
                if (std::optional<FieldProblem> problem = row.check())
                    return problem;
            }
        }
        return std::nullopt;
    }

    // `loaded` with every field whose control the user changed taken from it.
    Record read(const Record &loaded) const
    {
        Record record = loaded;
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].shown() != m_remembered[i])
                m_rows[i].take(record);
        }
        return record;
    }

    // Whether any control differs from what fill() or clear() left in it.
    bool isModified() const
    {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].shown() != m_remembered[i])
                return true;
        }
        return false;
    }

    QWidget *control(const QString &field) const
    {
        for (const Row &row : m_rows) {
            if (row.field == field)
                return row.control;
        }
        return nullptr;
    }

    static QString pickedText(const QComboBox *box) { return box->currentIndex() < 0 ? QString() : box->currentText(); }

private:
    std::vector<Row> m_rows;
    // What each control showed after the last fill() or clear().
    std::vector<QVariant> m_remembered;
};
