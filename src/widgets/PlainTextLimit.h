#pragma once

class QLineEdit;
class QPlainTextEdit;

// A plain-text box that holds at most maxLength characters, as its column
// does: what is typed or pasted beyond the limit is dropped where it went in.
// The cut never splits an emoji or another character of two UTF-16 units.
void LimitPlainText(QPlainTextEdit *box, int maxLength);

// A one-line box whose maxLength cuts a paste between characters: QLineEdit
// counts UTF-16 units and would keep half of a character of two, which no
// database stores. Leaves a box that has a validator of its own alone.
void KeepWholeCharacters(QLineEdit *box);
