// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Clock.h"
#include "base/Colors.h"
#include "base/Formats.h"
#include "board/BoardQuery.h"
#include "data/Database.h"
#include "reports/ReportData.h"
#include "reports/ReportRenderer.h"
#include "reports/Reports.h"
#include "reports/ui/Viewer.h"
#include "reports/ui/modReports.h"
#include "settings/Company.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/Messages.h"
#include "wip/ui/frmWIPEntry.h"

#include <QLabel>
#include <QMdiArea>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

Q_DECLARE_METATYPE(board::Filter)

namespace {

const QDateTime kNow(QDate(2026, 3, 30), QTime(10, 15, 0));

QDateTime day(int daysFromNow)
{
    return QDateTime(kNow.date().addDays(daysFromNow), QTime(0, 0));
}

QString date(int daysFromNow)
{
    return Formats::date(kNow.date().addDays(daysFromNow));
}

qint64 addWip(const QString &customer, data::Fields fields = {})
{
    const data::Fields defaults { { "Customer", customer }, { "JobType", "Water" }, { "Status", "Open" },
        { "StartDate", day(-10) }, { "AmountBilled", 0.0 }, { "InvoiceID", "" }, { "QBID", "" } };
    for (const auto &field : defaults) {
        if (std::none_of(fields.begin(), fields.end(), [&](const auto &f) { return f.first == field.first; }))
            fields << field;
    }
    return testdb::insertRow("WIP", fields);
}

qint64 addPerson(const QString &first, const QString &last)
{
    return testdb::insertRow("Employee", { { "FirstName", first }, { "LastName", last }, { "Inactive", false } });
}

void book(qint64 wip, qint64 employee, int daysFromNow, double hours, const QString &notes = {})
{
    testdb::insertRow("EmployeeTime",
        { { "EmployeeID", employee }, { "WIPID", wip }, { "TranDate", day(daysFromNow) }, { "Hours", hours },
            { "Notes", notes } });
}

QStringList missingFrom(const QString &text, const QStringList &expected)
{
    QStringList missing;
    for (const QString &part : expected) {
        if (!text.contains(part))
            missing << part;
    }
    return missing;
}

#define EXPECT_TEXT(text, ...)                                                                                         \
    do {                                                                                                               \
        const QStringList missing = missingFrom(text, __VA_ARGS__);                                                    \
        QVERIFY2(missing.isEmpty(),                                                                                    \
            qPrintable(QStringLiteral("missing %1 in: %2").arg(missing.join(QStringLiteral(" | ")), text)));           \
    } while (false)

} // namespace

class TestReports : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QTemporaryDir m_out;

    QString out(const QString &name) const { return m_out.filePath(name); }

    reports::RunTexts texts() const
    {
        return reports::runTexts(testdb::context().company(), testdb::context().Username(), Clock::now());
    }

    QString workOrderPdf(qint64 wip, const QString &name = QStringLiteral("wo.pdf"))
    {
        reports::writePdf(reports::workOrder(testdb::connection(), wip, texts(), Clock::today()), out(name));
        return out(name);
    }

    MDI &mainWindow()
    {
        if (!m_mdi) {
            m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
            m_mdi->show();
            m_mdi->unlockAfterLogin(testdb::context().Username());
        }
        return *m_mdi;
    }

    // The open viewers of the main window.
    QList<Viewer *> viewers()
    {
        QList<Viewer *> open;
        for (QMdiSubWindow *sub : mainWindow().area()->subWindowList()) {
            if (auto *viewer = qobject_cast<Viewer *>(sub->widget()))
                open << viewer;
        }
        return open;
    }

private slots:
    void init()
    {
        QVERIFY(m_out.isValid());
        JT_FRESH_DB_IN(m_db);
        Clock::setNow(kNow);
        TestDb::addCompany();
        QVERIFY(testdb::context().LoadCompanySettings());
        testdb::logIn(1, QStringLiteral("kwhitfield"), QStringLiteral("Admin"));
    }

    void cleanup()
    {
        m_mdi.reset();
        for (const char *file : { "WIPDetailReport.ttx", "WIPDetailReport_Time.ttx" })
            reports::setDefinitionStandIn(QString::fromLatin1(file), {});
        m_db.reset();
    }

    // The work order carries the letterhead, the job's facts, ticked and
    // empty milestones, the time lines with their total and the
    // subcontractors, on one page.
    void workOrder()
    {
        const qint64 wip = addWip("Dana O'Neil",
            { { "Address", "14 Elm St" }, { "City", "Brackwell" }, { "State", "OH" }, { "Zip", "44102" },
                { "Phone", "(216) 555-0199" }, { "Status", "Drying" }, { "Rep", "Karen Whitfield" },
                { "CheckDryingDays", true }, { "Insurance", "Westfield" }, { "Adjuster", "Omar Haddad" },
                { "EstimateComplete", true }, { "Photos", true }, { "AmountBilled", 1234.5 }, { "InvoiceID", "10077" },
                { "Notes", "Key under the mat." } });
        const qint64 other = addWip("Someone Else");
        const qint64 tony = addPerson("Tony", "Nguyen");
        const qint64 ann = addPerson("Ann", "Adams");
        book(wip, tony, -3, 1.5, "Set dehumidifiers");
        book(wip, tony, -2, 2);
        book(wip, ann, -2, 0.25, "Moisture readings");
        book(other, tony, -1, 8);
        for (const char *name : { "Zeta Drywall", "Acme Plumbing" })
            testdb::insertRow("WIPContractors", { { "WIPID", wip }, { "Contractor", name } });
        testdb::insertRow("WIPContractors", { { "WIPID", other }, { "Contractor", "Not This One" } });

        const QString text = pdfText(workOrderPdf(wip));
        EXPECT_TEXT(text,
            { "Varnholt of Brackwell", "12 Mill Road", "Brackwell, OH 44101",
                "Printed by kwhitfield - " + Formats::dateTime(kNow), "Work Order", "Dana O'Neil",
                QStringLiteral("Job No. %1").arg(wip), "14 Elm St", "Brackwell, OH 44102", "Karen Whitfield",
                "Drying Days 10", "Westfield", "Omar Haddad", "$1,234.50", "10077", "Key under the mat.",
                "\u2713 Estimate Complete", "\u2713 Photos", "Nguyen, Tony " + date(-3) + " 1.50 Set dehumidifiers",
                "Adams, Ann " + date(-2) + " 0.25", "Nguyen, Tony " + date(-2) + " 2.00", "Total Hours 3.75",
                "Acme Plumbing Zeta Drywall", "Page 1 of 1" });
        QVERIFY(!text.contains("\u2713 COS Sent"));
        QVERIFY(!text.contains("Not This One"));
        QVERIFY(!text.contains("8.00"));
    }

    // A WIP with no time and no subcontractors prints 0 hours and empty
    // subreports; without a start date it has no drying days, and its
    // address no dangling comma.
    void workOrderWithoutTime()
    {
        const qint64 wip = addWip("Pat Lee",
            { { "StartDate", QVariant(QMetaType::fromType<QDateTime>()) }, { "City", "Mentor" },
                { "CheckDryingDays", true } });
        const QString text = pdfText(workOrderPdf(wip));
        EXPECT_TEXT(text,
            { "Pat Lee Job No. 1 Water \u00b7 Open CUSTOMER", "City Mentor Phone", "Start Date Drying Days INSURANCE",
                "Total Hours 0.00", "No time booked.", "No subcontractors." });
    }

    // The city line is the city, a comma and a blank, the state, two blanks
    // and the zip, whatever is empty.
    void cityLine_data()
    {
        columns<QString, QString, QString, QString, QString>({ "city", "state", "zip", "line", "printed" });
        row("all", QString("Brackwell"), QString("OH"), QString("44101"), QString("Brackwell, OH  44101"),
            QString("Brackwell, OH 44101"));
        row("no state", QString("Brackwell"), QString(), QString("44101"), QString("Brackwell,   44101"),
            QString("Brackwell, 44101"));
        row("nothing", QString(), QString(), QString(), QString(",   "), QString(","));
    }
    void cityLine()
    {
        QFETCH(QString, city);
        QFETCH(QString, state);
        QFETCH(QString, zip);
        QFETCH(QString, line);
        QFETCH(QString, printed);
        CompanyRow company = testdb::context().company();
        company.city = city;
        company.state = state;
        company.zip = zip;
        testdb::context().setCompany(company);
        QCOMPARE(texts().cityLine, line);
        // On paper the blanks are space between the words: pdftotext reads
        // them as one.
        const QString text = pdfText(workOrderPdf(addWip("Pat Lee")));
        QVERIFY2(text.contains("12 Mill Road " + printed + " "), qPrintable(text));
    }

    // A definition that does not match its query stops the report with the
    // field's name; the viewer is not opened.
    void mismatchNamesTheField_data()
    {
        columns<QString, QString, QString>({ "file", "definition", "named" });
        const QString time = "LastName\tString\t50\nFirstName\tString\t50\nTranDate\tDateTime\nHours\tNumber\n"
                             "Notes\tMemo\nEnteredBy\tString\t50\nEnteredDate\tDateTime\nEditedBy\tString\t50\n"
                             "EditedDate\tDateTime\n";
        row("field the query lacks", QString("WIPDetailReport_Time.ttx"), time + "Rate\tNumber\n",
            QString("The field \"Rate\" of WIPDetailReport_Time.ttx is not among the columns"));
        row("column not defined", QString("WIPDetailReport_Time.ttx"), QString(time).remove("Notes\tMemo\n"),
            QString("column \"Notes\", which WIPDetailReport_Time.ttx does not define"));
        row("number declared as text", QString("WIPDetailReport_Time.ttx"),
            QString(time).replace("Hours\tNumber", "Hours\tString\t10"),
            QString("reads the field \"Hours\" of WIPDetailReport_Time.ttx as Number, but it is declared String"));
        row("unreadable line", QString("WIPDetailReport.ttx"), QString("ID\tNumber\nCustomer\tText\t250\n"),
            QString("WIPDetailReport.ttx, line 2"));
    }
    void mismatchNamesTheField()
    {
        QFETCH(QString, file);
        QFETCH(QString, definition);
        QFETCH(QString, named);
        const qint64 wip = addWip("Pat Lee");
        book(wip, addPerson("Tony", "Nguyen"), -1, 2);
        reports::setDefinitionStandIn(file, definition);
        QVERIFY(!modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), QString::number(wip)));
        QCOMPARE(Messages::shown().size(), 1);
        QCOMPARE(Messages::shown().first().title, QStringLiteral("Work Order"));
        QVERIFY2(Messages::shown().first().text.contains(named, Qt::CaseInsensitive),
            qPrintable(Messages::shown().first().text));
        QVERIFY(viewers().isEmpty());
    }

    // Print on the entry screen: refused for an unsaved WIP, the stored work
    // order in the viewer for a saved one.
    void printFromEntryScreen()
    {
        const qint64 wip = addWip("Pat Lee");
        auto *entry = qobject_cast<frmWIPEntry *>(mainWindow().showScreen("frmWIPEntry"));
        QVERIFY(entry);
        QTest::mouseClick(entry->findChild<QPushButton *>("btnPrint"), Qt::LeftButton);
        QCOMPARE(shownMessages(), QStringList { "Cannot Print: You must save the WIP before printing. (!)" });
        QVERIFY(viewers().isEmpty());

        Messages::clearShown();
        entry->LoadWIP(QString::number(wip));
        QTest::mouseClick(entry->findChild<QPushButton *>("btnPrint"), Qt::LeftButton);
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(viewers().size(), 1);
        Viewer *viewer = viewers().first();
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Report Viewer"));
        QCOMPARE(viewer->report()->name, QStringLiteral("Work Order %1 - Pat Lee").arg(wip));
        QCOMPARE(viewer->findChild<QPrintPreviewWidget *>("CRViewer")->pageCount(), 1);
        QCOMPARE(mainWindow().area()->activeSubWindow()->widget(), viewer);
    }

    // A second report replaces the first in the same viewer, and Print and
    // Save as PDF put out the report shown.
    void secondReportReplacesFirst()
    {
        const qint64 first = addWip("First Customer");
        const qint64 second = addWip("Second Customer");
        QVERIFY(modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), QString::number(first)));
        QVERIFY(modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), QString::number(second)));
        QCOMPARE(viewers().size(), 1);
        Viewer *viewer = viewers().first();
        QCOMPARE(viewer->report()->name, QStringLiteral("Work Order %1 - Second Customer").arg(second));
        QCOMPARE(viewer->findChild<QLabel *>("lblPage")->text(), QStringLiteral("Page 1 of 1"));

        // Save as PDF: the dialog suggests the report's name; the file gets
        // its extension.
        Messages::setNextFileName(out("saved"));
        QTest::mouseClick(viewer->findChild<QPushButton *>("btnSavePdf"), Qt::LeftButton);
        QCOMPARE(Messages::dialogs().size(), 1);
        QVERIFY2(Messages::dialogs().first().startsWith("Save as PDF: ")
                && Messages::dialogs().first().endsWith(
                    QStringLiteral("/Work Order %1 - Second Customer.pdf").arg(second)),
            qPrintable(Messages::dialogs().first()));
        QString text = pdfText(out("saved.pdf"));
        QVERIFY2(text.contains("Second Customer") && !text.contains("First Customer"), qPrintable(text));

        // Print: the system dialog, then the printer it set up.
        Messages::setNextPrintAnswer([&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(out("printed.pdf"));
            return true;
        });
        QTest::mouseClick(viewer->findChild<QPushButton *>("btnPrint"), Qt::LeftButton);
        QCOMPARE(Messages::dialogs().last(), QStringLiteral("Print: 1"));
        text = pdfText(out("printed.pdf"));
        QVERIFY2(text.contains("Second Customer") && text.contains("Page 1 of 1"), qPrintable(text));

        // Cancelling either dialog writes nothing.
        QFile::remove(out("printed.pdf"));
        QTest::mouseClick(viewer->findChild<QPushButton *>("btnPrint"), Qt::LeftButton);
        QTest::mouseClick(viewer->findChild<QPushButton *>("btnSavePdf"), Qt::LeftButton);
        QCOMPARE(Messages::dialogs().size(), 4);
        QVERIFY(!QFile::exists(out("printed.pdf")));
        QCOMPARE(shownMessages(), QStringList());

        // A name given without its extension is asked about as completed
        // when that file exists: No keeps it, Yes replaces it.
        QFile saved(out("saved.pdf"));
        QVERIFY(saved.open(QIODevice::WriteOnly) && saved.write("kept") == 4);
        saved.close();
        for (const auto answer : { QMessageBox::No, QMessageBox::Yes }) {
            Messages::setNextFileName(out("saved"));
            Messages::setNextAnswer(answer);
            QTest::mouseClick(viewer->findChild<QPushButton *>("btnSavePdf"), Qt::LeftButton);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.read(4), QByteArray(answer == QMessageBox::No ? "kept" : "%PDF"));
            saved.close();
        }
        QCOMPARE(shownMessages().size(), 2);
        QVERIFY2(shownMessages().first().contains("saved.pdf already exists"), qPrintable(shownMessages().first()));
    }

    // A WIP that is gone, or an ID that is no number, is said so; the viewer
    // keeps the report it shows.
    void missingWip()
    {
        const qint64 wip = addWip("Pat Lee");
        QVERIFY(modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), QString::number(wip)));
        QVERIFY(!modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), QString::number(wip + 1)));
        QVERIFY(!modReports::PrintWIPDetailReport(testdb::context(), &mainWindow(), "1 OR 1=1"));
        QCOMPARE(shownMessages(),
            QStringList({ "Work Order: The WIP is not in the database (any more).",
                "Work Order: \"1 OR 1=1\" is not the number of a WIP." }));
        QCOMPARE(viewers().first()->report()->name, QStringLiteral("Work Order %1 - Pat Lee").arg(wip));
    }

    // Many time lines run over pages: the labour table's header comes again
    // on each, the total only at the end, and every page counts the pages.
    void longWorkOrderRepeatsHeader()
    {
        const qint64 wip = addWip("Pat Lee");
        const qint64 tony = addPerson("Tony", "Nguyen");
        for (int i = 0; i < 90; ++i)
            book(wip, tony, -90 + i, 1);
        const QString pdf = workOrderPdf(wip);
        const QString last = pdfText(pdf, 3);
        EXPECT_TEXT(pdfText(pdf, 1), { "Work Order", "LABOR Employee Date Hours Notes", "Page 1 of 3" });
        EXPECT_TEXT(pdfText(pdf, 2), { "Work Order", "LABOR (CONTINUED) Employee Date Hours Notes", "Page 2 of 3" });
        EXPECT_TEXT(last, { "LABOR (CONTINUED) Employee Date Hours Notes", "Total Hours 90.00", "Page 3 of 3" });
        QVERIFY(!pdfText(pdf, 2).contains("Total Hours"));
    }

    // The board report lists what the navigator's query lists for the same
    // filters, in its order, tinted by job type, with the count at the end.
    void boardReport_data()
    {
        columns<board::Filter>({ "filter" });
        row("all, closed ones too", board::Filter {});
        row("active only", board::Filter { {}, {}, {}, false, {}, {}, true });
        row("type and search", board::Filter { "Fire", {}, "o'N", false, {}, {}, false });
        row("dates", board::Filter { {}, {}, {}, true, kNow.date().addDays(-20), kNow.date().addDays(-5), false });
    }
    void boardReport()
    {
        QFETCH(board::Filter, filter);
        addWip("Dana O'Neil",
            { { "JobType", "Fire" }, { "Status", "Drying" }, { "StartDate", day(-12) }, { "CheckDryingDays", true },
                { "AmountBilled", 100.0 } });
        addWip("Ann Closed", { { "Status", "Closed" }, { "StartDate", day(-30) }, { "AmountBilled", 50.25 } });
        addWip("Bo No Status", { { "Status", QVariant(QMetaType::fromType<QString>()) }, { "JobType", "Mold" } });
        addWip("Cy O'Neill", { { "JobType", "Work Order" }, { "StartDate", day(-5) }, { "Photos", true } });
        addWip("Cy O'Neill", { { "JobType", "Fire" }, { "StartDate", day(-1) } });
        book(1, addPerson("Tony", "Nguyen"), -2, 2.5);

        QStringList expected;
        data::Rows navigator = board::selectJobs(testdb::connection(), filter, board::JobColumns::Report);
        while (navigator.next())
            expected << navigator.value(1).toString() + " " + navigator.value(7).toString();
        QVERIFY(!expected.isEmpty());

        const reports::Document report = reports::boardReport(testdb::connection(), filter, texts(), Clock::today());
        const auto &table = std::get<reports::Table>(report.blocks.front());
        QStringList listed;
        for (const reports::Row &row : table.rows) {
            listed << row.cells.at(0) + " " + row.cells.at(1);
            const std::optional<quint32> tint = board::jobTypeColour(row.cells.at(1));
            QCOMPARE(row.tint, tint ? Colors::toQColor(*tint) : QColor());
        }
        QCOMPARE(listed, expected);

        reports::writePdf(report, out("board.pdf"));
        const QString text = pdfText(out("board.pdf"));
        QString previous;
        for (const QString &line : expected) {
            const qsizetype at = text.indexOf(line, previous.isEmpty() ? 0 : text.indexOf(previous));
            QVERIFY2(at >= 0, qPrintable(line + " in " + text));
            previous = line;
        }
        EXPECT_TEXT(text, { "WIPs Board", QStringLiteral("%1 WIPs").arg(expected.size()), "Page 1 of 1" });
        if (expected.contains("Dana O'Neil Fire"))
            EXPECT_TEXT(text, { "Dana O'Neil Fire Drying " + date(-12) + " 12 12 $100.00 2.50" });
    }

    // A long board runs over pages with its header row on each, and the
    // count on the last.
    void boardOverPages()
    {
        for (int i = 0; i < 70; ++i)
            addWip(QStringLiteral("Customer %1").arg(i, 3, 10, QChar(u'0')));
        reports::writePdf(
            reports::boardReport(testdb::connection(), board::Filter {}, texts(), Clock::today()), out("board.pdf"));
        const QString header = "Customer Type Status Rep Start Date";
        EXPECT_TEXT(pdfText(out("board.pdf"), 1), { header, "Customer 000", "Page 1 of 3" });
        EXPECT_TEXT(pdfText(out("board.pdf"), 2), { header, "Page 2 of 3" });
        EXPECT_TEXT(pdfText(out("board.pdf"), 3), { header, "Customer 069", "70 WIPs", "Page 3 of 3" });
    }

    // The admin tool writes the same work order headless.
    void adminWorkOrder()
    {
        const qint64 wip = addWip("Pat Lee");
        const QString pdf = out("admin.pdf");
        QProcess process;
        const QString config = m_db->folder() + "/config.txt";
        process.start(JT_ADMIN_PATH,
            { "--config", config, "report", "work-order", "--wip", QString::number(wip), "--pdf", pdf, "--user",
                "office" });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        EXPECT_TEXT(pdfText(pdf), { "Varnholt of Brackwell", "Printed by office - ", "Pat Lee", "Page 1 of 1" });

        process.start(JT_ADMIN_PATH, { "--config", config, "report", "work-order", "--wip", "x", "--pdf", pdf });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("--wip"));
    }

    // ... and the board, with the navigator's filters.
    void adminBoard()
    {
        addWip("Dana O'Neil", { { "JobType", "Fire" }, { "Status", "Closed" } });
        addWip("Pat Lee", { { "JobType", "Fire" } });
        addWip("Sam Water");
        const QString config = m_db->folder() + "/config.txt";
        const QString pdf = out("admin-board.pdf");
        QProcess process;
        process.start(JT_ADMIN_PATH, { "--config", config, "report", "board", "--type", "Fire", "--pdf", pdf });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QString text = pdfText(pdf);
        EXPECT_TEXT(text, { "Type Fire \u00b7 Active only", "Pat Lee", "1 WIP" });
        QVERIFY(!text.contains("Dana") && !text.contains("Sam Water"));

        process.start(JT_ADMIN_PATH,
            { "--config", config, "report", "board", "--all", "--search", "o'n", "--from", date(-30), "--pdf", pdf });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("--from and --to go together"));

        process.start(JT_ADMIN_PATH,
            { "--config", config, "report", "board", "--all", "--search", "o'n", "--from",
                kNow.date().addDays(-30).toString(Qt::ISODate), "--to", kNow.date().toString(Qt::ISODate), "--pdf",
                pdf });
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        text = pdfText(pdf);
        EXPECT_TEXT(text, { "Dana O'Neil", "Closed jobs included", "1 WIP" });
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
