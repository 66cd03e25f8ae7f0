#pragma once

#include <functional>

class QComboBox;

// Type-ahead for combo boxes, shared by every screen.
//
// Editable combos (free text with a list of values already used) complete
// inline: the first item that starts with the typed text (ignoring case) is
// put into the edit field with the completed tail selected, so the next key
// overwrites it. List-only combos search with a timed prefix: keys typed
// within the key-press delay (seconds) of each other, in the same combo, add up to
// one prefix; the first item starting with it is selected.
//
// Matching is a case-insensitive (Unicode case folding) prefix test on the
// items' texts in the combo's own model, first row first. Rows a lazy model
// has not fetched yet are fetched as the search reaches them.
//
// Signals, for screens that react to a pick:
//  - connect activated(int) to the "click" handler of a list-only combo. It
//    fires for every user pick: mouse, arrow keys and a key search that
//    matches (even when the match is the item already selected), as Qt's own
//    keyboard search does. It does not fire when code calls setCurrentIndex,
//    so a screen that moves a combo in code and wants its handler to run
//    calls the handler itself.
//  - currentIndexChanged(int) fires whenever the index really changes, also
//    while an editable combo completes. The text of an editable combo is its
//    currentText() (the edit field), which may match no item at all.

// Key codes as the procedures take them: a typed character's Unicode code
// point, or one of these control codes.
namespace KeyCode {
constexpr int Backspace = 8;
constexpr int Enter = 13;
constexpr int Escape = 27;
} // namespace KeyCode

// Completes the edit field of an editable combo for one typed key and returns
// the key code the combo should still process (0 = consumed). A printable
// character searches and completes (opening the drop-down list); Backspace
// removes the selected tail, or else the last character; Enter moves the
// caret to the end, closes the list and is returned so it is processed as
// usual; any other control character is consumed. On any failure (no combo,
// not editable, invalid code) the key is returned unchanged.
int AutoCompleteComboBox(QComboBox *combo, int keyAscii);

// Timed type-to-search for a list-only combo. Every key, control characters
// included, joins the search prefix; a key that matches nothing leaves the
// selection as it was. Always sets keyAscii to 0.
void ComboKeySearch(QComboBox *combo, int &keyAscii, double keyPressDelay);

// Routes the combo's key presses through the procedures above with an event
// filter on the combo, its edit field and its drop-down list. Keys that are
// not characters (arrows, Page Up/Down, Home/End, Delete, F4, Tab) and
// shortcuts with Ctrl or Alt (copy, paste, mnemonics) keep their usual
// meaning; a consumed key is swallowed.
//
// InstallAutoComplete switches off the combo's own completer and the adding
// of typed text to the list on Enter. While its list is open, the list keeps
// Up/Down/Page Up/Page Down (Enter then picks the highlighted item) and every
// other key goes on to the edit field. Call it after setEditable(true) (and
// after any setLineEdit/setView); installing again replaces the earlier
// routing.
void InstallAutoComplete(QComboBox *editableCombo);
// Replaces the combo's own keyboard search (also in its open drop-down list);
// Enter and Escape in the open list still pick and close. keyPressDelay is
// asked at every key, so a changed company setting applies at once.
void InstallKeySearch(QComboBox *listOnlyCombo, std::function<double()> keyPressDelay);

// Test seams. The clock ComboKeySearch reads, in seconds on a monotonic
// scale (an empty function restores the steady system clock). The shared
// search state goes back to "no previous key".
void SetKeySearchClock(std::function<double()> secondsNow);
void ResetKeySearch();
