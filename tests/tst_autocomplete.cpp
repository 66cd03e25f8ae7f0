#include "shell/AppContext.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/AutoCompleteComboBoxModule.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

// In key strings '\b' is Backspace, '\r' Enter, '\x1b' Escape; every other
// character is typed as itself.
Qt::Key keyFor(QChar c)
{
    static const QHash<char16_t, Qt::Key> special { { u'\b', Qt::Key_Backspace }, { u'\r', Qt::Key_Return },
        { u'\x1b', Qt::Key_Escape } };
    return special.value(c.unicode(), Qt::Key(c.toUpper().unicode()));
}

// Sends the keys to the widget or, without one, as the window system does: to
// the window that has the keyboard (an open drop-down list is a window).
void type(const QString &keys, QWidget *widget = nullptr)
{
    for (QChar c : keys) {
        if (widget) {
            QTest::sendKeyEvent(QTest::Click, widget, keyFor(c), QString(c), Qt::NoModifier);
            continue;
        }
        // A list that just closed hands the keyboard back a moment later.
        QTRY_VERIFY(QGuiApplication::focusWindow() && QGuiApplication::focusWindow()->isVisible());
        QTest::sendKeyEvent(QTest::Click, QGuiApplication::focusWindow(), keyFor(c), QString(c), Qt::NoModifier);
    }
}

// A model that hands out its rows in batches, as a query model does.
class LazyModel : public QAbstractListModel
{
public:
    static constexpr int Total = 100;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_fetched; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        return index.row() == Total - 1 ? QStringLiteral("Zimmerman") : QStringLiteral("Alpha %1").arg(index.row());
    }
    bool canFetchMore(const QModelIndex &parent) const override { return !parent.isValid() && m_fetched < Total; }
    void fetchMore(const QModelIndex &parent) override
    {
        const int more = qMin(20, Total - m_fetched);
        beginInsertRows(parent, m_fetched, m_fetched + more - 1);
        m_fetched += more;
        endInsertRows();
    }

private:
    int m_fetched = 20;
};

const QStringList kCustomers = { QStringLiteral("Adams"), QStringLiteral("Allen"), QStringLiteral("Baker"),
    QStringLiteral("Émile"), QStringLiteral("Zoë") };
const QStringList kStates = { QStringLiteral("Alaska"), QStringLiteral("Eastland"), QStringLiteral("Nebraska"),
    QStringLiteral("Nevada"), QStringLiteral("New York"), QStringLiteral("Ohio"), QStringLiteral("Rhode Island") };

} // namespace

// The key-press delay the key search is given, in seconds.
double g_keyPressDelay = 0;

class TestAutoComplete : public QObject
{
    Q_OBJECT

    std::unique_ptr<QDialog> m_dialog;
    QComboBox *m_customer = nullptr; // editable
    QComboBox *m_state = nullptr; // list-only, "Ohio" selected
    QComboBox *m_type = nullptr; // list-only
    QPushButton *m_ok = nullptr; // the dialog's default button
    double m_now = 1000;

    QComboBox *addCombo(const QStringList &items, bool editable = false)
    {
        auto *box = new QComboBox;
        box->setEditable(editable);
        box->addItems(items);
        m_dialog->layout()->addWidget(box);
        return box;
    }

    // Shows the dialog (if hidden) and gives the combo the keyboard.
    void showFocused(QComboBox *combo)
    {
        if (!m_dialog->isVisible()) {
            m_dialog->show();
            m_dialog->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
            // Let the widgets finish reacting to the activation (an edit
            // field drops its selection a moment later when it lacks focus).
            QCoreApplication::processEvents();
        }
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
    }

    void checkEdit(const QString &text, int caret, int selLength)
    {
        QLineEdit *edit = m_customer->lineEdit();
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->cursorPosition(), caret);
        QCOMPARE(edit->selectionLength(), selLength);
        if (selLength > 0) {
            QCOMPARE(edit->selectionStart(), caret);
            QCOMPARE(caret + selLength, text.size());
        }
    }

    bool listOpen(const QComboBox *combo) { return combo->view()->isVisible(); }

private slots:
    void init()
    {
        resetTestState();
        ResetKeySearch();
        m_now = 1000;
        SetKeySearchClock([this] { return m_now; });
        g_keyPressDelay = 1;

        m_dialog = std::make_unique<QDialog>();
        new QVBoxLayout(m_dialog.get());
        m_customer = addCombo(kCustomers, true);
        m_customer->setCurrentIndex(-1);
        m_customer->clearEditText();
        m_state = addCombo(kStates);
        m_state->setCurrentIndex(kStates.indexOf(QStringLiteral("Ohio")));
        m_type = addCombo({ QStringLiteral("Fire"), QStringLiteral("Water"), QStringLiteral("Work Order") });
        m_ok = new QPushButton(QStringLiteral("OK"));
        m_ok->setDefault(true);
        m_dialog->layout()->addWidget(m_ok);
        InstallAutoComplete(m_customer);
        InstallKeySearch(m_state, [] { return g_keyPressDelay; });
        InstallKeySearch(m_type, [] { return g_keyPressDelay; });
    }

    void cleanup()
    {
        m_dialog.reset();
        SetKeySearchClock({});
        ResetKeySearch();
    }

    // ---- editable combos

    // Typed as the window system does: once the list is open it has the
    // keyboard, and the keys still edit the field. Highlight is the list's
    // current row while it is open.
    void completesWhileTyping_data()
    {
        columns<QString, QString, int, int, int, bool, int>(
            { "keys", "text", "caret", "selLength", "index", "listOpen", "highlight" });
        row("A completes Adams", "A", "Adams", 1, 4, 0, true, 0);
        row("l replaces the tail", "Al", "Allen", 2, 3, 1, true, 1);
        row("Backspace drops the tail", "Al\b", "Al", 2, 0, 1, true, -1);
        row("case ignored", "aL", "Allen", 2, 3, 1, true, 1);
        row("no match keeps the typing", "Alx", "Alx", 3, 0, 1, true, -1);
        row("Backspace after no match", "Alx\b", "Al", 2, 0, 1, true, -1);
        row("whole item typed", "Adams", "Adams", 5, 0, 0, true, 0);
        row("accented capital", QStringLiteral("é"), QStringLiteral("Émile"), 1, 4, 3, true, 3);
        row("non-ASCII inside", QStringLiteral("zoË"), QStringLiteral("Zoë"), 3, 0, 4, true, 4);
        row("Backspace on empty", "\b", "", 0, 0, -1, false, 0);
        row("Escape drops the selection and the list", "A\x1b", "Adams", 1, 0, 0, false, 0);
        row("Enter keeps the completion", "A\r", "Adams", 5, 0, 0, false, 0);
        row("Enter after no match", "Alx\r", "Alx", 3, 0, 1, false, 0);
        row("typing on after Enter", "Al\b\rl", "Allen", 3, 2, 1, true, 1);
        row("Escape after typing on", "Al\b\rl\x1b", "Allen", 3, 0, 1, false, 0);
    }
    void completesWhileTyping()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selLength);
        QFETCH(bool, listOpen);
        showFocused(m_customer);
        QSignalSpy picked(m_customer, &QComboBox::activated);
        QSignalSpy entered(m_customer->lineEdit(), &QLineEdit::returnPressed);
        type(keys);
        checkEdit(text, caret, selLength);
        QTEST(m_customer->currentIndex(), "index");
        QCOMPARE(this->listOpen(m_customer), listOpen);
        if (listOpen)
            QTEST(m_customer->view()->currentIndex().row(), "highlight");
        QCOMPARE(m_customer->count(), kCustomers.size());
        // Enter reaches the edit field. Typing picks nothing; Enter on a listed
        // name is a pick, as in any combo.
        QCOMPARE(entered.count(), keys.count(u'\r'));
        QCOMPARE(picked.count(), keys.endsWith(u'\r') && m_customer->findText(text) >= 0 ? 1 : 0);
    }

    // The procedure itself, from a given text, caret and selection.
    void editsFromAnyState_data()
    {
        columns<QString, int, int, int, QString, int, int, int>(
            { "text", "selStart", "selLength", "key", "newText", "caret", "newSelLength", "result" });
        row("caret inside: key goes at the end", "Ba", 1, 0, int('k'), "Baker", 3, 2, 0);
        row("selection inside: rest dropped", "Baker", 1, 2, int('o'), "Bo", 2, 0, 0);
        row("Backspace, caret inside", "Baker", 2, 0, 8, "Bake", 4, 0, 0);
        row("Backspace, character outside BMP", QStringLiteral("Zo\U0001F600"), 4, 0, 8, "Zo", 2, 0, 0);
        row("character outside BMP typed", "Zo", 2, 0, 0x1F600, QStringLiteral("Zo\U0001F600"), 4, 0, 0);
        row("no character: returned", "Ad", 2, 0, 0xD800, "Ad", 2, 0, 0xD800);
    }
    void editsFromAnyState()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(int, key);
        QFETCH(QString, newText);
        QFETCH(int, caret);
        QFETCH(int, newSelLength);
        QLineEdit *edit = m_customer->lineEdit();
        edit->setText(text);
        if (selLength > 0)
            edit->setSelection(selStart, selLength);
        else
            edit->setCursorPosition(selStart);
        QTEST(AutoCompleteComboBox(m_customer, key), "result");
        checkEdit(newText, caret, newSelLength);
    }

    void failureReturnsTheKey()
    {
        QCOMPARE(AutoCompleteComboBox(nullptr, 'A'), int('A'));
        QCOMPARE(AutoCompleteComboBox(m_state, 'N'), int('N'));
        QCOMPARE(AutoCompleteComboBox(m_state, 8), 8);
        QCOMPARE(m_state->currentText(), QStringLiteral("Ohio"));
        int key = 'N';
        ComboKeySearch(nullptr, key, g_keyPressDelay);
        QCOMPARE(key, 0);
    }

    // Enter goes on to the edit field and the dialog's default button without
    // adding the text to the list; Escape does not close the dialog.
    void enterIsPassedOnEscapeSwallowed()
    {
        showFocused(m_customer);
        QSignalSpy returnPressed(m_customer->lineEdit(), &QLineEdit::returnPressed);
        QSignalSpy okClicked(m_ok, &QPushButton::clicked);
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        type(QStringLiteral("Alx\r"), m_customer);
        QCOMPARE(returnPressed.count(), 1);
        QCOMPARE(okClicked.count(), 1);
        QCOMPARE(m_customer->count(), kCustomers.size());
        QCOMPARE(m_customer->currentText(), QStringLiteral("Alx"));

        showFocused(m_customer);
        type(QStringLiteral("\x1b"), m_customer);
        QCOMPARE(rejected.count(), 0);
        QVERIFY(m_dialog->isVisible());
    }

    // Keys that are no characters keep their usual meaning: arrows move in
    // the open list (Enter picks), Delete and Ctrl+A edit, Up and Tab in a
    // list-only combo select and move on.
    void nonCharacterKeysKeepTheirMeaning()
    {
        showFocused(m_customer);
        QSignalSpy picked(m_customer, &QComboBox::activated);
        type(QStringLiteral("A"));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Down);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Down);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
        QVERIFY(!listOpen(m_customer));
        QCOMPARE(m_customer->currentText(), QStringLiteral("Baker"));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.at(0).at(0).toInt(), 2);

        m_customer->clearEditText();
        type(QStringLiteral("A"), m_customer);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Delete);
        checkEdit(QStringLiteral("A"), 1, 0);
        m_customer->hidePopup();
        m_customer->lineEdit()->setText(QStringLiteral("Baker"));
        QTest::keyClick(m_customer, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_customer->lineEdit()->selectedText(), QStringLiteral("Baker"));

        showFocused(m_state);
        QSignalSpy activated(m_state, &QComboBox::activated);
        QTest::keyClick(m_state, Qt::Key_Up);
        QCOMPARE(m_state->currentText(), QStringLiteral("New York"));
        QCOMPARE(activated.count(), 1);
        QTest::keyClick(m_state, Qt::Key_Tab);
        QTRY_VERIFY(m_type->hasFocus());
    }

    // ---- list-only combos

    void keySearch_data()
    {
        using Times = QList<double>;
        columns<double, QString, Times, QString>({ "delay", "keys", "times", "selected" });
        row("N then E within the delay", 1.0, "NE", Times { 0, 0.5 }, "Nebraska");
        row("delay counts from the previous key", 1.0, "NEW", Times { 0, 0.9, 1.8 }, "New York");
        row("E exactly at the delay", 1.0, "NE", Times { 0, 1.0 }, "Eastland");
        row("fractional delay", 0.5, "NE", Times { 0, 0.3 }, "Nebraska");
        row("delay 0: first letters only", 0.0, "NE", Times { 0, 0 }, "Eastland");
        row("case ignored", 1.0, "new", Times { 0, 0.1, 0.2 }, "New York");
        row("no match after a match", 1.0, "NQ", Times { 0, 0.1 }, "Nebraska");
        row("Backspace joins the prefix", 1.0, "N\bE", Times { 0, 0.1, 0.2 }, "Nebraska");
        row("Enter joins the prefix", 1.0, "R\rI", Times { 0, 0.1, 0.2 }, "Rhode Island");
        row("space is a character", 1.0, "NEW Y", Times { 0, 0.1, 0.2, 0.3, 0.4 }, "New York");
    }
    void keySearch()
    {
        QFETCH(double, delay);
        QFETCH(QString, keys);
        QFETCH(QList<double>, times);
        QCOMPARE(times.size(), keys.size());
        g_keyPressDelay = delay;
        for (int i = 0; i < keys.size(); ++i) {
            m_now = 1000 + times.at(i);
            type(keys.mid(i, 1), m_state);
        }
        QTEST(m_state->currentText(), "selected");
    }

    // Each match is a pick (activated, also for the item already selected);
    // a key without a match raises nothing. Every key is consumed.
    void keySearchSignals()
    {
        QSignalSpy activated(m_state, &QComboBox::activated);
        QSignalSpy changed(m_state, &QComboBox::currentIndexChanged);
        for (int key : { 'N', 'n', 'x' }) {
            ComboKeySearch(m_state, key, g_keyPressDelay);
            QCOMPARE(key, 0);
            m_now += 5;
        }
        QCOMPARE(activated.count(), 2);
        QCOMPARE(activated.at(1).at(0).toInt(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_state->currentIndex(), 2);
    }

    void otherComboStartsNewPrefix()
    {
        type(QStringLiteral("N"), m_state);
        m_now += 0.1;
        type(QStringLiteral("W"), m_type);
        m_now += 0.1;
        type(QStringLiteral("E"), m_state);
        QCOMPARE(m_state->currentText(), QStringLiteral("Eastland"));
        m_now += 0.1;
        type(QStringLiteral("o"), m_type);
        QCOMPARE(m_type->currentText(), QStringLiteral("Water")); // "o" alone matches nothing
    }

    // A combo created after the previous one was deleted starts afresh, even
    // if it happens to live at the same address.
    void deletedComboDoesNotLendItsPrefix()
    {
        auto first = std::make_unique<QComboBox>();
        first->addItems(kStates);
        int key = 'N';
        ComboKeySearch(first.get(), key, g_keyPressDelay);
        first.reset();
        auto second = std::make_unique<QComboBox>();
        second->addItems(kStates);
        key = 'E';
        ComboKeySearch(second.get(), key, g_keyPressDelay);
        QCOMPARE(second->currentText(), QStringLiteral("Eastland"));
    }

    void keySearchInOpenList()
    {
        showFocused(m_state);
        m_state->showPopup();
        QTRY_VERIFY(listOpen(m_state));
        type(QStringLiteral("Ne"));
        QCOMPARE(m_state->currentText(), QStringLiteral("Nebraska"));
        QCOMPARE(m_state->view()->currentIndex().row(), 2);
        type(QStringLiteral("\x1b"));
        QVERIFY(!listOpen(m_state));
        QCOMPARE(m_state->currentText(), QStringLiteral("Nebraska"));
        QTRY_VERIFY(m_state->hasFocus());
        m_now += 2;
        type(QStringLiteral("o"));
        QCOMPARE(m_state->currentText(), QStringLiteral("Ohio"));
    }

    // ---- both

    // A lazy model holds only its first rows; the search fetches the rest.
    void searchFetchesMoreRows()
    {
        LazyModel customers;
        LazyModel states;
        m_customer->setModel(&customers);
        m_customer->setCurrentIndex(-1);
        m_customer->clearEditText();
        m_state->setModel(&states);
        type(QStringLiteral("z"), m_customer);
        QCOMPARE(m_customer->currentText(), QStringLiteral("Zimmerman"));
        QCOMPARE(m_customer->currentIndex(), LazyModel::Total - 1);
        type(QStringLiteral("Zi"), m_state);
        QCOMPARE(m_state->currentIndex(), LazyModel::Total - 1);
        m_customer->setModel(new QStandardItemModel(m_customer));
        m_state->setModel(new QStandardItemModel(m_state));
    }
};

QTEST_MAIN(TestAutoComplete)
#include "tst_autocomplete.moc"
