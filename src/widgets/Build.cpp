#include "widgets/Build.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QTextDocument>

namespace build {

QPushButton *button(const char *objectName, QStringView caption, QWidget *parent)
{
    return named(new QPushButton(caption.toString(), parent), objectName);
}

QPushButton *button(const char *objectName, QStringView caption, const QKeySequence &keys, QWidget *parent)
{
    QPushButton *b = button(objectName, caption, parent);
    b->setShortcut(keys);
    b->setToolTip(QStringLiteral("%1 (%2)").arg(b->text().remove(u'&'), keys.toString(QKeySequence::NativeText)));
    return b;
}

QCheckBox *checkBox(const char *objectName, QStringView caption, QWidget *parent)
{
    return named(new QCheckBox(caption.toString(), parent), objectName);
}

QLabel *caption(QStringView text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text.toString());
    label->setBuddy(buddy);
    return label;
}

QLabel *label(const char *objectName, QStringView text, QWidget *parent)
{
    auto *shown = named(new QLabel(parent), objectName);
    shown->setTextFormat(Qt::PlainText);
    shown->setText(text.toString());
    return shown;
}

QString plainTip(const QString &text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QLabel *valueLabel(const char *objectName, QWidget *parent)
{
    QLabel *shown = label(objectName, {}, parent);
    shown->setMinimumWidth(60);
    shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return shown;
}

QLineEdit *textBox(const char *objectName, int maxLength, QWidget *parent)
{
    auto *box = named(new QLineEdit(parent), objectName);
    box->setMaxLength(maxLength);
    return box;
}

QDateEdit *datePicker(const char *objectName, QWidget *parent)
{
    auto *picker = named(new QDateEdit(parent), objectName);
    picker->setCalendarPopup(true);
    return picker;
}

QDateTimeEdit *dateTimePicker(const char *objectName, QWidget *parent)
{
    auto *picker = named(new QDateTimeEdit(parent), objectName);
    picker->setCalendarPopup(true);
    return picker;
}

QComboBox *pickList(const char *objectName, int contents, QWidget *parent)
{
    auto *box = named(new QComboBox(parent), objectName);
    box->setEditable(false);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(contents);
    box->setMaxVisibleItems(20);
    return box;
}

QComboBox *longList(const char *objectName, int contents, QWidget *parent)
{
    QComboBox *box = pickList(objectName, contents, parent);
    box->setModel(new QStringListModel(box));
    if (auto *view = qobject_cast<QListView *>(box->view()))
        view->setUniformItemSizes(true);
    return box;
}

void setItems(QComboBox *box, const QStringList &items)
{
    const QSignalBlocker block(box);
    if (auto *model = qobject_cast<QStringListModel *>(box->model())) {
        model->setStringList(items);
    } else {
        box->clear();
        box->addItems(items);
    }
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(QString());
}

void formRows(QFormLayout *form, std::initializer_list<std::pair<QStringView, QWidget *>> rows)
{
    for (const auto &[text, control] : rows)
        form->addRow(caption(text, control), control);
}

int captionRows(QGridLayout *grid, int row, std::initializer_list<CaptionRow> rows)
{
    for (const CaptionRow &r : rows) {
        QWidget *first = r.controls.value(0);
        const bool tall = qobject_cast<QAbstractScrollArea *>(first);
        grid->addWidget(caption(r.caption, first), row, 0, tall ? Qt::AlignLeft | Qt::AlignTop : Qt::Alignment());
        if (r.controls.size() == 1) {
            grid->addWidget(first, row++, 1);
            continue;
        }
        auto *line = new QHBoxLayout;
        line->setContentsMargins(0, 0, 0, 0);
        for (QWidget *control : r.controls) {
            const bool widens = qobject_cast<QLineEdit *>(control) && control->maximumWidth() == QWIDGETSIZE_MAX;
            line->addWidget(control, widens ? 1 : 0);
        }
        grid->addLayout(line, row++, 1);
    }
    return row;
}

void tabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *next : order) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    }
}

} // namespace build
