#include "widgets/SelectAllOnFocus.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {

class SelectAllFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched)) {
                // After the focus-in the line edit places the caret where the
                // mouse was pressed; select once that has happened.
                QPointer<QLineEdit> guard(edit);
                edit->selectAll();
                QTimer::singleShot(0, edit, [guard] {
                    if (guard && guard->hasFocus())
                        guard->selectAll();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void SelectAllOnFocus(QWidget *textBox)
{
    QLineEdit *edit = qobject_cast<QLineEdit *>(textBox);
    if (!edit) {
        if (auto *combo = qobject_cast<QComboBox *>(textBox))
            edit = combo->lineEdit();
    }
    if (!edit)
        return;
    edit->installEventFilter(new SelectAllFilter(edit));
}
