#pragma once

class QPlainTextEdit;

// A plain-text box that holds at most maxLength characters, as its column
// does: what is typed or pasted beyond the limit is dropped where it went in.
void LimitPlainText(QPlainTextEdit *box, int maxLength);
