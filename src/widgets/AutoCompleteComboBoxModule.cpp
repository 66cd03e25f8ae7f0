#include "widgets/AutoCompleteComboBoxModule.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

#include <chrono>
#include <exception>

namespace {

// ---- matching ----------------------------------------------------------

// The key code as text; a null string for a value that is no character.
QString characterOf(int keyAscii)
{
    const auto code = static_cast<char32_t>(keyAscii);
    if (keyAscii < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return QString::fromUcs4(&code, 1);
}

// First row whose text starts with prefix, ignoring case; -1 when none.
// Lazy models (a query model holds only its first rows at the start) are
// asked for more rows when the scan reaches the end of what they hold.
int findPrefix(QComboBox *combo, const QString &prefix)
{
    if (prefix.isEmpty())
        return -1;
    QAbstractItemModel *model = combo->model();
    const QModelIndex root = combo->rootModelIndex();
    for (int row = 0;; ++row) {
        if (row >= model->rowCount(root)) {
            if (!model->canFetchMore(root))
                return -1;
            model->fetchMore(root);
            if (row >= model->rowCount(root))
                return -1;
        }
        if (combo->itemText(row).startsWith(prefix, Qt::CaseInsensitive))
            return row;
    }
}

bool popupVisible(QComboBox *combo)
{
    return combo->view() && combo->view()->isVisible();
}

// Keeps the highlight of an open drop-down list on the row the search found
// (none for -1), so Enter in the list picks what the edit field shows.
void highlightRow(QComboBox *combo, int row)
{
    if (!popupVisible(combo))
        return;
    QAbstractItemView *view = combo->view();
    const QModelIndex index
        = row >= 0 ? combo->model()->index(row, combo->modelColumn(), combo->rootModelIndex()) : QModelIndex();
    view->setCurrentIndex(index);
    if (index.isValid())
        view->scrollTo(index);
}

// ---- shared search state -------------------------------------------------

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

struct KeySearchState
{
    double lastKeyTime = 0;
    QString text;
    // A QPointer, so that a new combo created where a deleted one lived does
    // not continue the deleted one's prefix.
    QPointer<QComboBox> lastCombo;
};

KeySearchState &searchState()
{
    static KeySearchState state;
    return state;
}

std::function<double()> &searchClock()
{
    static std::function<double()> clock = steadySeconds;
    return clock;
}

// ---- key routing ---------------------------------------------------------

// The key code a key press stands for, or 0 when it is no character for the
// procedures: navigation and function keys, Tab, Delete, and shortcuts with
// Ctrl/Alt (AltGr, which arrives as Ctrl+Alt on some systems, still types).
int keyCodeOf(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & (Qt::ControlModifier | Qt::MetaModifier);
    const bool alt = mods & Qt::AltModifier;
    if (ctrl != alt)
        return 0;
    switch (event->key()) {
    case Qt::Key_Backspace:
        return KeyCode::Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return KeyCode::Enter;
    case Qt::Key_Escape:
        return KeyCode::Escape;
    default:
        break;
    }
    const QList<uint> codes = event->text().toUcs4();
    if (codes.size() != 1 || codes.front() < 32 || codes.front() == 127)
        return 0;
    return static_cast<int>(codes.front());
}

class KeyRouter : public QObject
{
public:
    enum class Mode { Complete, Search };

    KeyRouter(QComboBox *combo, Mode mode, std::function<double()> keyPressDelay = {})
        : QObject(combo)
        , m_combo(combo)
        , m_mode(mode)
        , m_keyPressDelay(std::move(keyPressDelay))
    {
        // One router per combo: installing again replaces the earlier one.
        delete combo->findChild<QObject *>(routerName(), Qt::FindDirectChildrenOnly);
        setObjectName(routerName());
        watch(combo);
        if (combo->lineEdit())
            watch(combo->lineEdit());
        // Keys typed while the drop-down list is open go to the list (the
        // popup has the keyboard): catch them there too.
        m_view = combo->view();
        watch(m_view);
        if (m_view)
            watch(m_view->parentWidget());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || m_forwarding || !m_combo)
            return false;
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        const bool inList = m_view && (watched == m_view || watched == m_view->parentWidget());
        const int key = keyCodeOf(keyEvent);
        if (key == 0) {
            // The edit field keeps its editing keys (Left/Right, Home/End,
            // Delete, Ctrl+C ...) while the list is open; the list keeps
            // the keys that move in it.
            if (m_mode == Mode::Complete && inList && !movesInList(keyEvent)) {
                if (keyEvent->key() == Qt::Key_Tab || keyEvent->key() == Qt::Key_Backtab)
                    m_combo->hidePopup();
                forward(keyEvent);
                return true;
            }
            return false;
        }
        return m_mode == Mode::Search ? search(key, inList) : complete(keyEvent, key, inList);
    }

private:
    static QString routerName() { return QStringLiteral("typeAheadKeyRouter"); }

    void watch(QObject *object)
    {
        if (object)
            object->installEventFilter(this);
    }

    bool search(int key, bool inList)
    {
        // In the open list Enter and Escape keep their meaning: pick and close.
        if (inList && (key == KeyCode::Enter || key == KeyCode::Escape))
            return false;
        ComboKeySearch(m_combo, key, m_keyPressDelay ? m_keyPressDelay() : 0.0);
        return true;
    }

    bool complete(const QKeyEvent *event, int key, bool inList)
    {
        QPointer<QComboBox> combo = m_combo;
        const int result = AutoCompleteComboBox(combo, key);
        if (!inList)
            return result == 0;
        // From the open list: Escape closes it; a key the combo should still
        // process goes to the combo (and so to its edit field), not the list.
        if (key == KeyCode::Escape && combo)
            combo->hidePopup();
        if (result != 0 && combo)
            forward(event);
        return true;
    }

    static bool movesInList(const QKeyEvent *event)
    {
        if (event->modifiers() & Qt::AltModifier)
            return true;
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_F4:
            return true;
        default:
            return false;
        }
    }

    // Hands a key from the open list to the combo, which processes it as
    // usual (and passes it to its edit field).
    void forward(const QKeyEvent *event)
    {
        QKeyEvent copy(
            event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(), event->count());
        QPointer<KeyRouter> self = this;
        m_forwarding = true;
        QCoreApplication::sendEvent(m_combo, &copy);
        if (self)
            m_forwarding = false;
    }

    QPointer<QComboBox> m_combo;
    QPointer<QAbstractItemView> m_view;
    Mode m_mode;
    std::function<double()> m_keyPressDelay;
    bool m_forwarding = false;
};

} // namespace

int AutoCompleteComboBox(QComboBox *combo, int keyAscii)
{
    try {
        QLineEdit *edit = combo ? combo->lineEdit() : nullptr;
        if (!edit)
            return keyAscii;
        const QString text = edit->text();
        const int selLength = edit->selectionLength();
        const int selStart = selLength != 0 ? edit->selectionStart() : edit->cursorPosition();

        if (keyAscii > 31) {
            const QString character = characterOf(keyAscii);
            if (character.isNull())
                return keyAscii;
            // The typed key replaces the selected tail; without a selection
            // it goes at the end, the completion always works on a prefix.
            const QString typed = (selLength != 0 ? text.left(selStart) : text) + character;
            if (combo->isVisible() && combo->count() > 0 && !popupVisible(combo))
                combo->showPopup();
            const int row = findPrefix(combo, typed);
            if (row < 0) {
                edit->setText(typed);
                edit->setCursorPosition(typed.size());
            } else {
                combo->setCurrentIndex(row);
                const QString item = combo->itemText(row);
                edit->setText(item);
                // Caret after the typed part, the completed tail selected.
                const int tail = qMax(0, int(item.size() - typed.size()));
                edit->setSelection(typed.size() + tail, -tail);
            }
            highlightRow(combo, row);
            return 0;
        }

        switch (keyAscii) {
        case KeyCode::Backspace: {
            QString shorter = text;
            if (selLength != 0) {
                shorter = text.left(selStart);
            } else if (!shorter.isEmpty()) {
                // A character outside the basic plane is two UTF-16 units.
                const bool pair = shorter.size() >= 2 && shorter.back().isLowSurrogate()
                    && shorter.at(shorter.size() - 2).isHighSurrogate();
                shorter.chop(pair ? 2 : 1);
            }
            edit->setText(shorter);
            edit->setCursorPosition(shorter.size());
            highlightRow(combo, -1);
            return 0;
        }
        case KeyCode::Enter:
            edit->setCursorPosition(text.size());
            if (popupVisible(combo))
                combo->hidePopup();
            return KeyCode::Enter;
        default:
            edit->setCursorPosition(selStart);
            return 0;
        }
    } catch (const std::exception &) {
        return keyAscii;
    } catch (...) {
        return keyAscii;
    }
}

void ComboKeySearch(QComboBox *combo, int &keyAscii, double keyPressDelay)
{
    KeySearchState &state = searchState();
    const double now = searchClock()();
    const double elapsed = now - state.lastKeyTime;
    // A code that is no character still counts as a key; it matches nothing.
    QString character = characterOf(keyAscii);
    if (character.isNull())
        character = QString(QChar::ReplacementCharacter);

    // Written as "not less than" so that an unset (NaN) delay also starts a
    // new prefix on every key.
    if (!(elapsed < keyPressDelay) || state.lastCombo.data() != combo) {
        state.text = character;
        state.lastCombo = combo;
    } else {
        state.text += character;
    }
    keyAscii = 0;
    state.lastKeyTime = now;

    if (!combo)
        return;
    const int row = findPrefix(combo, state.text);
    if (row < 0)
        return;
    QPointer<QComboBox> guard = combo;
    combo->setCurrentIndex(row);
    highlightRow(combo, row);
    // A pick by key is a user's pick, as with Qt's own keyboard search.
    emit combo->activated(row);
    if (guard)
        emit combo->textActivated(combo->itemText(row));
}

void InstallAutoComplete(QComboBox *editableCombo)
{
    if (!editableCombo)
        return;
    if (!editableCombo->isEditable()) {
        qWarning("InstallAutoComplete: %s is not editable", qPrintable(editableCombo->objectName()));
        return;
    }
    editableCombo->setCompleter(nullptr);
    // The list holds the values already used; Enter must not add to it.
    editableCombo->setInsertPolicy(QComboBox::NoInsert);
    new KeyRouter(editableCombo, KeyRouter::Mode::Complete);
}

void InstallKeySearch(QComboBox *listOnlyCombo, std::function<double()> keyPressDelay)
{
    if (!listOnlyCombo)
        return;
    new KeyRouter(listOnlyCombo, KeyRouter::Mode::Search, std::move(keyPressDelay));
}

void SetKeySearchClock(std::function<double()> secondsNow)
{
    searchClock() = secondsNow ? std::move(secondsNow) : std::function<double()>(steadySeconds);
}

void ResetKeySearch()
{
    searchState() = KeySearchState();
}
