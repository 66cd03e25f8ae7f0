#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <initializer_list>
#include <utility>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDateTimeEdit;
class QFormLayout;
class QGridLayout;
class QKeySequence;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The widget builders of every screen. The object name always comes first,
// as Latin-1 text, and a caption second, as UTF-16 text (u"Save"): a swapped
// pair does not compile. A widget given no parent takes the one of the layout
// it goes into.
namespace build {

template <class T> T *named(T *widget, const char *objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QPushButton *button(const char *objectName, QStringView caption, QWidget *parent = nullptr);
// A button with a shortcut, which its tool tip names.
QPushButton *button(const char *objectName, QStringView caption, const QKeySequence &keys, QWidget *parent = nullptr);
QCheckBox *checkBox(const char *objectName, QStringView caption, QWidget *parent = nullptr);

// Every label built here shows its text as it is, never as markup: a
// caption, file name or customer name holding "<img src=...>" draws no file.

// A label that names another control (its buddy takes the focus on the
// label's mnemonic); it needs no object name.
QLabel *caption(QStringView text, QWidget *buddy = nullptr, QWidget *parent = nullptr);
// A label the screen fills or a test reads.
QLabel *label(const char *objectName, QStringView text = {}, QWidget *parent = nullptr);
// A label that shows a value of the record: selectable, so that it can be
// copied, and wide enough for a number even while empty.
QLabel *valueLabel(const char *objectName, QWidget *parent = nullptr);

// A one-line box that takes at most `maxLength` UTF-16 units (QLineEdit's
// own limit by default).
QLineEdit *textBox(const char *objectName, int maxLength = 32767, QWidget *parent = nullptr);

// Pickers with the calendar a click opens.
QDateEdit *datePicker(const char *objectName, QWidget *parent = nullptr);
QDateTimeEdit *dateTimePicker(const char *objectName, QWidget *parent = nullptr);

// A combo that lists choices only, wide enough for `contents` characters and
// showing 20 at a time; none is picked at first.
QComboBox *pickList(const char *objectName, int contents, QWidget *parent = nullptr);
// The same for a list of up to thousands of entries: filled from its model
// in one step by setItems() and sized without measuring each entry.
QComboBox *longList(const char *objectName, int contents, QWidget *parent = nullptr);
// A hidden twin of a list: holds the IDs of its entries, never shown nor
// focused. It needs a parent, being in no layout.
template <class T> T *twin(const char *objectName, QWidget *parent)
{
    auto *widget = named(new T(parent), objectName);
    widget->hide();
    widget->setFocusPolicy(Qt::NoFocus);
    return widget;
}

// A tool tip that shows `text` as it is: tool tips have no plain-text
// setting and take anything that looks like markup for markup, so the text
// goes as escaped rich text (line breaks kept).
QString plainTip(const QString &text);

// Replaces a combo's entries at once: nothing is picked afterwards, an
// editable combo's text is empty, and no signal of the pick fires.
void setItems(QComboBox *box, const QStringList &items);

// Rows of a form, each a caption and the control it names (the caption's
// mnemonic focuses it).
void formRows(QFormLayout *form, std::initializer_list<std::pair<QStringView, QWidget *>> rows);

// A row of a two-column grid: the caption names the first control (its
// mnemonic focuses it).
struct CaptionRow
{
    QStringView caption;
    QList<QWidget *> controls;
};
// Adds rows to a two-column grid from `row` on; returns the row after them.
// Beside each caption its control, or its controls side by side with a line
// edit of no fixed width taking the room left. A caption sits at the top of
// a control taller than a line (a notes box, a list).
int captionRows(QGridLayout *grid, int row, std::initializer_list<CaptionRow> rows);

// Tab goes from each control to the next one listed.
void tabOrder(std::initializer_list<QWidget *> order);

} // namespace build
