// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Formats.h"
#include "data/Database.h"
#include "quickbooks/QbSettings.h"
#include "quickbooks/QbSync.h"
#include "quickbooks/QboGateway.h"
#include "quickbooks/ui/frmQBSync.h"
#include "shell/AppContext.h"
#include "shell/ui/MDI.h"
#include "support/QbSim.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <memory>
#include <unistd.h>

namespace {

const QDate kStart(2026, 3, 30);

qint64 addWip(const QString &customer, data::Fields fields = {})
{
    const data::Fields defaults { { "Customer", customer }, { "Address", "12 Elm St" }, { "City", "Brackwell" },
        { "State", "OH" }, { "Zip", "44101" }, { "Phone", "(216) 555-0199" }, { "JobType", "Water" },
        { "Status", "Open" }, { "StartDate", QDateTime(kStart, QTime(0, 0)) }, { "AmountBilled", 0.0 },
        { "InvoiceID", "" }, { "QBID", "" } };
    for (const auto &field : defaults)
        if (std::none_of(fields.begin(), fields.end(), [&](const auto &f) { return f.first == field.first; }))
            fields << field;
    return testdb::insertRow("WIP", fields);
}

// InvoiceID, AmountBilled and QBID of a WIP.
QVariantList billing(qint64 id)
{
    data::Rows q = testdb::exec("SELECT InvoiceID, AmountBilled, QBID FROM WIP WHERE ID=?", { id });
    q.next();
    return { q.value(0).toString(), q.value(1).toDouble(), q.value(2).toString() };
}

QJsonObject body(const QJsonValue &entry)
{
    return QJsonDocument::fromJson(entry.toObject().value("body").toString().toUtf8()).object();
}

const QFileDevice::Permissions kNotOwner = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
    | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

QJsonArray invoicesFor(QbSim &sim, qint64 wipId)
{
    QJsonArray out;
    for (const QJsonValue &v : sim.rows("invoices"))
        if (v.toObject().value("PrivateNote").toString() == qb::wipMarker(wipId))
            out.append(v);
    return out;
}

} // namespace

class TestQbSync : public QObject
{
    Q_OBJECT

    QbSim m_sim;
    std::unique_ptr<TestDb> m_db;
    std::unique_ptr<MDI> m_mdi;
    QPointer<frmQBSync> m_screen;

    GridWidget *grid() const { return m_screen->findChild<GridWidget *>("vsfgNew"); }
    QPushButton *button(const char *name) const { return m_screen->findChild<QPushButton *>(name); }
    void press(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    QString cell(int row, int col) const { return grid()->textMatrix(row, col); }
    // The list row of a WIP.
    int rowOf(qint64 id) const
    {
        for (int r = 1; r < grid()->rows(); ++r)
            if (cell(r, qb::ColID) == QString::number(id))
                return r;
        return -1;
    }
    void tick(qint64 id) { grid()->setTextMatrix(rowOf(id), qb::ColUpdate, "True"); }
    QString resultOf(qint64 id) const { return cell(rowOf(id), qb::ColResult); }

    void openScreen()
    {
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        m_screen = qobject_cast<frmQBSync *>(m_mdi->openScreen("frmQBSync"));
        QVERIFY(m_screen);
        // Back-off short enough for a test; the bounds are what count.
        m_screen->setRetryPolicy({ 3000, 3, 20, 2000 });
    }

private slots:
    void initTestCase()
    {
        // The secrets go to the owner-only file, never to a keyring of the
        // machine running the tests.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        QString error;
        QVERIFY2(m_sim.start(&error), qPrintable(error));
    }

    void init()
    {
        JT_FRESH_DB_IN(m_db);
        resetTestState();
        testdb::logIn(1, "admin", "Admin");
        testdb::context().config.folder = m_db->folder();
        CompanyRow company;
        company.qbItemName = "Restoration";
        company.qbItemDescription = "Water damage restoration";
        company.qbItemAmount = 150.5;
        testdb::context().setCompany(company);
        m_sim.reset();
        m_sim.writeSettings(m_db->folder());
    }

    void cleanup()
    {
        if (m_screen)
            m_screen->close();
        m_mdi.reset();
        m_db.reset();
        QLocale::setDefault(QLocale::c());
    }

    // Only WIPs that are not closed are listed (a NULL status is not "not
    // closed" either), unticked; with nothing ticked nothing is sent.
    void listsOpenWipsAndSendsOnlyTicked()
    {
        const qint64 open = addWip("Open Job");
        addWip("Closed Job", { { "Status", "Closed" } });
        addWip("No Status", { { "Status", QVariant() } });
        const qint64 billed
            = addWip("Billed Job", { { "InvoiceID", "1007" }, { "AmountBilled", 99.5 }, { "QBID", "42" } });
        openScreen();

        QCOMPARE(grid()->rows(), 3);
        QCOMPARE(grid()->textMatrix(0, qb::ColQBID), QString("QBID"));
        const QStringList expected { "False", QString::number(billed), "Billed Job", "12 Elm St", "Brackwell", "OH",
            "44101", "(216) 555-0199", "Water", "Open", Formats::date(kStart), "1007", "99.5", "", "42" };
        QStringList shown;
        for (int c = 0; c < qb::ColumnCount; ++c)
            shown << cell(rowOf(billed), c);
        QCOMPARE(shown, expected);
        QCOMPARE(cell(rowOf(open), qb::ColUpdate), QString("False"));

        press("btnNewSelectAll");
        QCOMPARE(cell(1, 0) + cell(2, 0), QString("TrueTrue"));
        press("btnNewSelectNone");
        QCOMPARE(cell(1, 0) + cell(2, 0), QString("FalseFalse"));
        press("btnSendNewInvoices");
        QCOMPARE(m_sim.log().size(), 0);
        QCOMPARE(billing(open), (QVariantList { "", 0.0, "" }));
        QCOMPARE(resultOf(open), QString());
    }

    // A new customer carries the WIP's address field for field; a customer
    // that exists is used as it is; quotes in names survive the query
    // language; an inactive namesake is reported on the row.
    void sendsCustomerAndInvoice_data()
    {
        columns<QString, QString, QString, QString>({ "name", "seeded", "storedName", "result" });
        row("new customer", QString("Ann Varga"), QString(), QString("Ann Varga"), QString("Successful"));
        row("existing customer", QString("Ann Varga"), QString("Ann Varga"), QString("Ann Varga"),
            QString("Successful"));
        row("quote in the name", QString("Pat O'Neil"), QString(), QString("Pat O'Neil"), QString("Successful"));
        row("quote, existing", QString("Pat O'Neil"), QString("Pat O'Neil"), QString("Pat O'Neil"),
            QString("Successful"));
        row("curly quote", QString::fromUtf8("Pat O\u2019Neil"), QString("Pat O'Neil"), QString("Pat O'Neil"),
            QString("Successful"));
        row("inactive namesake", QString("Ann Varga"), QString("inactive"), QString("Ann Varga"),
            QString("Error 6240: Duplicate Name Exists Error: The name supplied already exists. : Another customer, "
                    "vendor or employee is already using this name. Please use a different name."));
    }
    void sendsCustomerAndInvoice()
    {
        QFETCH(QString, name);
        QFETCH(QString, seeded);
        QFETCH(QString, storedName);
        QFETCH(QString, result);
        if (seeded == "inactive")
            m_sim.seed(
                { { "customers", QJsonArray { QJsonObject { { "DisplayName", name }, { "Active", false } } } } });
        else if (!seeded.isEmpty())
            m_sim.seed({ { "customers", QJsonArray { QJsonObject { { "DisplayName", seeded } } } } });
        const qint64 id = addWip(name, { { "Address", "" } });
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id), result);

        QJsonArray named;
        for (const QJsonValue &c : m_sim.rows("customers"))
            if (c.toObject().value("DisplayName").toString() == storedName)
                named.append(c);
        QCOMPARE(named.size(), 1);
        for (const QJsonValue &entry : m_sim.log())
            QCOMPARE(entry.toObject().value("minorversion").toString(), QString("75"));
        if (result != "Successful") {
            QCOMPARE(billing(id), (QVariantList { "", 0.0, "" }));
            return;
        }
        if (seeded.isEmpty()) {
            const QJsonObject customer = body(m_sim.log("customer").first());
            QCOMPARE(customer.value("BillAddr").toObject(),
                (QJsonObject { { "Line1", storedName }, { "Line2", "" }, { "Line3", "" }, { "City", "Brackwell" },
                    { "CountrySubDivisionCode", "OH" }, { "PostalCode", "44101" } }));
            QCOMPARE(customer.value("PrimaryPhone").toObject().value("FreeFormNumber").toString(),
                QString("(216) 555-0199"));
        } else {
            QCOMPARE(m_sim.log("customer").size(), 0);
        }

        // 150.5 goes as 15050 cents: one line of 150.5, quantity 1.
        const QJsonArray invoices = m_sim.rows("invoices");
        QCOMPARE(invoices.size(), 1);
        const QJsonObject invoice = invoices.first().toObject();
        const QJsonObject line = invoice.value("Line").toArray().first().toObject();
        QCOMPARE(line.value("Amount").toDouble(), 150.5);
        QCOMPARE(line.value("Description").toString(), QString("Water damage restoration"));
        QCOMPARE(line.value("SalesItemLineDetail").toObject().value("Qty").toDouble(), 1.0);
        QCOMPARE(line.value("SalesItemLineDetail").toObject().value("UnitPrice").toDouble(), 150.5);
        QCOMPARE(invoice.value("TxnDate").toString(), QString("2026-03-30"));
        QCOMPARE(invoice.value("PrivateNote").toString(), qb::wipMarker(id));
        QVERIFY(!m_sim.log("invoice").first().toObject().value("requestid").toString().isEmpty());

        const QString docNumber = invoice.value("DocNumber").toString();
        const QString qbId = invoice.value("Id").toString();
        QCOMPARE(billing(id), (QVariantList { docNumber, 150.5, qbId }));
        QCOMPARE(cell(rowOf(id), qb::ColInvoice), docNumber);
        QCOMPARE(cell(rowOf(id), qb::ColAmount), QString("150.5"));
        QCOMPARE(cell(rowOf(id), qb::ColQBID), qbId);
    }

    // A WIP invoiced before gets its invoice's amount, written with a point
    // whatever the user's locale; an invoice that is gone is reported.
    void readsInvoiceAmountBack_data()
    {
        columns<QString, bool, QString, QString, double>({ "locale", "exists", "amount", "result", "stored" });
        row("C locale", QString("C"), true, QString("1,234.56"), QString("Successful"), 1234.56);
        row("decimal comma", QString("de_DE"), true, QString("1,234.56"), QString("Successful"), 1234.56);
        row("invoice gone", QString("C"), false, QString("7"),
            QString(
                "Error 610: Object Not Found : Something you're "
                "trying to use has been made inactive. Check the fields with accounts, customers, items, vendors or "
                "employees."),
            7.0);
    }
    void readsInvoiceAmountBack()
    {
        QFETCH(QString, locale);
        QFETCH(bool, exists);
        QFETCH(QString, amount);
        QFETCH(QString, result);
        QFETCH(double, stored);
        QLocale::setDefault(QLocale(locale));
        const QString qbId = exists
            ? m_sim.seed({ { "invoices", QJsonArray { QJsonObject { { "TotalAmt", 1234.56 } } } } })
                  .value("invoices")
                  .toArray()
                  .first()
                  .toString()
            : QString("999");
        const qint64 id = addWip("Billed", { { "InvoiceID", "1001" }, { "AmountBilled", 7.0 }, { "QBID", qbId } });
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id), result);
        QCOMPARE(cell(rowOf(id), qb::ColAmount), amount);
        QCOMPARE(billing(id), (QVariantList { "1001", stored, qbId }));
        QCOMPARE(m_sim.log("invoice").size(), 1); // read, nothing added
    }

    // A failure ends the run at its row; a later press sends that row and
    // the ones after it, never the successful ones again.
    void failureStopsTheRunAndIsRetriedAlone()
    {
        QList<qint64> ids;
        for (const char *name : { "First", "Second", "Third", "Fourth" })
            ids << addWip(name);
        m_sim.fault({ { "method", "POST" }, { "resource", "invoice" }, { "kind", "status" }, { "status", 400 },
            { "skip", 2 } });
        openScreen();
        press("btnNewSelectAll");
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(ids[0]), QString("Successful"));
        QCOMPARE(resultOf(ids[1]), QString("Successful"));
        QCOMPARE(resultOf(ids[2]), QString("Error 10000: An application error has occurred: Injected server error"));
        QCOMPARE(resultOf(ids[3]), QString());
        QCOMPARE(m_sim.rows("invoices").size(), 2);
        QCOMPARE(billing(ids[2]), (QVariantList { "", 0.0, "" }));
        QCOMPARE(billing(ids[3]), (QVariantList { "", 0.0, "" }));

        const qsizetype before = m_sim.log().size();
        press("btnSendNewInvoices");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(resultOf(ids[i]), QString("Successful"));
        QCOMPARE(m_sim.rows("invoices").size(), 4);
        for (qint64 id : ids)
            QCOMPARE(invoicesFor(m_sim, id).size(), 1);
        // Two rows' worth of requests: customer, item and invoice for each.
        const QJsonArray again = m_sim.log();
        for (qsizetype i = before; i < again.size(); ++i) {
            const QString sent
                = again.at(i).toObject().value("body").toString() + again.at(i).toObject().value("query").toString();
            QVERIFY2(!sent.contains("First") && !sent.contains("Second"), qPrintable(sent));
        }
    }

    // However an attempt ends without its answer (the connection dropped
    // after the invoice was added, no answer in time, the write-back failed),
    // a Refresh and a new send leave one invoice for the WIP.
    void resendAfterLostAnswerAddsNoSecondInvoice_data()
    {
        columns<QString, QString>({ "failure", "result" });
        row("connection dropped", QString("drop"), QString("Error 2: "));
        row("no answer in time", QString("delay"), QString("Error 4: No answer from QuickBooks within 0.5 seconds"));
        row("write-back failed", QString("database"), QString("Error 50000: Injected failure"));
    }
    void resendAfterLostAnswerAddsNoSecondInvoice()
    {
        QFETCH(QString, failure);
        QFETCH(QString, result);
        const qint64 id = addWip("Lost Answer");
        if (failure == "drop")
            m_sim.fault({ { "method", "POST" }, { "resource", "invoice" }, { "kind", "drop" }, { "count", -1 } });
        if (failure == "delay")
            m_sim.fault({ { "method", "POST" }, { "resource", "invoice" }, { "kind", "delay" }, { "delayMs", 1500 } });
        if (failure == "database")
            data::failNextStatementContaining("UPDATE WIP");
        openScreen();
        if (failure == "delay")
            m_screen->setRetryPolicy({ 500, 3, 20, 2000 });
        tick(id);
        press("btnSendNewInvoices");
        QVERIFY2(resultOf(id).startsWith(result), qPrintable(resultOf(id)));
        QCOMPARE(billing(id), (QVariantList { "", 0.0, "" }));
        QTRY_COMPARE_WITH_TIMEOUT(invoicesFor(m_sim, id).size(), 1, 5000); // added all the same

        m_sim.clearFaults();
        m_screen->setRetryPolicy({ 3000, 3, 20, 2000 });
        press("btnRefreshNew");
        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id), QString("Successful"));
        const QJsonArray invoices = invoicesFor(m_sim, id);
        QCOMPARE(invoices.size(), 1);
        const QJsonObject invoice = invoices.first().toObject();
        QCOMPARE(billing(id),
            (QVariantList { invoice.value("DocNumber").toString(), 150.5, invoice.value("Id").toString() }));
    }

    // "Bill equipment days" adds a line per type after the mitigation line:
    // quantity its equipment-days (a unit moved between rooms counted once:
    // 47 hours are 2 days, not 2 + 1), unit price its daily rate. Off, the
    // invoice is the mitigation line alone. A resend after an invoice whose
    // answer was lost finds it by its marker: one invoice, lines and all.
    void billsEquipmentDays_data()
    {
        columns<bool, bool, QStringList, double>({ "bill", "resend", "lines", "total" });
        const QStringList mitigation { "Restoration 1 x 150.5" };
        const QStringList equipment = mitigation + QStringList { "Air Mover Day 3 x 25", "Dehu Day 3 x 70.5" };
        row("setting off", false, false, mitigation, 150.5);
        row("setting on", true, false, equipment, 437.0);
        row("on, resent after a lost answer", true, true, equipment, 437.0);
    }
    void billsEquipmentDays()
    {
        QFETCH(bool, bill);
        QFETCH(bool, resend);
        QFETCH(QStringList, lines);
        QFETCH(double, total);
        CompanyRow company = testdb::context().company();
        company.billEquipmentDays = bill;
        testdb::context().setCompany(company);
        m_sim.seed({ { "items",
            QJsonArray { QJsonObject { { "Name", "Air Mover Day" } }, QJsonObject { { "Name", "Dehu Day" } } } } });
        testdb::insertRow("EquipmentRate",
            { { "EquipType", "Air Mover" }, { "QBItemName", "Air Mover Day" }, { "DailyRate", 25.0 } });
        testdb::insertRow(
            "EquipmentRate", { { "EquipType", "Dehumidifier" }, { "QBItemName", "Dehu Day" }, { "DailyRate", 70.5 } });
        testdb::insertRow("EquipmentRate", { { "EquipType", "Heater" }, { "QBItemName", "" }, { "DailyRate", 40.0 } });
        const qint64 id = addWip("Equipment Days");
        const qint64 kitchen = testdb::insertRow("DryingRoom", { { "WIPID", id }, { "Name", "Kitchen" } });
        const qint64 hall = testdb::insertRow("DryingRoom", { { "WIPID", id }, { "Name", "Hall" } });
        const auto at = [](int day, int hour) { return QDateTime(kStart.addDays(day), QTime(hour, 0)); };
        const auto place = [&](const char *asset, const char *type, qint64 room, QDateTime from, QDateTime to) {
            const qint64 unit = testdb::insertRow("Equipment", { { "AssetNo", asset }, { "EquipType", type } });
            testdb::insertRow(
                "EquipmentPlacement", { { "EquipmentID", unit }, { "RoomID", room }, { "PlacedAt", from } });
            testdb::exec("UPDATE EquipmentPlacement SET RemovedAt=? WHERE EquipmentID=?", { to, unit });
            return unit;
        };
        const qint64 moved = place("AM-1", "Air Mover", kitchen, at(0, 9), at(1, 10));
        testdb::insertRow("EquipmentPlacement",
            { { "EquipmentID", moved }, { "RoomID", hall }, { "PlacedAt", at(1, 10) }, { "RemovedAt", at(2, 8) } });
        place("AM-2", "Air Mover", hall, at(0, 9), at(1, 9));
        place("DH-1", "Dehumidifier", kitchen, at(0, 9), at(3, 8));

        if (resend)
            m_sim.fault({ { "method", "POST" }, { "resource", "invoice" }, { "kind", "drop" }, { "count", -1 } });
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        if (resend) {
            QVERIFY2(resultOf(id).startsWith("Error 2: "), qPrintable(resultOf(id)));
            QTRY_COMPARE_WITH_TIMEOUT(invoicesFor(m_sim, id).size(), 1, 5000);
            m_sim.clearFaults();
            press("btnRefreshNew");
            tick(id);
            press("btnSendNewInvoices");
        }
        QCOMPARE(resultOf(id), QString("Successful"));
        const QJsonArray invoices = invoicesFor(m_sim, id);
        QCOMPARE(invoices.size(), 1);
        const QJsonObject invoice = invoices.first().toObject();
        QStringList sent;
        for (const QJsonValue &v : invoice.value("Line").toArray()) {
            const QJsonObject detail = v.toObject().value("SalesItemLineDetail").toObject();
            sent << QString("%1 %2 x %3")
                        .arg(detail.value("ItemRef").toObject().value("name").toString())
                        .arg(detail.value("Qty").toDouble())
                        .arg(detail.value("UnitPrice").toDouble());
        }
        QCOMPARE(sent, lines);
        QCOMPARE(invoice.value("TotalAmt").toDouble(), total);
        QCOMPARE(billing(id),
            (QVariantList { invoice.value("DocNumber").toString(), total, invoice.value("Id").toString() }));
    }

    // An answer cut off half-way (the connection closing before the length
    // it announced, or without a length and only the JSON showing it) or a
    // create answered without an Id is never a success: a read is tried
    // again at once, a create is reported as of unknown outcome and the next
    // press finds what it made. `earlier`: what QuickBooks holds beforehand
    // (the customer; an invoice an earlier attempt made for the WIP; that
    // invoice linked to the WIP).
    void cutOffAnswerLeavesOneInvoice_data()
    {
        columns<QJsonObject, QString, QString>({ "fault", "earlier", "firstResult" });
        const auto cut = [](const char *method, const char *resource, int skip, bool declared = true) {
            return QJsonObject { { "method", method }, { "resource", resource }, { "kind", "cut" }, { "skip", skip },
                { "declared", declared } };
        };
        const QString cutOff("Error 2: The answer from QuickBooks was cut off");
        const QString incomplete("Error 399: The answer from QuickBooks was incomplete (HTTP 200); it may have been "
                                 "saved in QuickBooks");
        // With the customer known, the look-ups go customer, invoice by marker, item.
        row("customer look-up", cut("GET", "query", 0), QString("customer"), QString("Successful"));
        row("customer create", cut("POST", "customer", 0), QString(), cutOff);
        row("invoice look-up by marker", cut("GET", "query", 1), QString("invoice"), QString("Successful"));
        row("item look-up", cut("GET", "query", 2), QString("customer"), QString("Successful"));
        row("invoice create", cut("POST", "invoice", 0), QString("customer"), cutOff);
        row("invoice get", cut("GET", "invoice", 0), QString("linked"), QString("Successful"));
        row("create, no length", cut("POST", "invoice", 0, false), QString("customer"), incomplete);
        row("create answered without Id",
            (QJsonObject { { "method", "POST" }, { "resource", "invoice" }, { "kind", "answer" },
                { "body", R"({"Invoice":{"DocNumber":"1001","TotalAmt":150.5}})" } }),
            QString("customer"), incomplete);
    }
    void cutOffAnswerLeavesOneInvoice()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(QString, earlier);
        QFETCH(QString, firstResult);
        const qint64 id = addWip("Cut Short");
        if (!earlier.isEmpty()) {
            const QJsonValue customer
                = m_sim.seed({ { "customers", QJsonArray { QJsonObject { { "DisplayName", "Cut Short" } } } } })
                      .value("customers")[0];
            if (earlier != "customer") {
                const QJsonObject made { { "CustomerRef", QJsonObject { { "value", customer } } },
                    { "PrivateNote", qb::wipMarker(id) }, { "TotalAmt", 1234.56 } };
                m_sim.seed({ { "invoices", QJsonArray { made } } });
            }
            if (earlier == "linked") {
                const QJsonObject made = invoicesFor(m_sim, id).first().toObject();
                testdb::exec("UPDATE WIP SET InvoiceID=?, QBID=? WHERE ID=?",
                    { made.value("DocNumber").toString(), made.value("Id").toString(), id });
            }
        }
        const QVariantList before = billing(id);
        m_sim.fault(fault);
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        QVERIFY2(resultOf(id).startsWith(firstResult), qPrintable(resultOf(id)));
        if (firstResult != "Successful") {
            QCOMPARE(billing(id), before);
            press("btnSendNewInvoices");
            QCOMPARE(resultOf(id), QString("Successful"));
        }

        int hits = 0;
        for (const QJsonValue &entry : m_sim.log())
            hits += entry.toObject().value("fault").toString() == fault.value("kind").toString();
        QCOMPARE(hits, 1);
        const auto named = [](const QJsonValue &c) { return c.toObject().value("DisplayName") == "Cut Short"; };
        const QJsonArray customers = m_sim.rows("customers");
        QCOMPARE(int(std::count_if(customers.begin(), customers.end(), named)), 1);
        const QJsonArray invoices = invoicesFor(m_sim, id);
        QCOMPARE(invoices.size(), 1);
        const QJsonObject invoice = invoices.first().toObject();
        QCOMPARE(billing(id),
            (QVariantList { invoice.value("DocNumber").toString(), invoice.value("TotalAmt").toDouble(),
                invoice.value("Id").toString() }));
    }

    // Connect: the consent page approves, the redirect reaches the loopback
    // handler, the code becomes tokens, which land in the owner-only file.
    void connectStoresTokens()
    {
        m_sim.writeSettings(m_db->folder(), false);
        const qint64 id = addWip("After Connect");
        openScreen();
        auto *label = m_screen->findChild<QLabel *>("lblQBConnection");
        QCOMPARE(
            label->text(), QString("Not connected to QuickBooks. Secrets are kept in the settings file (owner-only)."));

        // The "browser" follows the consent page's redirect.
        QNetworkAccessManager browser;
        m_screen->setBrowser([&browser](const QUrl &url) { browser.get(QNetworkRequest(url)); });
        press("btnConnectQB");
        QCOMPARE(shownMessages(), QStringList { "Quickbooks Sync: Connected to QuickBooks." });

        const auto secrets = qb::fileSecretStore(qb::settingsPath(m_db->folder()));
        const QJsonObject state = m_sim.state();
        QVERIFY(state.value("refreshTokens").toArray().contains(secrets->read(qb::kRefreshToken)));
        QVERIFY(state.value("accessTokens").toObject().contains(secrets->read(qb::kAccessToken)));
        QCOMPARE(QFile(qb::settingsPath(m_db->folder())).permissions() & kNotOwner, QFileDevice::Permissions());
        QVERIFY(label->text().startsWith("Connected to QuickBooks company 9130350000000001."));

        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id), QString("Successful"));
    }

    // A settings file with secrets that others may read is made owner-only
    // as soon as it is read, not at the next token write; one that cannot
    // be made so (another user's) has its secrets refused, and nothing is
    // sent with them.
    void settingsWithSecretsAreKeptOwnerOnly_data()
    {
        columns<bool>({ "othersFile" });
        row("readable by group and others", false);
        row("another user's file", true);
    }
    void settingsWithSecretsAreKeptOwnerOnly()
    {
        QFETCH(bool, othersFile);
        const QString path = qb::settingsPath(m_db->folder());
        QVERIFY(
            QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        if (othersFile && ::chown(QFile::encodeName(path).constData(), 65534, 65534) != 0)
            QSKIP("handing the file to another user needs root");
        const qint64 id = addWip("Private");
        openScreen();
        const QFileDevice::Permissions looseOnOpening = QFile::permissions(path) & kNotOwner;
        const QString label = m_screen->findChild<QLabel *>("lblQBConnection")->text();
        tick(id);
        press("btnSendNewInvoices");
        if (!othersFile) {
            QCOMPARE(looseOnOpening, QFileDevice::Permissions());
            QCOMPARE(label,
                QString("Connected to QuickBooks company 9130350000000001. Secrets are kept in the settings file "
                        "(owner-only)."));
            QCOMPARE(resultOf(id), QString("Successful"));
            return;
        }
        const QString refused = "The QuickBooks secrets in " + path
            + " are not used: the file belongs to another user. Make it yours and readable by you only (chmod 600).";
        QCOMPARE(label, refused);
        QCOMPARE(resultOf(id), "Error 0: " + refused);
        QCOMPARE(m_sim.log().size(), 0);
    }

    // Tokens and the client secret go over https, or plain http only to
    // this computer; any other address is refused by name before a call.
    void refusesPlainHttpElsewhere_data()
    {
        columns<QString, QString>({ "key", "value" });
        row("API", QString("BaseUrl"), QString("http://quickbooks.example.com"));
        row("token service", QString("TokenUrl"), QString("http://oauth.example.com/oauth2/v1/tokens/bearer"));
        row("consent page", QString("AuthorizeUrl"), QString("http://appcenter.example.com/connect/oauth2"));
        row("loopback look-alike", QString("BaseUrl"), QString("http://127.0.0.1.example.com"));
        row("no scheme", QString("BaseUrl"), QString("quickbooks.example.com"));
    }
    void refusesPlainHttpElsewhere()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QSettings(qb::settingsPath(m_db->folder()), QSettings::IniFormat).setValue("Connection/" + key, value);
        m_sim.control("expire-tokens");
        const qint64 id = addWip("Plain");
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id),
            QString("Error 0: The QuickBooks setting %1 (%2) must be an https address; plain http is used only to "
                    "this computer (localhost)")
                .arg(key, value));
        QCOMPARE(m_sim.log().size(), 0);
    }

    // --write-settings rewrites a file only when it is new, empty or already
    // points at this computer; one set up for the real service is left
    // byte for byte, with the reason on stderr and exit code 2.
    void simulatorLeavesRealSettingsAlone_data()
    {
        columns<QByteArray, bool>({ "contents", "written" });
        const QByteArray secret("[Secrets]\nClientSecret=real-secret\nRefreshToken=rt-real\n");
        row("no file", QByteArray(), true);
        row("empty file", QByteArray(""), true);
        row("an earlier run's",
            "[Connection]\nBaseUrl=http://127.0.0.1:1\nTokenUrl=http://127.0.0.1:1/oauth2/v1/tokens/bearer\n" + secret,
            true);
        row("localhost", "[Connection]\nBaseUrl=http://localhost:8080\n" + secret, true);
        row("real service", "[Connection]\nBaseUrl=https://quickbooks.api.intuit.com\nRealmId=42\n" + secret, false);
        row("no BaseUrl: the real service", "[Connection]\nRealmId=42\n" + secret, false);
        row("real token service",
            "[Connection]\nBaseUrl=http://127.0.0.1:1\nTokenUrl=https://oauth.platform.intuit.com/t\n" + secret, false);
        row("loopback look-alike", "[Connection]\nBaseUrl=http://127.0.0.1.example.com\n" + secret, false);
    }
    void simulatorLeavesRealSettingsAlone()
    {
        QFETCH(QByteArray, contents);
        QFETCH(bool, written);
        QTemporaryDir dir;
        const QString path = dir.filePath("quickbooks.ini");
        QFile file(path);
        if (!contents.isNull()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
            file.close();
        }
        const QFileDevice::Permissions mode = file.permissions();
        QProcess sim;
        sim.start(QbSim::program(), { "--port", "0", "--write-settings", path });
        QVERIFY(sim.waitForStarted(10000));
        if (!written) {
            QVERIFY(sim.waitForFinished(10000));
            QCOMPARE(sim.exitCode(), 2);
            QVERIFY(sim.readAllStandardError().contains(path.toUtf8() + " is set up for QuickBooks elsewhere"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), contents);
            QCOMPARE(file.permissions(), mode);
            return;
        }
        QByteArray out;
        while (!out.contains('\n') && sim.waitForReadyRead(10000))
            out += sim.readAllStandardOutput();
        sim.kill();
        sim.waitForFinished(5000);
        QVERIFY2(out.startsWith("listening on "), out.constData());
        QCOMPARE(QSettings(path, QSettings::IniFormat).value("Connection/BaseUrl").toString(),
            "http://127.0.0.1:" + QString::fromLatin1(out.mid(13).trimmed()));
    }

    // The /_sim/ controls obey a request addressed to a loopback host only;
    // any other Host (a rebound DNS name) is refused with nothing done.
    void simulatorControlsAnswerLoopbackHostsOnly_data()
    {
        columns<QByteArray, int>({ "host", "status" });
        row("127.0.0.1 with port", QByteArray("127.0.0.1:%p"), 200);
        row("localhost", QByteArray("LocalHost"), 200);
        row("IPv6 with port", QByteArray("[::1]:%p"), 200);
        row("127.0.0.0/8", QByteArray("127.3.2.1"), 200);
        row("rebound name", QByteArray("attacker.example:%p"), 403);
        row("loopback look-alike", QByteArray("127.0.0.1.attacker.example"), 403);
        row("junk port", QByteArray("localhost:80@attacker.example"), 403);
        row("no Host", QByteArray(), 403);
    }
    void simulatorControlsAnswerLoopbackHostsOnly()
    {
        QFETCH(QByteArray, host);
        QFETCH(int, status);
        const QByteArray body(R"({"customers":[{"DisplayName":"Seeded"}]})");
        QByteArray request = "POST /_sim/seed HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
        if (!host.isNull())
            request += "Host: " + host.replace("%p", QByteArray::number(m_sim.port())) + "\r\n";
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_sim.port());
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request + "\r\n" + body);
        QByteArray answer;
        while (!answer.contains("\r\n") && socket.waitForReadyRead(5000))
            answer += socket.readAll();
        QCOMPARE(answer.left(answer.indexOf("\r\n")).split(' ').value(1).toInt(), status);
        QCOMPARE(m_sim.rows("customers").size(), status == 200 ? 1 : 0);
    }

    // An expired access token is refreshed once and the call repeated; the
    // new refresh token is stored (the old one is spent). A refused refresh
    // is reported after that one try.
    void expiredTokenIsRefreshedOnce_data()
    {
        columns<bool, QString>({ "refreshValid", "result" });
        row("refresh accepted", true, QString("Successful"));
        row("refresh refused", false,
            QString("Error 3200: The QuickBooks sign-in has expired (invalid_grant); connect to QuickBooks again"));
    }
    void expiredTokenIsRefreshedOnce()
    {
        QFETCH(bool, refreshValid);
        QFETCH(QString, result);
        const QString oldRefresh = m_sim.writeSettings(m_db->folder());
        const auto secrets = qb::fileSecretStore(qb::settingsPath(m_db->folder()));
        if (!refreshValid)
            secrets->write(qb::kRefreshToken, "rt-spent");
        m_sim.control("expire-tokens");
        const qint64 id = addWip("Expired");
        openScreen();
        tick(id);
        press("btnSendNewInvoices");
        QCOMPARE(resultOf(id), result);
        QCOMPARE(m_sim.log("tokens").size(), 1);
        QCOMPARE(m_sim.log().first().toObject().value("status").toInt(), 401);
        // The client authenticates by the Basic header alone: the body holds
        // the grant and nothing that names or authenticates the client.
        const QJsonObject refresh = m_sim.log("tokens").first().toObject();
        QCOMPARE(refresh.value("authorization").toString(),
            QString("Basic " + QByteArray("jt-demo-client:jt-demo-secret").toBase64()));
        QCOMPARE(QUrlQuery(refresh.value("body").toString()).queryItems(),
            (QList<QPair<QString, QString>> { { "grant_type", "refresh_token" },
                { "refresh_token", refreshValid ? oldRefresh : QString("rt-spent") } }));
        if (refreshValid) {
            const QString stored = secrets->read(qb::kRefreshToken);
            QVERIFY(stored != oldRefresh);
            const QJsonArray valid = m_sim.state().value("refreshTokens").toArray();
            QVERIFY(valid.contains(stored) && !valid.contains(oldRefresh));
        } else {
            QCOMPARE(secrets->read(qb::kRefreshToken), QString());
            QCOMPARE(m_sim.rows("invoices").size(), 0);
        }
    }

    // 429 and 5xx answers are retried with back-off a bounded number of
    // times, with the same requestid, then reported; a Retry-After is
    // waited for, one longer than the cap is reported at once.
    void throttledCallsBackOff_data()
    {
        columns<QJsonObject, int, QString, int>({ "fault", "attempts", "result", "minMs" });
        const QJsonObject throttle { { "method", "POST" }, { "resource", "invoice" }, { "kind", "throttle" },
            { "retryAfter", 0 } };
        QJsonObject twice = throttle;
        twice["count"] = 2;
        QJsonObject always = throttle;
        always["count"] = -1;
        always["xml"] = true;
        QJsonObject unavailable { { "method", "POST" }, { "resource", "invoice" }, { "kind", "status" },
            { "status", 503 }, { "count", 2 } };
        QJsonObject waitASecond = throttle;
        waitASecond["retryAfter"] = 1;
        QJsonObject tooLong = throttle;
        tooLong["retryAfter"] = 120;
        const QString throttled("Error 3001: message=ThrottleExceeded; errorCode=003001; statusCode=429: The request "
                                "limit was reached.");
        row("429 twice", twice, 3, QString("Successful"), 0);
        row("429 in XML, always", always, 4, throttled, 0);
        row("503 twice", unavailable, 3, QString("Successful"), 0);
        row("Retry-After 1", waitASecond, 2, QString("Successful"), 1000);
        row("Retry-After past the cap", tooLong, 1, throttled, 0);
    }
    void throttledCallsBackOff()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(int, attempts);
        QFETCH(QString, result);
        QFETCH(int, minMs);
        const qint64 id = addWip("Busy Day");
        m_sim.fault(fault);
        openScreen();
        tick(id);
        QElapsedTimer timer;
        timer.start();
        press("btnSendNewInvoices");
        QVERIFY(timer.elapsed() >= minMs);
        QCOMPARE(resultOf(id), result);
        const QJsonArray creates = m_sim.log("invoice");
        QCOMPARE(creates.size(), attempts);
        for (const QJsonValue &entry : creates)
            QCOMPARE(entry.toObject().value("requestid"), creates.first().toObject().value("requestid"));
        QCOMPARE(invoicesFor(m_sim, id).size(), result == "Successful" ? 1 : 0);
    }

    // Answers as the gateway reads them, odd ones included: a Retry-After
    // date decades away stays "too long to wait" (it once wrapped to a
    // negative number of seconds and was retried at once), an amount no
    // double holds to the cent is refused rather than stored as garbage.
    void readsOddAnswers_data()
    {
        columns<int, QByteArray, QByteArray, int, int, int>(
            { "status", "retryAfter", "body", "kind", "code", "after" });
        using Kind = qb::AccountingError::Kind;
        const QByteArray dup(
            R"({"Fault":{"Error":[{"Message":"Duplicate","Detail":"Duplicate name","code":"6240"}]}})");
        row("retry in 30 s", 429, QByteArray("30"), QByteArray(), int(Kind::Transient), 429, 30);
        row("retry date in 2099", 503, QByteArray("Wed, 21 Oct 2099 07:28:00 +0000"), QByteArray(),
            int(Kind::Transient), 503, std::numeric_limits<int>::max());
        row("retry date past", 503, QByteArray("Wed, 21 Oct 2015 07:28:00 +0000"), QByteArray(), int(Kind::Transient),
            503, 0);
        row("retry unreadable", 429, QByteArray("soon"), QByteArray(), int(Kind::Transient), 429, -1);
        row("duplicate", 400, QByteArray(), dup, int(Kind::DuplicateName), 6240, -1);
        row("empty error list", 404, QByteArray(), QByteArray(R"({"Fault":{"Error":[]}})"), int(Kind::NotFound), 404,
            -1);
        row("xml", 403, QByteArray(), QByteArray(R"(<Fault><Error code="3100"><Message>No</Message></Error></Fault>)"),
            int(Kind::AuthExpired), 3100, -1);
    }
    void readsOddAnswers()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, retryAfter);
        QFETCH(QByteArray, body);
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(int, after);
        const qb::AccountingError error = qb::QboGateway::answerError(status, body, retryAfter);
        QCOMPARE(int(error.kind()), kind);
        QCOMPARE(error.code(), code);
        QVERIFY(!error.message().isEmpty());
        QCOMPARE(error.retryAfterSeconds(), after);
    }

    void refusesAmountsItCannotStore()
    {
        const auto total
            = [](const char *json) { return qb::QboGateway::invoiceOf(QJsonDocument::fromJson(json).object()).total; };
        QCOMPARE(total(R"({"TotalAmt":1234.56})"), qb::Cents(123456));
        QCOMPARE(total(R"({"TotalAmt":-0.5})"), qb::Cents(-50));
        QCOMPARE(total(R"({"TotalAmt":90071992547409.92})"), qb::Cents(9007199254740992));
        QVERIFY_THROWS_EXCEPTION(qb::AccountingError, total(R"({"TotalAmt":1e300})"));
        QVERIFY_THROWS_EXCEPTION(qb::AccountingError, total(R"({"TotalAmt":-1e17})"));
    }

    // The simulator answers as the service does where the program does not
    // go: a quote left bare in a query, a line whose amount is not quantity
    // times price, a repeated requestid, a spent refresh token.
    void simulatorKeepsTheServiceRules()
    {
        QNetworkAccessManager network;
        const QString access = m_sim.control("tokens").value("access_token").toString();
        const QString api = "/v3/company/9130350000000001/";
        auto send = [&](const QByteArray &verb, const QString &path, const QByteArray &data, bool form = false) {
            QNetworkRequest request(QUrl(m_sim.url(path)));
            request.setRawHeader("Authorization",
                form ? "Basic " + QByteArray("jt-demo-client:jt-demo-secret").toBase64() : "Bearer " + access.toUtf8());
            request.setHeader(QNetworkRequest::ContentTypeHeader,
                form ? QByteArray("application/x-www-form-urlencoded") : QByteArray("application/json"));
            QNetworkReply *reply = network.sendCustomRequest(request, verb, data);
            QSignalSpy done(reply, &QNetworkReply::finished);
            done.wait(5000);
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const QByteArray answer = reply->readAll();
            reply->deleteLater();
            return qMakePair(status, answer);
        };
        auto code = [](const QByteArray &answer) {
            return QJsonDocument::fromJson(answer)["Fault"]["Error"][0]["code"].toString();
        };

        const auto badQuery
            = send("GET", api + "query?query=SELECT%20*%20FROM%20Customer%20WHERE%20DisplayName%20%3D%20'O'Neil'", {});
        QCOMPARE(badQuery.first, 400);
        QCOMPARE(code(badQuery.second), QString("4000"));

        const QString customer = m_sim.seed({ { "customers", QJsonArray { QJsonObject { { "DisplayName", "X" } } } } })
                                     .value("customers")
                                     .toArray()
                                     .first()
                                     .toString();
        auto invoice = [&](double amount) {
            return QJsonDocument(
                QJsonObject { { "CustomerRef", QJsonObject { { "value", customer } } },
                    { "Line",
                        QJsonArray { QJsonObject { { "DetailType", "SalesItemLineDetail" }, { "Amount", amount },
                            { "SalesItemLineDetail",
                                QJsonObject { { "ItemRef", QJsonObject { { "value", "1" } } }, { "Qty", 1 },
                                    { "UnitPrice", 150.5 } } } } } } })
                .toJson();
        };
        const auto mismatch = send("POST", api + "invoice?minorversion=75", invoice(150.0));
        QCOMPARE(mismatch.first, 400);
        QCOMPARE(code(mismatch.second), QString("6070"));

        const auto first = send("POST", api + "invoice?requestid=r1", invoice(150.5));
        const auto again = send("POST", api + "invoice?requestid=r1", invoice(150.5));
        QCOMPARE(first.first, 200);
        QCOMPARE(again, first);
        QCOMPARE(m_sim.rows("invoices").size(), 1);

        const QString refresh = m_sim.control("tokens").value("refresh_token").toString();
        const QByteArray grant = "grant_type=refresh_token&refresh_token=" + refresh.toUtf8();
        QCOMPARE(send("POST", "/oauth2/v1/tokens/bearer", grant, true).first, 200);
        const auto spent = send("POST", "/oauth2/v1/tokens/bearer", grant, true);
        QCOMPARE(spent.first, 400);
        QCOMPARE(QJsonDocument::fromJson(spent.second)["error"].toString(), QString("invalid_grant"));
    }

    // During a slow call the window repaints and the hourglass shows, but a
    // click goes nowhere.
    void windowRepaintsDuringSlowCall()
    {
        const qint64 id = addWip("Slow");
        m_sim.fault({ { "method", "POST" }, { "resource", "invoice" }, { "kind", "delay" }, { "delayMs", 800 } });
        openScreen();
        tick(id);
        QSignalSpy refreshClicks(button("btnRefreshNew"), &QPushButton::clicked);

        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        grid()->viewport()->installEventFilter(&counter);
        int busyTicks = 0, paintsWhileBusy = 0;
        bool hourglass = true;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (!m_screen->isBusy())
                return;
            ++busyTicks;
            hourglass = hourglass && QApplication::overrideCursor()
                && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            paintsWhileBusy = counter.paints;
            grid()->viewport()->update();
            if (busyTicks == 1) {
                counter.paints = 0;
                QTest::mouseClick(button("btnRefreshNew"), Qt::LeftButton);
            }
        });
        ticker.start(50);
        press("btnSendNewInvoices");
        ticker.stop();

        QVERIFY2(busyTicks >= 5, qPrintable(QString::number(busyTicks)));
        QVERIFY2(paintsWhileBusy > 0, "no repaint during the call");
        QVERIFY(hourglass);
        QCOMPARE(refreshClicks.count(), 0);
        QCOMPARE(resultOf(id), QString("Successful"));
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(TestQbSync)
#include "tst_qbsync.moc"
