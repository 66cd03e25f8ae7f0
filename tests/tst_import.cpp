// backends: sqlite
#include "app/Screens.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/JetFile.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"
#include "wip/CustomerFile.h"
#include "wip/CustomerFileHeader.h"
#include "wip/ui/frmImport.h"
#include "wip/ui/frmWIPEntry.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using jetfile::Customer;

namespace {

const QVariant kNull;

// The other application's list: NULLs, an empty company, a lower-case state,
// a match only in the address, a quote and a wildcard in the names.
const QList<Customer> kCustomers {
    { 1, "John", "Smith", kNull, "12 Elm St", "Springfield", "IL", "62701", "555-0101" },
    { 2, "Ann", "Jones", "Blacksmith Co", "4 Oak Ave", "Peoria", "IL", "61602", kNull },
    { 3, "John", "Smith", "Acme", "1 Main St", "Albany", "NY", "12207", "555-0103" },
    { 4, "Tom", "Baker", "", "9 Smithfield Rd", "Buffalo", "ny", "14201", "555-0104" },
    { 5, kNull, "O'Brien", kNull, kNull, kNull, kNull, kNull, kNull },
    { 6, "Card", "Wild", "Star*Co", "7 Pine", "Reno", "NV", "89501", "555-0106" },
    { 7, "amy", "adams", kNull, "3 Birch", "Dover", "DE", "19901", "555-0107" },
};

QStringList texts(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QStringList matchTexts(const QList<wip::Customer> &customers)
{
    QStringList list;
    for (const wip::Customer &c : customers)
        list << wip::matchText(c);
    return list;
}

// What one file to open is: a good one, or one made to fail.
enum class FileCase { Good, Missing, NotAccess, WrongPassword, NoTable, NoColumn, NoPath };

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_file; // the customers, password "KVZ"
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QPointer<frmWIPEntry> m_entry;

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Makes the file of a case and returns its config.txt path.
    QString makeFile(FileCase c)
    {
        QList<jetfile::Table> tables { jetfile::customerTable(kCustomers) };
        jetfile::Header header { 1, QStringLiteral("KVZ") };
        switch (c) {
        case FileCase::Good:
            return m_file;
        case FileCase::Missing:
            return path("nowhere.mdb");
        case FileCase::NoPath:
            return {};
        case FileCase::NotAccess: {
            QFile text(path("notes.mdb"));
            if (!text.open(QIODevice::WriteOnly) || text.write(QByteArray(8192, 'x')) < 0)
                qFatal("cannot write");
            return text.fileName();
        }
        case FileCase::WrongPassword:
            header.password = QStringLiteral("Secret");
            break;
        case FileCase::NoTable:
            tables.first().name = QStringLiteral("tblPeople");
            break;
        case FileCase::NoColumn:
            tables.first().columns.removeLast();
            for (QVariantList &row : tables.first().rows)
                row.removeLast();
            break;
        }
        const QString file = path("case.mdb");
        const QString problem = jetfile::writeChecked(file, tables, header);
        if (!problem.isEmpty())
            qFatal("%s", qPrintable(problem));
        return file;
    }

    template <typename T = QWidget> T *child(QWidget *screen, const char *name)
    {
        T *widget = screen ? screen->findChild<T *>(QString::fromLatin1(name)) : nullptr;
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    frmImport *importScreen() const
    {
        return m_mdi ? qobject_cast<frmImport *>(m_mdi->findScreen(QStringLiteral("frmImport"))) : nullptr;
    }
    // The entry screen's Import button, then the import screen it opened.
    frmImport *openImport()
    {
        QTest::mouseClick(child<QPushButton>(m_entry, "btnImport"), Qt::LeftButton);
        return importScreen();
    }
    void pickMatch(frmImport *import, const QString &text)
    {
        auto *list = child<QComboBox>(import, "cmbName");
        const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        QVERIFY2(index >= 0, qPrintable(text));
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    QString entryText(const char *name)
    {
        if (auto *box = m_entry->findChild<QComboBox *>(QString::fromLatin1(name)))
            return box->isEditable() || box->currentIndex() >= 0 ? box->currentText() : QString();
        return child<QLineEdit>(m_entry, name)->text();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_file = path("customers.mdb");
        const QString problem
            = jetfile::writeChecked(m_file, { jetfile::customerTable(kCustomers) }, { 1, QStringLiteral("KVZ") });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void init()
    {
        m_db = std::make_unique<TestDb>();
        if (!m_db->create())
            QSKIP(qPrintable(m_db->skipReason()));
        testdb::logIn(1, QStringLiteral("alice"), QStringLiteral("Admin"));
        testdb::context().config.folder = m_dir.path();
        testdb::context().config.customerDatabasePath = QStringLiteral("customers.mdb");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        m_entry = qobject_cast<frmWIPEntry *>(m_mdi->showScreen(QStringLiteral("frmWIPEntry")));
        QVERIFY(m_entry);
    }

    void cleanup()
    {
        m_mdi.reset();
        m_db.reset();
        QFile::remove(path("settings.ini"));
    }

    // ---- the customer file itself

    void search_data()
    {
        columns<QString, QStringList>({ "text", "matches" });
        // Without a company first; then company, last, first, address, all
        // without regard to case.
        row("everyone", QString(),
            QStringList { "adams, amy", "Baker, Tom", "O'Brien, ", "Smith, John", "Acme - Smith, John",
                "Blacksmith Co - Jones, Ann", "Star*Co - Wild, Card" });
        row("smi, not in the address", QStringLiteral("smi"),
            QStringList { "Smith, John", "Acme - Smith, John", "Blacksmith Co - Jones, Ann" });
        row("any case", QStringLiteral("SMITH"),
            QStringList { "Smith, John", "Acme - Smith, John", "Blacksmith Co - Jones, Ann" });
        row("a first name", QStringLiteral("Card"), QStringList { "Star*Co - Wild, Card" });
        row("a quote", QStringLiteral("o'b"), QStringList { "O'Brien, " });
        row("a star is a star", QStringLiteral("*"), QStringList { "Star*Co - Wild, Card" });
        row("so is a question mark", QStringLiteral("?"), QStringList {});
        row("and a bracket", QStringLiteral("[a-z]"), QStringList {});
    }
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, matches);
        auto customers = wip::openCustomerFile({ m_file, QStringLiteral("KVZ") });
        QCOMPARE(matchTexts(customers->search(text)), matches);
        // The same file answers again, and finds one customer by ID.
        QCOMPARE(customers->search(text).size(), matches.size());
        QCOMPARE(customers->find(4).value_or(wip::Customer {}).state, QStringLiteral("ny"));
        QVERIFY(!customers->find(99));
    }

    void password_data()
    {
        columns<int, QString, double, QString, bool>({ "version", "stored", "created", "given", "opens" });
        row("Jet 4, right", 1, QStringLiteral("KVZ"), 45292.6875, QStringLiteral("KVZ"), true);
        row("Jet 4, other case", 1, QStringLiteral("KVZ"), 45292.6875, QStringLiteral("kvz"), false);
        row("Jet 4, none given", 1, QStringLiteral("KVZ"), 45292.6875, QString(), false);
        row("Jet 4, twenty letters", 1, QStringLiteral("abcdefghijklmnopqrsT"), 36526.25,
            QStringLiteral("abcdefghijklmnopqrsT"), true);
        row("Jet 4, one letter longer", 1, QStringLiteral("KVZ"), 1.5, QStringLiteral("KVZ1"), false);
        row("Jet 4 without a password", 1, QString(), 45292.6875, QStringLiteral("anything"), true);
        row("Jet 3, right", 0, QStringLiteral("KVZ"), 35000.5, QStringLiteral("KVZ"), true);
        row("Jet 3, wrong", 0, QStringLiteral("KVZ"), 35000.5, QStringLiteral("KVX"), false);
    }
    void password()
    {
        QFETCH(int, version);
        QFETCH(QString, stored);
        QFETCH(double, created);
        QFETCH(QString, given);
        QFETCH(bool, opens);
        const auto header = wip::readJetHeader(jetfile::headerPage({ version, stored, created }));
        QVERIFY(header);
        QCOMPARE(header->version, version);
        QCOMPARE(header->password, stored);
        QCOMPARE(wip::passwordOpens(*header, given), opens);
    }

    // The path is config.txt's, from its folder; the password is the
    // settings file's, else the other application's.
    void locationFromConfig()
    {
        ConfigValues config { {}, QStringLiteral("sub/../customers.mdb"), m_dir.path() };
        QCOMPARE(wip::customerFileLocation(config).path, m_file);
        QCOMPARE(wip::customerFileLocation(config).password, QStringLiteral("KVZ"));
        QFile settings(path("settings.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[CustomerFile]\nPassword=\"a,b;c\"\n");
        settings.close();
        config.customerDatabasePath = m_file;
        QCOMPARE(wip::customerFileLocation(config).path, m_file);
        QCOMPARE(wip::customerFileLocation(config).password, QStringLiteral("a,b;c"));
    }

    // ---- the screen

    void openingListsEveryoneAndLocksTheEntry()
    {
        frmImport *import = openImport();
        QVERIFY(import);
        QCOMPARE(import->windowTitle(), QStringLiteral("Ostrevan Import"));
        QVERIFY(!m_entry->isEnabled());
        auto *names = child<QComboBox>(import, "cmbName");
        auto *ids = child<QComboBox>(import, "cmbID");
        QCOMPARE(names->count(), kCustomers.size());
        QCOMPARE(texts(ids), (QStringList { "7", "4", "5", "1", "3", "2", "6" }));
        QCOMPARE(names->currentIndex(), -1);
        QVERIFY(!ids->isVisible());
        QVERIFY(!child<QPushButton>(import, "btnImport")->isEnabled());

        // Enter in the search box finds; a pick shows the details, NULLs as
        // empty; a new search empties them again.
        QTest::keyClicks(child<QLineEdit>(import, "txtSearch"), QStringLiteral("smi"));
        QTest::keyClick(child<QLineEdit>(import, "txtSearch"), Qt::Key_Return);
        QCOMPARE(texts(names), (QStringList { "Smith, John", "Acme - Smith, John", "Blacksmith Co - Jones, Ann" }));
        QCOMPARE(texts(ids), (QStringList { "1", "3", "2" }));
        pickMatch(import, QStringLiteral("Blacksmith Co - Jones, Ann"));
        QCOMPARE(child<QLineEdit>(import, "txtName")->text(), QStringLiteral("Jones, Ann"));
        QCOMPARE(child<QLineEdit>(import, "txtCompany")->text(), QStringLiteral("Blacksmith Co"));
        QCOMPARE(child<QLineEdit>(import, "txtPhone")->text(), QString());
        QCOMPARE(ids->currentIndex(), names->currentIndex());
        QVERIFY(child<QPushButton>(import, "btnImport")->isEnabled());
        QTest::mouseClick(child<QPushButton>(import, "btnFind"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(import, "txtName")->text(), QString());
        QCOMPARE(names->currentIndex(), -1);
        QVERIFY(Messages::shown().isEmpty());
    }

    void import_data()
    {
        columns<QString, QString, QString, QString, QString>({ "match", "customer", "state", "phone", "message" });
        row("without a company", QStringLiteral("Smith, John"), QStringLiteral("Smith, John"), QStringLiteral("IL"),
            QStringLiteral("555-0101"), QString());
        row("with one", QStringLiteral("Acme - Smith, John"), QStringLiteral("Acme - Smith, John"),
            QStringLiteral("NY"), QStringLiteral("555-0103"), QString());
        // The state keeps what the screen showed; the rest still comes.
        row("a lower-case state", QStringLiteral("Baker, Tom"), QStringLiteral("Baker, Tom"), QStringLiteral("CA"),
            QStringLiteral("555-0104"), QStringLiteral("Invalid State: Not a valid state: ny (!)"));
        row("no state at all", QStringLiteral("O'Brien, "), QStringLiteral("O'Brien, "), QStringLiteral("CA"),
            QString(), QStringLiteral("Invalid State: Not a valid state:  (!)"));
    }
    void import()
    {
        QFETCH(QString, match);
        QFETCH(QString, customer);
        QFETCH(QString, state);
        QFETCH(QString, phone);
        QFETCH(QString, message);
        auto *states = child<QComboBox>(m_entry, "cmbState");
        states->setCurrentIndex(states->findText(QStringLiteral("CA")));
        child<QLineEdit>(m_entry, "txtRugs")->setText(QStringLiteral("3"));
        frmImport *import = openImport();
        QVERIFY(import);
        pickMatch(import, match);
        // The boxes may be corrected before the import.
        child<QLineEdit>(import, "txtCity")->setText(QStringLiteral("Corrected"));
        QTest::mouseClick(child<QPushButton>(import, "btnImport"), Qt::LeftButton);

        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        QCOMPARE(entryText("cmbCustomer"), customer);
        QCOMPARE(entryText("txtCity"), QStringLiteral("Corrected"));
        QCOMPARE(entryText("cmbState"), state);
        QCOMPARE(entryText("txtPhone"), phone);
        QCOMPARE(entryText("txtRugs"), QStringLiteral("3"));
        QVERIFY(m_entry->isEnabled());
        QVERIFY(!importScreen());
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 0);
    }

    // Cancel, Escape or the window's own close: nothing changes and the
    // entry screen takes input again; the file is opened anew each time.
    void closingWithoutImport_data()
    {
        columns<int>({ "how" });
        row("Cancel", 0);
        row("Escape", 1);
        row("the window's close", 2);
    }
    void closingWithoutImport()
    {
        QFETCH(int, how);
        child<QComboBox>(m_entry, "cmbCustomer")->setEditText(QStringLiteral("Kept"));
        for (int round = 0; round < 2; ++round) {
            frmImport *import = openImport();
            QVERIFY(import);
            pickMatch(import, QStringLiteral("Smith, John"));
            if (how == 0)
                QTest::mouseClick(child<QPushButton>(import, "btnCancel"), Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(child<QLineEdit>(import, "txtName"), Qt::Key_Escape);
            else
                qobject_cast<QMdiSubWindow *>(import->parentWidget())->close();
            QVERIFY(!importScreen());
            QVERIFY(m_entry->isEnabled());
            QCOMPARE(entryText("cmbCustomer"), QStringLiteral("Kept"));
            QCOMPARE(entryText("txtAddress"), QString());
        }
        QVERIFY(Messages::shown().isEmpty());
    }

    // A file that cannot be used: a clear message, no import screen, and the
    // entry screen usable again. The same failures from the core.
    void unusableFile_data()
    {
        columns<FileCase, QString>({ "file", "says" });
        row("missing", FileCase::Missing, QStringLiteral("nowhere.mdb does not exist"));
        row("not named", FileCase::NoPath, QStringLiteral("config.txt names no customer file"));
        row("not Access", FileCase::NotAccess, QStringLiteral("notes.mdb is not an Access database"));
        row("wrong password", FileCase::WrongPassword, QStringLiteral("the one this program has is wrong"));
        row("no customer table", FileCase::NoTable, QStringLiteral("has no table tblCustomers"));
        row("no phone column", FileCase::NoColumn, QStringLiteral("has no column P1"));
    }
    void unusableFile()
    {
        QFETCH(FileCase, file);
        QFETCH(QString, says);
        const QString name = makeFile(file);
        testdb::context().config.customerDatabasePath = name;
        QVERIFY(!openImport());
        QVERIFY(m_entry->isEnabled());
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.contains(says), qPrintable(Messages::shown().first().text));
        try {
            wip::openCustomerFile(wip::customerFileLocation(testdb::context().config));
            QFAIL("opened");
        } catch (const wip::CustomerFileError &e) {
            QVERIFY(QString::fromStdString(e.what()).contains(says));
        }
        // Put right, the same entry screen imports.
        testdb::context().config.customerDatabasePath = m_file;
        QVERIFY(openImport());
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
