#include "widgets/PlainTextLimit.h"

#include <QPlainTextEdit>
#include <QTextCursor>

void LimitPlainText(QPlainTextEdit *box, int maxLength)
{
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box, maxLength] {
        const QString text = box->toPlainText();
        const int excess = int(text.size()) - maxLength;
        if (excess <= 0)
            return;
        QTextCursor cursor = box->textCursor();
        const int end = cursor.position();
        if (end >= excess) {
            // Drop what was just typed or pasted beyond the limit.
            cursor.setPosition(end - excess);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else {
            box->setPlainText(text.left(maxLength));
        }
    });
}
