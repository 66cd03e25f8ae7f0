#pragma once

class QWidget;

// Text boxes that select their whole text when they get the focus, so typing
// replaces the value. Works on QLineEdit (masked boxes included) and on the
// line edit of an editable QComboBox.
void SelectAllOnFocus(QWidget *textBox);
