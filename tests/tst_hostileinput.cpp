// backends: sqlite postgres odbc
// Hostile text typed into every free-text box of the editing screens and into
// the filters: each text is stored and read back exactly, or refused with a
// message before anything is written; no statement breaks, no other row
// changes, and a tab or line break never moves a grid's or a file's cells.
#include "app/Screens.h"
#include "base/Clock.h"
#include "board/BoardQuery.h"
#include "data/Database.h"
#include "drying/ui/frmDryingLog.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "staff/ui/frmEmployeeEntry.h"
#include "staff/ui/frmTimeEntry.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

// The one corpus: tag and text.
const QList<QPair<QString, QString>> &corpus()
{
    return hostileTexts();
}

// A row of the table as text: every column, NULL marked.
QString rowText(const QSqlRecord &record, const QStringList &skip = {})
{
    QStringList cells;
    for (int i = 0; i < record.count(); ++i) {
        if (skip.contains(record.fieldName(i), Qt::CaseInsensitive))
            continue;
        cells << record.fieldName(i).toLower() + u'='
                + (record.isNull(i) ? QStringLiteral("<null>") : record.value(i).toString());
    }
    return cells.join(u'|');
}

// Every row of a table, by ID; the row `except` (when given) without the
// columns a save of it may change.
QStringList dump(const QString &table, qint64 except = -1, const QStringList &mayChange = {})
{
    QStringList rows;
    data::Rows q = testdb::exec(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(table));
    while (q.next()) {
        const bool own = q.record().value(QStringLiteral("ID")).toLongLong() == except;
        rows << rowText(q.record(), own ? mayChange : QStringList {});
    }
    return rows;
}

QByteArray checksum(const QStringList &tables)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &table : tables)
        hash.addData(dump(table).join(u'\n').toUtf8());
    return hash.result().toHex();
}

// A link table's rows without their IDs, which a rewrite renews.
QStringList contents(const QString &table)
{
    QStringList rows;
    data::Rows q = testdb::exec(QStringLiteral("SELECT * FROM %1").arg(table));
    while (q.next())
        rows << rowText(q.record(), { QStringLiteral("ID") });
    rows.sort();
    return rows;
}

// The text a box holds.
QString boxText(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        return line->text();
    if (auto *combo = qobject_cast<QComboBox *>(box))
        return combo->currentText();
    if (auto *plain = qobject_cast<QPlainTextEdit *>(box))
        return plain->toPlainText();
    qFatal("not a text box: %s", qPrintable(box->objectName()));
}

// The box's own limit, 0 for none.
int boxLimit(QWidget *box)
{
    if (auto *combo = qobject_cast<QComboBox *>(box))
        box = combo->lineEdit();
    if (auto *line = qobject_cast<QLineEdit *>(box))
        return line->maxLength();
    return 0;
}

// Types the text as a user would: replaces what the box holds, key by key
// for short printable text, else as a paste (tabs and line breaks cannot be
// typed into a one-line box; a combo's type-ahead would complete keys).
void typeInto(QWidget *box, const QString &text)
{
    bool printable = text.size() <= 80;
    for (const QChar c : text)
        printable = printable && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    box->setFocus(Qt::OtherFocusReason);
    if (auto *combo = qobject_cast<QComboBox *>(box)) {
        combo->lineEdit()->selectAll();
        combo->lineEdit()->insert(text);
        return;
    }
    const auto type = [&](auto *edit, auto paste) {
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else if (printable)
            QTest::keyClicks(edit, text);
        else
            paste(edit);
    };
    if (auto *line = qobject_cast<QLineEdit *>(box))
        type(line, [&](QLineEdit *edit) { edit->insert(text); });
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(box))
        type(plain, [&](QPlainTextEdit *edit) { edit->insertPlainText(text); });
}

// What a save may change in the edited row besides the column typed into.
const QStringList kStamps { "EditedBy", "EditedDate", "RowVersion", "DryingDays" };

// One editing screen: how to open it on the row it edits, and the tables its
// save writes.
struct ScreenDriver
{
    QString screen;
    QString table; // the edited row's table
    QStringList tables; // every table a save may write
    std::function<void(Screen *, qint64)> load;
    const char *saveButton = "btnSave";
    // The save adds a row (the table's next ID) instead of editing the one
    // loaded; the check removes it again.
    bool adds = false;
};

// How a box's text is stored.
enum Flag { None = 0, Required = 1, Trimmed = 2 };

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QMap<QString, qint64> m_ids; // the edited row of each table
    QMap<QString, ScreenDriver> m_drivers;

    Screen *open(const QString &name)
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        QApplication::setActiveWindow(m_mdi.get());
        auto *screen = qobject_cast<Screen *>(m_mdi->showScreen(name));
        if (!screen)
            qFatal("%s did not open", qPrintable(name));
        return screen;
    }

    // Opens the screen on the row `id`, by default the one the driver edits.
    Screen *openOn(const ScreenDriver &driver, qint64 id = 0)
    {
        Screen *screen = open(driver.screen);
        if (driver.load)
            driver.load(screen, id ? id : m_ids.value(driver.table));
        return screen;
    }

    // A job of `type`; a "Water" one has an address and notes to keep.
    qint64 addWip(const QString &customer, const QString &type = "Water", const QVariant &rep = {})
    {
        data::Fields fields { { "Customer", customer }, { "JobType", type }, { "Status", "Open" },
            { "StartDate", QDateTime(kNow.date(), QTime(0, 0)) }, { "AmountBilled", 0.0 }, { "InvoiceID", "" },
            { "QBID", "" } };
        if (type == u"Water")
            fields << data::Fields { { "DryingDays", 0.0 }, { "Address", "1 Main St" }, { "Notes", "keep" } };
        if (rep.isValid())
            fields << data::Fields { { "Rep", rep } };
        return testdb::insertRow("WIP", fields);
    }

    qint64 addBooking(qint64 employee, qint64 wip, const QString &notes)
    {
        return testdb::insertRow("EmployeeTime",
            { { "EmployeeID", employee }, { "WIPID", wip }, { "TranDate", QDateTime(kNow.date(), QTime(8, 0)) },
                { "Hours", 2.5 }, { "Notes", notes } });
    }

private slots:
    void initTestCase()
    {
        Messages::setRecording(true);
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        TestDb::addCompany();
        testdb::logIn(0, "clerk", "Admin");
        // Each edited row has a neighbour that must stay as it is.
        m_ids["WIP"] = addWip("Edited Job");
        addWip("Neighbour Job");
        const qint64 user = testdb::scalar("SELECT ID FROM EmployeeType WHERE Name = ?", { "User" }).toLongLong();
        const auto addEmployee = [user](const char *first, const char *last, const char *username) {
            return testdb::insertRow("Employee",
                { { "FirstName", first }, { "LastName", last }, { "Inactive", false }, { "UserTypeID", user },
                    { "Username", username }, { "Password", "" } });
        };
        m_ids["Employee"] = addEmployee("Ann", "Smith", "asmith");
        const qint64 neighbour = addEmployee("Bob", "Jones", "bjones");
        m_ids["EmployeeTime"] = addBooking(m_ids["Employee"], m_ids["WIP"], "first");
        addBooking(neighbour, m_ids["WIP"], "second");
        m_ids["WIPStatus"] = testdb::insertRow("WIPStatus", { { "Name", "Edited Status" }, { "ColorCode", "255" } });
        m_ids["Company"] = testdb::scalar("SELECT MIN(ID) FROM Company").toLongLong();
        const auto addRoom = [this](const char *name, bool outside = false) {
            return testdb::insertRow("DryingRoom",
                { { "WIPID", m_ids["WIP"] }, { "Name", name }, { "Affected", !outside }, { "Outside", outside } });
        };
        m_ids["DryingRoom"] = addRoom("Edited Room");
        addRoom("Neighbour Room");
        addRoom("Outside", true);
        const auto addPoint = [this](const char *material) {
            return testdb::insertRow("MoisturePoint",
                { { "RoomID", m_ids["DryingRoom"] }, { "Material", material }, { "Location", "North wall" },
                    { "Meter", "Pin" }, { "DryGoal", 12.0 } });
        };
        m_ids["MoisturePoint"] = addPoint("Drywall");
        addPoint("Neighbour");

        m_drivers["frmWIPEntry"] = { "frmWIPEntry", "WIP", { "WIP", "WIPContractors" },
            [](Screen *s, qint64 id) { qobject_cast<frmWIPEntry *>(s)->LoadWIP(QString::number(id)); } };
        m_drivers["frmEmployeeEntry"] = { "frmEmployeeEntry", "Employee", { "Employee", "UserPermission" },
            [](Screen *s, qint64 id) { qobject_cast<frmEmployeeEntry *>(s)->LoadUser(QString::number(id)); } };
        m_drivers["frmTimeEntry"] = { "frmTimeEntry", "EmployeeTime", { "EmployeeTime" },
            [](Screen *s, qint64 id) { qobject_cast<frmTimeEntry *>(s)->LoadTime(QString::number(id)); } };
        m_drivers["frmCompanyInfo"] = { "frmCompanyInfo", "Company", { "Company" }, {} };
        m_drivers["frmWIPStatusEntry"]
            = { "frmWIPStatusEntry", "WIPStatus", { "WIPStatus", "WIP" }, [](Screen *s, qint64 id) {
                   auto *ids = findControl<QComboBox>(s, "cmbStatusID");
                   auto *names = findControl<QComboBox>(s, "cmbStatus");
                   const int index = ids->findText(QString::number(id));
                   names->setCurrentIndex(index);
                   emit names->activated(index);
               } };
        // The drying log: the job, then the room (or the point's room and the
        // point) picked in its lists.
        const auto pickRoom = [this](Screen *s, qint64 id) {
            qobject_cast<frmDryingLog *>(s)->LoadDryingLog(QString::number(m_ids["WIP"]));
            auto *rooms = findControl<QListWidget>(s, "lstRooms");
            for (int row = 0; row < rooms->count(); ++row) {
                if (rooms->item(row)->data(Qt::UserRole).toLongLong() == id)
                    rooms->setCurrentRow(row);
            }
        };
        const QStringList log { "DryingRoom", "DryingAtmosphere", "MoisturePoint", "MoistureReading" };
        m_drivers["frmDryingLog/Add"] = { "frmDryingLog", "DryingRoom", log, pickRoom, "btnAddRoom", true };
        m_drivers["frmDryingLog/Rename"] = { "frmDryingLog", "DryingRoom", log, pickRoom, "btnRenameRoom" };
        m_drivers["frmDryingLog/Point"] = { "frmDryingLog", "MoisturePoint", log.mid(2),
            [this, pickRoom](Screen *s, qint64 id) {
                pickRoom(s, m_ids["DryingRoom"]);
                auto *points = findControl<GridWidget>(s, "vsfgPoints");
                for (int row = points->fixedRows(); row < points->rows(); ++row) {
                    if (points->textMatrix(row, 0).toLongLong() == id)
                        points->setRow(row);
                }
            },
            "btnSavePoint" };
        // A first save stores the NULLs of the rows made above as each
        // screen writes them (empty texts, zeros).
        for (const ScreenDriver &driver : std::as_const(m_drivers)) {
            if (driver.adds)
                continue;
            QTest::mouseClick(findControl<QPushButton>(openOn(driver), driver.saveButton), Qt::LeftButton);
            QVERIFY2(Messages::shown().isEmpty(), qPrintable(driver.screen + shownMessages().join(u'\n')));
        }
        m_mdi.reset();
    }
    void init()
    {
        Messages::setRecording(true);
        Messages::clearShown();
    }
    void cleanup() { m_mdi.reset(); }
    void cleanupTestCase()
    {
        m_mdi.reset();
        m_db.reset();
    }

    // ---- the editing screens: (screen, box, column, width, flags) × corpus

    void editingScreens_data()
    {
        columns<QString, QString, QString, int, int>({ "screen", "box", "column", "width", "flags" });
        const auto add = [](const QString &screen, const QString &box, const QString &column, int width, int flags) {
            QTest::addRow("%s.%s", qPrintable(screen), qPrintable(box)) << screen << box << column << width << flags;
        };
        // Boxes of one width stored as typed: "box=Column", or the box's name
        // without its prefix.
        const auto plain = [&](const QString &screen, int width, const QStringList &boxes) {
            for (const QString &box : boxes)
                add(screen, box.section(u'=', 0, 0), box.contains(u'=') ? box.section(u'=', 1) : box.mid(3), width,
                    None);
        };
        add("frmWIPEntry", "cmbCustomer", "Customer", 250, Required);
        plain("frmWIPEntry", 250,
            { "txtAddress", "txtCity", "txtZip", "txtPhone", "cmbRep", "cmbInsurance", "cmbAgent", "cmbAdjuster",
                "txtPaperwork", "txtInitialScope", "cmbAdjusterUpdated=AdjusterUpdatedBy", "txtTime=TimeOfService" });
        plain("frmWIPEntry", 255, { "txtHowHear", "txtNotes" });
        plain("frmTimeEntry", 255, { "txtNotes" });
        add("frmEmployeeEntry", "txtFirstName", "FirstName", 50, Required);
        add("frmEmployeeEntry", "txtLastName", "LastName", 50, Required);
        add("frmEmployeeEntry", "txtUsername", "Username", 50, Trimmed);
        plain(
            "frmEmployeeEntry", 50, { "txtMiddleName", "txtAddress1", "txtAddress2", "txtCity", "txtZip", "txtEmail" });
        add("frmCompanyInfo", "txtCompany", "Name", 250, Required);
        plain("frmCompanyInfo", 250,
            { "txtAddress1", "txtAddress2", "txtCity", "txtZip", "txtWebsite", "txtEmail", "txtQBItem=QBItemName",
                "txtQBDesc=QBItemDescription" });
        add("frmWIPStatusEntry", "txtName", "Name", 250, Required | Trimmed);
        for (const char *screen : { "frmDryingLog/Add", "frmDryingLog/Rename" })
            add(screen, "txtRoom", "Name", 50, Required | Trimmed);
        add("frmDryingLog/Point", "txtMaterial", "Material", 50, Required | Trimmed);
        add("frmDryingLog/Point", "txtLocation", "Location", 100, Trimmed);
        add("frmDryingLog/Point", "txtMeter", "Meter", 50, Trimmed);
    }
    void editingScreens()
    {
        QFETCH(QString, screen);
        QFETCH(QString, box);
        QFETCH(QString, column);
        QFETCH(int, width);
        QFETCH(int, flags);
        const ScreenDriver &driver = m_drivers[screen];
        const qint64 loaded = m_ids.value(driver.table);
        // The row that must stay as it was but for the column typed into.
        const qint64 edited = driver.adds ? -1 : loaded;
        const QStringList mayChange = QStringList(kStamps) << column;
        for (const auto &[tag, text] : corpus()) {
            const QString where = QStringLiteral("%1 in %2.%3: ").arg(tag, screen, box);
            m_mdi.reset();
            Messages::clearShown();
            const QByteArray before = checksum(driver.tables);
            const QStringList othersBefore = dump(driver.table, edited, mayChange);
            QList<QStringList> linksBefore;
            for (const QString &table : driver.tables.mid(1))
                linksBefore << contents(table);

            Screen *form = openOn(driver);
            QWidget *control = findControl(form, box.toLatin1().constData());
            typeInto(control, text);
            const QString typed = boxText(control);
            // The box holds the text, or as much of it as the box takes, cut
            // between characters.
            // A notes box holds as much as its column.
            const int limit = qobject_cast<QPlainTextEdit *>(control) ? width : boxLimit(control);
            const bool cut = limit > 0 && limit < 32767 && text.size() > limit;
            // A many-line box keeps a line break as one LF.
            const QString lines = qobject_cast<QPlainTextEdit *>(control)
                ? QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                : text;
            if (!cut)
                QVERIFY2(typed == lines, qPrintable(where + QStringLiteral("the box holds '%1'").arg(typed.left(60))));
            else
                QVERIFY2(text.startsWith(typed) && typed.size() >= limit - 1 && !typed.back().isHighSurrogate(),
                    qPrintable(where + QStringLiteral("cut to %1 units").arg(typed.size())));
            QTest::mouseClick(findControl<QPushButton>(form, driver.saveButton), Qt::LeftButton);

            const QList<Messages::Shown> shown = Messages::shown();
            const QString expected = (flags & Trimmed) ? typed.trimmed() : typed;
            const bool mayRefuse = typed.size() > width || ((flags & Required) && expected.trimmed().isEmpty());
            if (!shown.isEmpty()) {
                // Refused: a message of the screen's checks, not a failed
                // statement, and nothing written.
                const Messages::Shown &message = shown.first();
                QVERIFY2(mayRefuse && message.icon != Messages::Icon::Critical,
                    qPrintable(where + QStringLiteral("refused with '%1: %2'").arg(message.title, message.text)));
                if (typed.size() > width)
                    QVERIFY2(message.text.contains(QStringLiteral("longer than %1 characters").arg(width)),
                        qPrintable(where + message.text));
                QVERIFY2(checksum(driver.tables) == before, qPrintable(where + QStringLiteral("written")));
                continue;
            }
            QVERIFY2(typed.size() <= width, qPrintable(where + QStringLiteral("a text longer than its column saved")));
            // Stored exactly, nothing else changed, and shown again as stored.
            const qint64 id = driver.adds
                ? testdb::scalar(QStringLiteral("SELECT MAX(ID) FROM %1").arg(driver.table)).toLongLong()
                : loaded;
            QStringList othersAfter = dump(driver.table, edited, mayChange);
            if (driver.adds) {
                QVERIFY2(othersAfter.size() == othersBefore.size() + 1, qPrintable(where + "no row added"));
                othersAfter.removeLast();
            }
            const QVariant stored
                = testdb::scalar(QStringLiteral("SELECT %1 FROM %2 WHERE ID = ?").arg(column, driver.table), { id });
            QVERIFY2(stored.toString() == expected,
                qPrintable(where + QStringLiteral("stored '%1'").arg(stored.toString().left(60))));
            QVERIFY2(othersAfter == othersBefore, qPrintable(where + "another row changed"));
            for (qsizetype i = 1; i < driver.tables.size(); ++i)
                QVERIFY2(contents(driver.tables[i]) == linksBefore[i - 1], qPrintable(where + driver.tables[i]));
            m_mdi.reset();
            form = openOn(driver, id);
            const QString shownAgain = boxText(findControl(form, box.toLatin1().constData()));
            QVERIFY2(shownAgain == expected,
                qPrintable(where + QStringLiteral("shown again as '%1'").arg(shownAgain.left(60))));
            if (driver.adds)
                testdb::exec(QStringLiteral("DELETE FROM %1 WHERE ID = ?").arg(driver.table), { id });
        }
    }

    // ---- the drying log's number boxes: a text that is no number is
    // refused with a message at its box, and nothing is written

    void dryingNumbers_data()
    {
        columns<QString, QString>({ "box", "button" });
        row("temperature", QStringLiteral("txtTemperature"), QStringLiteral("btnSaveReading"));
        row("humidity", QStringLiteral("txtHumidity"), QStringLiteral("btnSaveReading"));
        row("dry goal", QStringLiteral("txtGoal"), QStringLiteral("btnSavePoint"));
        row("moisture", QStringLiteral("txtMoisture"), QStringLiteral("btnSaveMoisture"));
    }
    void dryingNumbers()
    {
        QFETCH(QString, box);
        QFETCH(QString, button);
        const ScreenDriver &driver = m_drivers["frmDryingLog/Point"];
        Screen *form = openOn(driver);
        // Every other box holds a good number.
        for (const char *other : { "txtTemperature", "txtHumidity", "txtGoal", "txtMoisture" })
            typeInto(findControl(form, other), QStringLiteral("45"));
        const QByteArray before = checksum(m_drivers["frmDryingLog/Rename"].tables);
        auto *control = findControl<QLineEdit>(form, box.toLatin1().constData());
        for (const auto &[tag, text] : corpus()) {
            const QString where = QStringLiteral("%1 in %2: ").arg(tag, box);
            Messages::clearShown();
            typeInto(control, text);
            bool number = false;
            QLocale::c().toDouble(control->text().trimmed(), &number);
            if (number)
                continue;
            QTest::mouseClick(findControl<QPushButton>(form, button.toLatin1().constData()), Qt::LeftButton);
            const QList<Messages::Shown> shown = Messages::shown();
            QVERIFY2(shown.size() == 1 && shown.first().icon != Messages::Icon::Critical,
                qPrintable(where + shownMessages().join(u' ')));
            QVERIFY2(form->focusWidget() == control, qPrintable(where + shown.first().text));
            QVERIFY2(checksum(m_drivers["frmDryingLog/Rename"].tables) == before, qPrintable(where + "written"));
        }
    }

    // ---- the board's search: each text finds exactly the jobs whose
    // customer holds it as it stands (% and _ no wildcards), and neither the
    // grid nor the exported file moves a cell.

    void boardSearch()
    {
        for (const auto &[tag, text] : corpus()) {
            if (!text.isEmpty() && text.size() <= 250)
                addWip(text, "Fire", text);
        }
        QMap<QString, QString> customers; // ID -> customer of every open job
        data::Rows q = testdb::exec("SELECT ID, Customer FROM WIP WHERE Status <> ?", { "Closed" });
        while (q.next())
            customers.insert(q.value(0).toString(), q.value(1).toString());
        const QStringList tables { "WIP", "WIPContractors", "EmployeeTime" };
        const QByteArray before = checksum(tables);

        Screen *board = open("frmWIPNavigator");
        auto *grid = findControl<GridWidget>(board, "vsfgWIP");
        QTemporaryDir dir;
        for (const auto &[tag, text] : corpus()) {
            const QString where = tag + QStringLiteral(": ");
            Messages::clearShown();
            typeInto(findControl(board, "txtSearch"), text);
            QTest::mouseClick(findControl<QPushButton>(board, "btnRefresh"), Qt::LeftButton);
            QVERIFY2(Messages::shown().isEmpty(), qPrintable(where + shownMessages().join(u' ')));
            const QString search = findControl<QLineEdit>(board, "txtSearch")->text();
            QStringList expected;
            for (auto it = customers.begin(); it != customers.end(); ++it) {
                if (search.isEmpty() || it.value().contains(search, Qt::CaseInsensitive))
                    expected << it.key();
            }
            QStringList found;
            for (int row = grid->fixedRows(); row < grid->rows(); ++row) {
                const QString id = grid->textMatrix(row, board::ColId);
                found << id;
                // Every cell where it belongs: a tab in a text is a blank.
                QCOMPARE(grid->textMatrix(row, board::ColCustomer), QString(customers.value(id)).replace(u'\t', u' '));
                QCOMPARE(grid->textMatrix(row, board::ColStatus), QStringLiteral("Open"));
            }
            found.sort();
            expected.sort();
            QVERIFY2(found == expected, qPrintable(where + found.join(u',') + " <> " + expected.join(u',')));

            // The file: one line per grid row, each with every column.
            const QString path = dir.filePath(QStringLiteral("board.csv"));
            QFile::remove(path);
            Messages::setNextFileName(path);
            QTest::mouseClick(findControl<QPushButton>(board, "btnExport"), Qt::LeftButton);
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(where + path));
            const QList<QStringList> rows = parseCsv(QString::fromUtf8(file.readAll()).mid(1));
            QCOMPARE(rows.size(), grid->rows());
            for (const QStringList &row : rows)
                QCOMPARE(row.size(), rows.first().size());
        }
        QCOMPARE(checksum(tables), before);
    }

    // ---- subcontractors: each name added, saved and listed again as typed

    void subcontractors()
    {
        const qint64 wip = m_ids["WIP"];
        const QRegularExpression otherJob(QStringLiteral("wipid=(?!%1\\|)").arg(wip));
        for (const auto &[tag, text] : corpus()) {
            const QString where = tag + QStringLiteral(": ");
            m_mdi.reset();
            Messages::clearShown();
            const QStringList otherJobs = dump("WIPContractors").filter(otherJob);
            auto *entry = qobject_cast<frmWIPEntry *>(open("frmWIPEntry"));
            entry->LoadWIP(QString::number(wip));
            auto *list = findControl<QListWidget>(entry, "lstSubcontractor");
            list->clear();
            auto *name = findControl<QComboBox>(entry, "cmbSubcontractor");
            typeInto(name, text);
            const QString typed = name->currentText();
            QVERIFY2(typed.isEmpty() ? text.isEmpty() : text.startsWith(typed) && !typed.back().isHighSurrogate(),
                qPrintable(where + typed.left(40)));
            QTest::mouseClick(findControl<QPushButton>(entry, "btnAddSubcontractor"), Qt::LeftButton);
            QTest::mouseClick(findControl<QPushButton>(entry, "btnSave"), Qt::LeftButton);
            QVERIFY2(Messages::shown().isEmpty(), qPrintable(where + shownMessages().join(u' ')));
            const QStringList expected = typed.isEmpty() ? QStringList() : QStringList { typed };
            data::Rows q = testdb::exec("SELECT Contractor FROM WIPContractors WHERE WIPID = ?", { wip });
            QStringList stored;
            while (q.next())
                stored << q.value(0).toString();
            QVERIFY2(stored == expected, qPrintable(where + stored.join(u',').left(60)));
            QCOMPARE(dump("WIPContractors").filter(otherJob), otherJobs);
            entry->LoadWIP(QString::number(wip));
            QCOMPARE(itemTexts(list), expected);
        }
    }

    // ---- the customer box's completion: % and _ are letters like any other

    void customerCompletion_data()
    {
        columns<QString, QString>({ "keys", "completed" });
        row("underscore", QStringLiteral("a_"), QStringLiteral("a_b Hostile"));
        row("percent", QStringLiteral("zz%"), QStringLiteral("zz%"));
        row("quote", QStringLiteral("o'n"), QStringLiteral("o'Neil Hostile"));
    }
    void customerCompletion()
    {
        QFETCH(QString, keys);
        QFETCH(QString, completed);
        static bool added = false;
        if (!added) {
            // A wildcard reading of the keys would complete to the first.
            for (const char *customer :
                { "aAb Hostile", "a_b Hostile", "zzA Hostile", "oXNeil Hostile", "o'Neil Hostile" })
                addWip(customer, "Fire");
            added = true;
        }
        auto *entry = open("frmWIPEntry");
        auto *customer = findControl<QComboBox>(entry, "cmbCustomer");
        customer->setFocus(Qt::OtherFocusReason);
        for (const QChar c : keys)
            QTest::sendKeyEvent(
                QTest::Click, customer->lineEdit(), Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
        QCOMPARE(customer->currentText(), completed);
    }

    // ---- the time grids: a note's tab or line break stays in its cell

    void laborTab()
    {
        const qint64 wip = m_ids["WIP"];
        for (const auto &[tag, text] : corpus()) {
            if (text.size() > 255)
                continue;
            testdb::exec("UPDATE EmployeeTime SET Notes = ? WHERE ID = ?", { text, m_ids["EmployeeTime"] });
            auto *entry = qobject_cast<frmWIPEntry *>(open("frmWIPEntry"));
            entry->LoadWIP(QString::number(wip));
            auto *grid = findControl<GridWidget>(entry, "vsfgTime");
            QCOMPARE(grid->rows(), 3); // the header and two bookings
            for (int row = 1; row < grid->rows(); ++row) {
                const bool edited = grid->textMatrix(row, 0) == QString::number(m_ids["EmployeeTime"]);
                QCOMPARE(grid->textMatrix(row, 3), QStringLiteral("2.5"));
                QCOMPARE(grid->textMatrix(row, 4), edited ? QString(text).replace(u'\t', u' ') : "second");
            }
        }
    }

    // ---- the login: a hostile user name or password fails cleanly

    void login()
    {
        const QByteArray before = checksum({ "Employee", "UserPermission" });
        for (const auto &[tag, text] : corpus()) {
            const QString where = tag + QStringLiteral(": ");
            m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
            m_mdi->show();
            m_mdi->lockForLogin();
            m_mdi->openLogin();
            QWidget *form = m_mdi->findScreen(QStringLiteral("frmLogin"));
            QVERIFY(form);
            for (const auto &[user, password] :
                { qMakePair(text, QStringLiteral("x")), qMakePair(QStringLiteral("nobody ") + tag, text) }) {
                Messages::clearShown();
                typeInto(findControl(form, "txtUsername"), user);
                typeInto(findControl(form, "txtPassword"), password);
                QTest::mouseClick(findControl<QPushButton>(form, "btnLogin"), Qt::LeftButton);
                QCOMPARE(Messages::shown().size(), 1);
                QVERIFY2(Messages::shown().first().icon != Messages::Icon::Critical,
                    qPrintable(where + shownMessages().join(u' ')));
                QVERIFY2(m_mdi->findScreen(QStringLiteral("frmLogin")), qPrintable(where + "logged in"));
            }
        }
        QCOMPARE(checksum({ "Employee", "UserPermission" }), before);
    }
};

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
