#include "widgets/PlainTextLimit.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QValidator>

namespace {

// Drops every half of a character pair that lost its other half.
class WholeCharacters : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override
    {
        for (qsizetype i = 0; i < input.size();) {
            const bool pair = input.at(i).isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate();
            if (pair) {
                i += 2;
            } else if (input.at(i).isSurrogate()) {
                input.remove(i, 1);
                if (pos > i)
                    --pos;
            } else {
                ++i;
            }
        }
        return Acceptable;
    }
};

} // namespace

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
            // Drop what was just typed or pasted beyond the limit, and the
            // first half of a character the cut would split.
            int start = end - excess;
            if (start > 0 && text.at(start).isLowSurrogate())
                --start;
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else {
            const bool split = text.at(maxLength - 1).isHighSurrogate();
            box->setPlainText(text.left(split ? maxLength - 1 : maxLength));
        }
    });
}

void KeepWholeCharacters(QLineEdit *box)
{
    if (!box || box->validator())
        return;
    box->setValidator(new WholeCharacters(box));
}
