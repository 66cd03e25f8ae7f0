// backends: sqlite
#include "app/Screens.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/JetFile.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "wip/CustomerFile.h"
#include "wip/CustomerFileHeader.h"
#include "wip/ui/frmImport.h"
#include "wip/ui/frmWIPEntry.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <sys/stat.h>

namespace {

const QVariant kNull;

// The other application's list: NULLs, an empty company, a lower-case state,
// a match only in the address, a quote and a wildcard in the names.
const QList<jetfile::Customer> kCustomers {
    { 1, "John", "Smith", kNull, "12 Elm St", "Springfield", "IL", "62701", "555-0101" },
    { 2, "Ann", "Jones", "Blacksmith Co", "4 Oak Ave", "Peoria", "IL", "61602", kNull },
    { 3, "John", "Smith", "Acme", "1 Main St", "Albany", "NY", "12207", "555-0103" },
    { 4, "Tom", "Baker", "", "9 Smithfield Rd", "Buffalo", "ny", "14201", "555-0104" },
    { 5, kNull, "O'Brien", kNull, kNull, kNull, kNull, kNull, kNull },
    { 6, "Card", "Wild", "Star*Co", "7 Pine", "Reno", "NV", "89501", "555-0106" },
    { 7, "amy", "adams", kNull, "3 Birch", "Dover", "DE", "19901", "555-0107" },
};

enum class FileCase { Missing, Fifo, NotAccess, WrongPassword, NoTable, NoColumn, Damaged };

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

    // Makes the file of a case and returns its path (or what went wrong).
    QString makeFile(FileCase c)
    {
        QList<jetfile::Table> tables { jetfile::customerTable(kCustomers) };
        jetfile::Header header { 1, QStringLiteral("KVZ") };
        if (c == FileCase::Missing)
            return path("nowhere.mdb");
        // Opened, it would hold up whoever reads it until a writer comes.
        if (c == FileCase::Fifo)
            return ::mkfifo(QFile::encodeName(path("pipe.mdb")).constData(), 0600) == 0 ? path("pipe.mdb")
                                                                                        : u"no fifo"_qs;
        if (c == FileCase::NotAccess) {
            QFile text(path("notes.mdb"));
            if (text.open(QIODevice::WriteOnly))
                text.write(QByteArray(8192, 'x'));
            return text.fileName();
        }
        if (c == FileCase::WrongPassword)
            header.password = QStringLiteral("Secret");
        if (c == FileCase::NoTable)
            tables.first().name = QStringLiteral("tblPeople");
        if (c == FileCase::NoColumn)
            tables.first().columns.removeLast(); // P1
        if (c == FileCase::Damaged) {
            // Page 1 holds the tables' usage maps, one a row; the second
            // row made to point at the first's bytes, as a damaged file
            // may have it, made libmdb read through a null pointer.
            QByteArray bytes = jetfile::database(tables, header);
            bytes.replace(4096 + 18, 2, bytes.mid(4096 + 16, 2));
            QFile damaged(path("damaged.mdb"));
            if (damaged.open(QIODevice::WriteOnly))
                damaged.write(bytes);
            return damaged.fileName();
        }
        const QString problem = jetfile::writeChecked(path("case.mdb"), tables, header);
        return problem.isEmpty() ? path("case.mdb") : problem;
    }

    template <typename T = QLineEdit> T *child(QWidget *screen, const char *name)
    {
        return findControl<T>(screen, name);
    }
    frmImport *importScreen() const
    {
        return qobject_cast<frmImport *>(m_mdi->findScreen(QStringLiteral("frmImport")));
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
        return child(m_entry, name)->text();
    }

private slots:
    void initTestCase()
    {
        m_file = path("customers.mdb");
        const QString problem
            = jetfile::writeChecked(m_file, { jetfile::customerTable(kCustomers) }, { 1, QStringLiteral("KVZ") });
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void init()
    {
        wip::setCustomerReaderPath(QStringLiteral(JT_CUSTOMER_READER_PATH));
        JT_FRESH_DB_IN(m_db);
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
    }

    // Opening lists everyone, without a company first; the entry screen
    // takes no input meanwhile. A pick shows the details, a search empties
    // them; Import waits for a pick.
    void openingListsEveryone()
    {
        frmImport *import = openImport();
        QVERIFY(import);
        QCOMPARE(import->windowTitle(), QStringLiteral("Ostrevan Import"));
        QVERIFY(!m_entry->isEnabled());
        auto *names = child<QComboBox>(import, "cmbName");
        auto *ids = child<QComboBox>(import, "cmbID");
        QCOMPARE(itemTexts(names),
            (QStringList { "adams, amy", "Baker, Tom", "O'Brien, ", "Smith, John", "Acme - Smith, John",
                "Blacksmith Co - Jones, Ann", "Star*Co - Wild, Card" }));
        QCOMPARE(itemTexts(ids), (QStringList { "7", "4", "5", "1", "3", "2", "6" }));
        QVERIFY(!ids->isVisible());
        QCOMPARE(names->currentIndex(), -1);
        QVERIFY(!child<QPushButton>(import, "btnImport")->isEnabled());

        pickMatch(import, QStringLiteral("Blacksmith Co - Jones, Ann"));
        QCOMPARE(child(import, "txtName")->text(), QStringLiteral("Jones, Ann"));
        QCOMPARE(child(import, "txtCompany")->text(), QStringLiteral("Blacksmith Co"));
        QCOMPARE(child(import, "txtPhone")->text(), QString());
        QCOMPARE(ids->currentText(), QStringLiteral("2"));
        QVERIFY(child<QPushButton>(import, "btnImport")->isEnabled());
        QTest::mouseClick(child<QPushButton>(import, "btnFind"), Qt::LeftButton);
        QCOMPARE(child(import, "txtName")->text(), QString());
        QVERIFY(!child<QPushButton>(import, "btnImport")->isEnabled());
    }

    // In company, last or first name, any case; every character literal.
    void search_data()
    {
        columns<QString, QStringList>({ "text", "matches" });
        const QStringList smi { "Smith, John", "Acme - Smith, John", "Blacksmith Co - Jones, Ann" };
        row("smi, not in an address", QStringLiteral("smi"), smi);
        row("any case", QStringLiteral("SMITH"), smi);
        row("a first name", QStringLiteral("Car"), QStringList { "Star*Co - Wild, Card" });
        row("a quote", QStringLiteral("o'b"), QStringList { "O'Brien, " });
        row("a star", QStringLiteral("*"), QStringList { "Star*Co - Wild, Card" });
        row("a question mark", QStringLiteral("?"), QStringList {});
    }
    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, matches);
        frmImport *import = openImport();
        QVERIFY(import);
        QTest::keyClicks(child(import, "txtSearch"), text);
        QTest::keyClick(child(import, "txtSearch"), Qt::Key_Return);
        QCOMPARE(itemTexts(child<QComboBox>(import, "cmbName")), matches);
        QCOMPARE(child<QComboBox>(import, "cmbID")->count(), matches.size());
    }

    void import_data()
    {
        columns<QString, QString, QString, QString, QString>({ "match", "customer", "state", "phone", "message" });
        row("no company", QStringLiteral("Smith, John"), QStringLiteral("Smith, John"), QStringLiteral("IL"),
            QStringLiteral("555-0101"), QString());
        row("a company", QStringLiteral("Acme - Smith, John"), QStringLiteral("Acme - Smith, John"),
            QStringLiteral("NY"), QStringLiteral("555-0103"), QString());
        // The state keeps what the screen showed; the rest still comes.
        row("lower-case state", QStringLiteral("Baker, Tom"), QStringLiteral("Baker, Tom"), QStringLiteral("CA"),
            QStringLiteral("555-0104"), QStringLiteral("Invalid State: Not a valid state: ny (!)"));
        row("no state", QStringLiteral("O'Brien, "), QStringLiteral("O'Brien, "), QStringLiteral("CA"), QString(),
            QStringLiteral("Invalid State: Not a valid state:  (!)"));
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
        frmImport *import = openImport();
        QVERIFY(import);
        pickMatch(import, match);
        child(import, "txtCity")->setText(QStringLiteral("Corrected"));
        QTest::mouseClick(child<QPushButton>(import, "btnImport"), Qt::LeftButton);

        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        QCOMPARE(entryText("cmbCustomer"), customer);
        QCOMPARE(entryText("txtCity"), QStringLiteral("Corrected"));
        QCOMPARE(entryText("cmbState"), state);
        QCOMPARE(entryText("txtPhone"), phone);
        QVERIFY(m_entry->isEnabled());
        QVERIFY(!importScreen());
        QCOMPARE(testdb::scalar(QStringLiteral("SELECT COUNT(*) FROM WIP")).toInt(), 0);
    }

    // Cancel, Escape or the window's close: nothing changes and the entry
    // screen takes input again, each time the import opens.
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
                QTest::keyClick(child(import, "txtName"), Qt::Key_Escape);
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
    // entry screen usable again, which imports once the path is put right.
    void unusableFile_data()
    {
        columns<FileCase, QString>({ "file", "says" });
        row("missing", FileCase::Missing, QStringLiteral("nowhere.mdb does not exist"));
        row("FIFO", FileCase::Fifo, QStringLiteral("pipe.mdb is not a regular file"));
        row("not Access", FileCase::NotAccess, QStringLiteral("notes.mdb is not an Access database"));
        row("wrong password", FileCase::WrongPassword, QStringLiteral("the one this program has is wrong"));
        row("no customer table", FileCase::NoTable, QStringLiteral("has no table tblCustomers"));
        row("no phone column", FileCase::NoColumn, QStringLiteral("has no column P1"));
        row("damaged", FileCase::Damaged, QStringLiteral("damaged.mdb is damaged"));
    }
    void unusableFile()
    {
        QFETCH(FileCase, file);
        QFETCH(QString, says);
        testdb::context().config.customerDatabasePath = makeFile(file);
        QVERIFY(!openImport());
        QVERIFY(m_entry->isEnabled());
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.contains(says), qPrintable(Messages::shown().first().text));
        testdb::context().config.customerDatabasePath = m_file;
        QVERIFY(openImport());
    }

    // The reader is a program of its own. One that dies before the end of
    // its output, as libmdb may on a damaged file, fails the import with the
    // damaged file's message, never with the rows it got out; one that is
    // not there says so.
    void readerFails_data()
    {
        columns<bool, QString>({ "there", "says" });
        row("dies before the end", true, QStringLiteral("customers.mdb is damaged: the reader stopped on it"));
        row("not there", false, QStringLiteral("customers.mdb cannot be read: no reader process"));
    }
    void readerFails()
    {
        QFETCH(bool, there);
        QFETCH(QString, says);
        QString reader = path("no-reader");
        if (there) {
            // The real reader's output on the customers but its last record
            // (the end), then the signal of a crash.
            QProcess real;
            real.start(QStringLiteral(JT_CUSTOMER_READER_PATH), { m_file });
            QVERIFY(real.waitForFinished());
            QFile output(path("reader.out"));
            QVERIFY(output.open(QIODevice::WriteOnly));
            output.write(real.readAllStandardOutput().chopped(5));
            output.close();
            reader = path("reader.sh");
            QFile script(reader);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\ncat '" + QFile::encodeName(output.fileName()) + "'\nkill -SEGV $$\n");
            script.close();
            QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
        }
        wip::setCustomerReaderPath(reader);
        QVERIFY(!openImport());
        QVERIFY(m_entry->isEnabled());
        QCOMPARE(Messages::shown().size(), 1);
        QVERIFY2(Messages::shown().first().text.contains(says), qPrintable(Messages::shown().first().text));
    }

    // The password in the header: Jet 4 masks it with the creation date.
    void password_data()
    {
        columns<int, QString, double, QString, bool>({ "version", "stored", "created", "given", "opens" });
        row("Jet 4", 1, QStringLiteral("KVZ"), 45292.6875, QStringLiteral("KVZ"), true);
        row("Jet 4, other case", 1, QStringLiteral("KVZ"), 45292.6875, QStringLiteral("kvz"), false);
        row("Jet 4, twenty letters", 1, QStringLiteral("abcdefghijklmnopqrsT"), 36526.25,
            QStringLiteral("abcdefghijklmnopqrsT"), true);
        row("Jet 4, none stored", 1, QString(), 45292.6875, QStringLiteral("any"), true);
        row("Jet 3", 0, QStringLiteral("KVZ"), 35000.5, QStringLiteral("KVZ"), true);
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
        QCOMPARE(header->password, stored);
        QCOMPARE(wip::passwordOpens(*header, given), opens);
    }

    // The path from config.txt's folder; the password from settings.ini.
    void location()
    {
        const ConfigValues config { {}, QStringLiteral("sub/../customers.mdb"), m_dir.path() };
        QCOMPARE(wip::customerFileLocation(config).path, m_file);
        QCOMPARE(wip::customerFileLocation(config).password, QStringLiteral("KVZ"));
        QFile settings(path("settings.ini"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write("[CustomerFile]\nPassword=\"a,b;c\"\n");
        settings.close();
        QCOMPARE(wip::customerFileLocation(config).password, QStringLiteral("a,b;c"));
        QFile::remove(settings.fileName());
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
