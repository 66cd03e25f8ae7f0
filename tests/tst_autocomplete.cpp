#include "shell/AutoCompleteComboBoxModule.h"
#include "shell/modMain.h"
#include "support/TestDb.h"

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

// Key strings in the tables: '\b' Backspace, '\r' Enter, '\x1b' Escape, every
// other character is typed as itself.
Qt::Key keyFor(QChar c)
{
    switch (c.unicode()) {
    case 8:
        return Qt::Key_Backspace;
    case 13:
        return Qt::Key_Return;
    case 27:
        return Qt::Key_Escape;
    default:
        return Qt::Key(c.toUpper().unicode());
    }
}

// Sends the keys straight to a widget.
void typeInto(QWidget *widget, const QString &keys)
{
    for (QChar c : keys)
        QTest::sendKeyEvent(QTest::Click, widget, keyFor(c), QString(c), Qt::NoModifier);
}

// Sends the keys the way the window system does: to the window that has the
// keyboard (an open drop-down list is a window of its own).
void typeAtFocus(const QString &keys)
{
    for (QChar c : keys) {
        QWindow *window = QGuiApplication::focusWindow();
        QVERIFY(window);
        QTest::sendKeyEvent(QTest::Click, window, keyFor(c), QString(c), Qt::NoModifier);
    }
}

bool listOpen(QComboBox *combo)
{
    return combo->view()->isVisible();
}

// A model that hands out its rows in batches, as a query model does.
class LazyModel : public QAbstractListModel
{
public:
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

    static constexpr int Total = 100;

private:
    int m_fetched = 20;
};

const QStringList kCustomers = { QStringLiteral("Adams"), QStringLiteral("Allen"), QStringLiteral("Baker"),
    QStringLiteral("Émile"), QStringLiteral("Zoë") };
const QStringList kStates = { QStringLiteral("Alaska"), QStringLiteral("Eastland"), QStringLiteral("Nebraska"),
    QStringLiteral("Nevada"), QStringLiteral("New York"), QStringLiteral("Ohio"), QStringLiteral("Rhode Island") };

} // namespace

class TestAutoComplete : public QObject
{
    Q_OBJECT

    std::unique_ptr<QDialog> m_dialog;
    QComboBox *m_customer = nullptr; // editable
    QComboBox *m_state = nullptr; // list-only
    QComboBox *m_type = nullptr; // list-only
    QPushButton *m_ok = nullptr;
    double m_now = 1000;

    void showDialog()
    {
        m_dialog->show();
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
        // Let the widgets finish their reaction to the activation (a line
        // edit drops its selection a moment later when it lacks the focus).
        QCoreApplication::processEvents();
    }

    void focus(QComboBox *combo)
    {
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

private slots:
    void init()
    {
        resetTestState();
        ResetKeySearch();
        m_now = 1000;
        SetKeySearchClock([this] { return m_now; });
        gKeyPressDelay = 1;

        m_dialog = std::make_unique<QDialog>();
        auto *layout = new QVBoxLayout(m_dialog.get());
        m_customer = new QComboBox;
        m_customer->setObjectName(QStringLiteral("cmbCustomer"));
        m_customer->setEditable(true);
        m_customer->addItems(kCustomers);
        m_customer->setCurrentIndex(-1);
        m_customer->clearEditText();
        m_state = new QComboBox;
        m_state->setObjectName(QStringLiteral("cmbState"));
        m_state->addItems(kStates);
        m_state->setCurrentIndex(kStates.indexOf(QStringLiteral("Ohio")));
        m_type = new QComboBox;
        m_type->setObjectName(QStringLiteral("cmbType"));
        m_type->addItems({ QStringLiteral("Fire"), QStringLiteral("Water"), QStringLiteral("Work Order") });
        m_ok = new QPushButton(QStringLiteral("OK"));
        m_ok->setDefault(true);
        for (QWidget *w : { static_cast<QWidget *>(m_customer), static_cast<QWidget *>(m_state),
                 static_cast<QWidget *>(m_type), static_cast<QWidget *>(m_ok) })
            layout->addWidget(w);
        InstallAutoComplete(m_customer);
        InstallKeySearch(m_state);
        InstallKeySearch(m_type);
    }

    void cleanup()
    {
        m_dialog.reset();
        SetKeySearchClock({});
        ResetKeySearch();
    }

    // ---- editable combos ----

    void completesWhileTyping_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("listOpen");

        QTest::newRow("A completes Adams") << "A"
                                           << "Adams" << 1 << 4 << 0 << true;
        QTest::newRow("l replaces the tail") << "Al"
                                             << "Allen" << 2 << 3 << 1 << true;
        QTest::newRow("Backspace drops the tail") << "Al\b"
                                                  << "Al" << 2 << 0 << 1 << true;
        QTest::newRow("second Backspace") << "Al\b\b"
                                          << "A" << 1 << 0 << 1 << true;
        QTest::newRow("lower case finds Adams") << "a"
                                                << "Adams" << 1 << 4 << 0 << true;
        QTest::newRow("mixed case") << "aL"
                                    << "Allen" << 2 << 3 << 1 << true;
        QTest::newRow("no match keeps typing") << "Alx"
                                               << "Alx" << 3 << 0 << 1 << true;
        QTest::newRow("no match at all") << "X"
                                         << "X" << 1 << 0 << -1 << true;
        QTest::newRow("Backspace after no match") << "Alx\b"
                                                  << "Al" << 2 << 0 << 1 << true;
        QTest::newRow("whole item typed") << "Adams"
                                          << "Adams" << 5 << 0 << 0 << true;
        QTest::newRow("accented capital") << QStringLiteral("é") << QStringLiteral("Émile") << 1 << 4 << 3 << true;
        QTest::newRow("non-ASCII inside") << QStringLiteral("zoË") << QStringLiteral("Zoë") << 3 << 0 << 4 << true;
        QTest::newRow("Backspace on empty") << "\b"
                                            << "" << 0 << 0 << -1 << false;
        QTest::newRow("Escape only drops the selection") << "A\x1b"
                                                         << "Adams" << 1 << 0 << 0 << true;
        QTest::newRow("Enter keeps the completion") << "A\r"
                                                    << "Adams" << 5 << 0 << 0 << false;
        QTest::newRow("Enter after no match") << "Alx\r"
                                              << "Alx" << 3 << 0 << 1 << false;
    }

    void completesWhileTyping()
    {
        QFETCH(QString, keys);
        showDialog();
        focus(m_customer);
        typeInto(m_customer, keys);
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selLength);
        checkEdit(text, caret, selLength);
        QTEST(m_customer->currentIndex(), "index");
        QTEST(listOpen(m_customer), "listOpen");
        QCOMPARE(m_customer->currentText(), text);
        QCOMPARE(m_customer->count(), kCustomers.size());
    }

    // The procedure itself, from a given text, caret and selection.
    void editsFromAnyState_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selStart");
        QTest::addColumn<int>("selLength");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("newText");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("newSelLength");
        QTest::addColumn<int>("result");

        QTest::newRow("caret inside: key goes at the end") << "Ba" << 1 << 0 << int('k') << "Baker" << 3 << 2 << 0;
        QTest::newRow("selection inside: rest dropped") << "Baker" << 1 << 2 << int('o') << "Bo" << 2 << 0 << 0;
        QTest::newRow("Backspace, selection inside") << "Baker" << 1 << 2 << 8 << "B" << 1 << 0 << 0;
        QTest::newRow("Backspace, caret inside") << "Baker" << 2 << 0 << 8 << "Bake" << 4 << 0 << 0;
        QTest::newRow("Backspace, character outside BMP")
            << QStringLiteral("Zo\U0001F600") << 4 << 0 << 8 << "Zo" << 2 << 0 << 0;
        QTest::newRow("Enter: caret to the end") << "Adams" << 1 << 4 << 13 << "Adams" << 5 << 0 << 13;
        QTest::newRow("Escape consumed") << "Adams" << 1 << 4 << 27 << "Adams" << 1 << 0 << 0;
        QTest::newRow("Tab code consumed") << "Ad" << 2 << 0 << 9 << "Ad" << 2 << 0 << 0;
        QTest::newRow("character outside BMP typed")
            << "Zo" << 2 << 0 << 0x1F600 << QStringLiteral("Zo\U0001F600") << 4 << 0 << 0;
        QTest::newRow("no character: returned") << "Ad" << 2 << 0 << 0xD800 << "Ad" << 2 << 0 << 0xD800;
    }

    void editsFromAnyState()
    {
        QFETCH(QString, text);
        QFETCH(int, selStart);
        QFETCH(int, selLength);
        QFETCH(int, key);
        QLineEdit *edit = m_customer->lineEdit();
        edit->setText(text);
        if (selLength > 0)
            edit->setSelection(selStart, selLength);
        else
            edit->setCursorPosition(selStart);
        QTEST(AutoCompleteComboBox(m_customer, key), "result");
        QFETCH(QString, newText);
        QFETCH(int, caret);
        QFETCH(int, newSelLength);
        checkEdit(newText, caret, newSelLength);
    }

    void failureReturnsTheKey()
    {
        QCOMPARE(AutoCompleteComboBox(nullptr, 'A'), int('A'));
        QCOMPARE(AutoCompleteComboBox(m_state, 'N'), int('N'));
        QCOMPARE(AutoCompleteComboBox(m_state, 8), 8);
        QCOMPARE(m_state->currentText(), QStringLiteral("Ohio"));
        int key = 'N';
        ComboKeySearch(nullptr, key);
        QCOMPARE(key, 0);
    }

    // Enter goes on to the edit field and the dialog's default button; the
    // typed text is not added to the list. Escape does not close the dialog.
    void enterIsPassedOnEscapeSwallowed()
    {
        showDialog();
        focus(m_customer);
        QSignalSpy returnPressed(m_customer->lineEdit(), &QLineEdit::returnPressed);
        QSignalSpy okClicked(m_ok, &QPushButton::clicked);
        QSignalSpy rejected(m_dialog.get(), &QDialog::rejected);
        typeInto(m_customer, QStringLiteral("Alx\r"));
        QCOMPARE(returnPressed.count(), 1);
        QCOMPARE(okClicked.count(), 1);
        QCOMPARE(m_customer->count(), kCustomers.size());
        QCOMPARE(m_customer->currentText(), QStringLiteral("Alx"));

        m_dialog->show();
        focus(m_customer);
        typeInto(m_customer, QStringLiteral("\x1b"));
        QCOMPARE(rejected.count(), 0);
        QVERIFY(m_dialog->isVisible());
    }

    // While the list is open it has the keyboard; typing still edits the field.
    void typingContinuesWhileListIsOpen()
    {
        showDialog();
        focus(m_customer);
        QSignalSpy activated(m_customer, &QComboBox::activated);
        typeAtFocus(QStringLiteral("A"));
        QVERIFY(listOpen(m_customer));
        checkEdit(QStringLiteral("Adams"), 1, 4);
        typeAtFocus(QStringLiteral("l"));
        checkEdit(QStringLiteral("Allen"), 2, 3);
        QCOMPARE(m_customer->view()->currentIndex().row(), 1);
        typeAtFocus(QStringLiteral("\b"));
        checkEdit(QStringLiteral("Al"), 2, 0);
        typeAtFocus(QStringLiteral("\r"));
        QVERIFY(!listOpen(m_customer));
        checkEdit(QStringLiteral("Al"), 2, 0);
        QTRY_VERIFY(m_customer->hasFocus());
        typeAtFocus(QStringLiteral("l"));
        checkEdit(QStringLiteral("Allen"), 3, 2);
        typeAtFocus(QStringLiteral("\x1b"));
        QVERIFY(!listOpen(m_customer));
        checkEdit(QStringLiteral("Allen"), 3, 0);
        QCOMPARE(activated.count(), 0);
    }

    // Arrow keys in the open list move the highlight; Enter picks that item.
    void arrowsAndEnterPickFromOpenList()
    {
        showDialog();
        focus(m_customer);
        QSignalSpy activated(m_customer, &QComboBox::activated);
        typeAtFocus(QStringLiteral("A"));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Down);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Down);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Return);
        QVERIFY(!listOpen(m_customer));
        QCOMPARE(m_customer->currentText(), QStringLiteral("Baker"));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 2);
    }

    // Keys that are no characters keep their usual meaning.
    void nonCharacterKeysKeepTheirMeaning()
    {
        showDialog();
        focus(m_customer);
        typeInto(m_customer, QStringLiteral("A"));
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Delete);
        checkEdit(QStringLiteral("A"), 1, 0);
        m_customer->hidePopup();
        m_customer->lineEdit()->setText(QStringLiteral("Baker"));
        QTest::keyClick(m_customer, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_customer->lineEdit()->selectedText(), QStringLiteral("Baker"));

        focus(m_state);
        QSignalSpy activated(m_state, &QComboBox::activated);
        QTest::keyClick(m_state, Qt::Key_Up);
        QCOMPARE(m_state->currentText(), QStringLiteral("New York"));
        QCOMPARE(activated.count(), 1);
        QTest::keyClick(m_state, Qt::Key_Tab);
        QTRY_VERIFY(m_type->hasFocus());
    }

    // ---- list-only combos ----

    void keySearch_data()
    {
        QTest::addColumn<double>("delay");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QList<double>>("times");
        QTest::addColumn<QString>("selected");

        using Times = QList<double>;
        QTest::newRow("N then E within the delay") << 1.0 << "NE" << Times { 0, 0.5 } << "Nebraska";
        QTest::newRow("three letters") << 1.0 << "NEV" << Times { 0, 0.3, 0.6 } << "Nevada";
        QTest::newRow("delay counts from the previous key") << 1.0 << "NEW" << Times { 0, 0.9, 1.8 } << "New York";
        QTest::newRow("E after the delay") << 1.0 << "NE" << Times { 0, 1.5 } << "Eastland";
        QTest::newRow("E exactly at the delay") << 1.0 << "NE" << Times { 0, 1.0 } << "Eastland";
        QTest::newRow("fractional delay") << 0.25 << "NE" << Times { 0, 0.3 } << "Eastland";
        QTest::newRow("delay 0: first letters only") << 0.0 << "NE" << Times { 0, 0 } << "Eastland";
        QTest::newRow("case ignored") << 1.0 << "new" << Times { 0, 0.1, 0.2 } << "New York";
        QTest::newRow("no match keeps the selection") << 1.0 << "X" << Times { 0 } << "Ohio";
        QTest::newRow("no match after a match") << 1.0 << "NQ" << Times { 0, 0.1 } << "Nebraska";
        QTest::newRow("Backspace joins the prefix") << 1.0 << "N\bE" << Times { 0, 0.1, 0.2 } << "Nebraska";
        QTest::newRow("Enter joins the prefix") << 1.0 << "R\rI" << Times { 0, 0.1, 0.2 } << "Rhode Island";
        QTest::newRow("space is a character") << 1.0 << "NEW Y" << Times { 0, 0.1, 0.2, 0.3, 0.4 } << "New York";
    }

    void keySearch()
    {
        QFETCH(double, delay);
        QFETCH(QString, keys);
        QFETCH(QList<double>, times);
        QCOMPARE(times.size(), keys.size());
        gKeyPressDelay = delay;
        for (int i = 0; i < keys.size(); ++i) {
            m_now = 1000 + times.at(i);
            typeInto(m_state, keys.mid(i, 1));
        }
        QTEST(m_state->currentText(), "selected");
    }

    // Each match is a pick (activated, also for the item already selected);
    // a key without a match raises nothing.
    void keySearchSignals()
    {
        QSignalSpy activated(m_state, &QComboBox::activated);
        QSignalSpy changed(m_state, &QComboBox::currentIndexChanged);
        int key = 'N';
        ComboKeySearch(m_state, key);
        QCOMPARE(key, 0);
        m_now += 5;
        key = 'n';
        ComboKeySearch(m_state, key);
        QCOMPARE(key, 0);
        m_now += 5;
        key = 'x';
        ComboKeySearch(m_state, key);
        QCOMPARE(key, 0);
        QCOMPARE(activated.count(), 2);
        QCOMPARE(activated.at(1).at(0).toInt(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_state->currentIndex(), 2);
    }

    void otherComboStartsNewPrefix()
    {
        typeInto(m_state, QStringLiteral("N"));
        m_now += 0.1;
        typeInto(m_type, QStringLiteral("W"));
        m_now += 0.1;
        typeInto(m_state, QStringLiteral("E"));
        QCOMPARE(m_state->currentText(), QStringLiteral("Eastland"));
        m_now += 0.1;
        typeInto(m_type, QStringLiteral("o"));
        QCOMPARE(m_type->currentText(), QStringLiteral("Water")); // "o" alone matches nothing
    }

    // A combo created after the previous one was deleted starts afresh, even
    // if it happens to live at the same address.
    void deletedComboDoesNotLendItsPrefix()
    {
        auto first = std::make_unique<QComboBox>();
        first->addItems(kStates);
        int key = 'N';
        ComboKeySearch(first.get(), key);
        first.reset();
        auto second = std::make_unique<QComboBox>();
        second->addItems(kStates);
        key = 'E';
        ComboKeySearch(second.get(), key);
        QCOMPARE(second->currentText(), QStringLiteral("Eastland"));
    }

    void keySearchInOpenList()
    {
        showDialog();
        focus(m_state);
        m_state->showPopup();
        QTRY_VERIFY(listOpen(m_state));
        typeAtFocus(QStringLiteral("Ne"));
        QCOMPARE(m_state->currentText(), QStringLiteral("Nebraska"));
        QCOMPARE(m_state->view()->currentIndex().row(), 2);
        typeAtFocus(QStringLiteral("\x1b"));
        QVERIFY(!listOpen(m_state));
        QCOMPARE(m_state->currentText(), QStringLiteral("Nebraska"));
        QTRY_VERIFY(m_state->hasFocus());
        m_now += 2;
        typeAtFocus(QStringLiteral("o"));
        QCOMPARE(m_state->currentText(), QStringLiteral("Ohio"));
    }

    // ---- both ----

    // A lazy model holds only its first rows; the search fetches the rest.
    void searchFetchesMoreRows()
    {
        LazyModel customers;
        LazyModel states;
        m_customer->setModel(&customers);
        m_customer->setCurrentIndex(-1);
        m_customer->clearEditText();
        m_state->setModel(&states);
        typeInto(m_customer, QStringLiteral("z"));
        QCOMPARE(m_customer->currentText(), QStringLiteral("Zimmerman"));
        QCOMPARE(m_customer->currentIndex(), LazyModel::Total - 1);
        typeInto(m_state, QStringLiteral("Zi"));
        QCOMPARE(m_state->currentIndex(), LazyModel::Total - 1);
        m_customer->setModel(new QStandardItemModel(m_customer));
        m_state->setModel(new QStandardItemModel(m_state));
    }
};

QTEST_MAIN(TestAutoComplete)
#include "tst_autocomplete.moc"
