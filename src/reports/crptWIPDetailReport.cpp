#include "reports/crptWIPDetailReport.h"

#include "base/Formats.h"
#include "reports/ReportData.h"
#include "shell/Logo.h"

namespace reports {

namespace {

    QString dateText(const QDateTime &value)
    {
        return value.isValid() ? Formats::date(value.date()) : QString();
    }

    // A number the office typed (rooms, rugs); empty when none was.
    QString countText(const TableData &data, const QString &field)
    {
        return data.isNull(field) ? QString() : Formats::plainNumber(data.number(field));
    }

} // namespace

crptWIPDetailReport::crptWIPDetailReport()
{
    m_time.caption = QStringLiteral("Labor");
    m_time.columns = { { QStringLiteral("Employee"), 130 }, { QStringLiteral("Date"), 62 },
        { QStringLiteral("Hours"), 46, Align::Right }, { QStringLiteral("Notes"), 300 } };
    m_time.emptyText = QStringLiteral("No time booked.");
    m_contractors.caption = QStringLiteral("Subcontractors");
}

void crptWIPDetailReport::setContractorData(data::Rows query)
{
    TableData c(std::move(query), TableDefinition::load(kContractorFile));
    while (c.next())
        m_contractors.items << Item::text(c.text(QStringLiteral("Contractor")));
    m_hasContractors = true;
}

void crptWIPDetailReport::setTimeData(data::Rows query)
{
    TableData t(std::move(query), TableDefinition::load(kTimeFile));
    while (t.next()) {
        const QString name
            = joined({ t.text(QStringLiteral("LastName")), t.text(QStringLiteral("FirstName")) }, QStringLiteral(", "));
        m_time.rows.push_back(
            Row { { name, dateText(t.dateTime(QStringLiteral("TranDate"))),
                      Formats::hours(t.number(QStringLiteral("Hours"))), t.text(QStringLiteral("Notes")) },
                {} });
    }
    m_hasTime = true;
}

void crptWIPDetailReport::setMainData(data::Rows query)
{
    TableData w(std::move(query), TableDefinition::load(kMainFile));
    if (!w.next())
        throw ReportError(QStringLiteral("The WIP is not in the database (any more)."));
    Document &doc = m_main;
    doc.blocks.clear();
    const QString jobNo = QStringLiteral("Job No. %1").arg(Formats::plainNumber(w.number(QStringLiteral("ID"))));
    const QString customer = w.text(QStringLiteral("Customer"));
    doc.footer = joined({ jobNo, customer }, QStringLiteral(" \u00b7 "));
    doc.name = joined(
        { QStringLiteral("Work Order %1").arg(Formats::plainNumber(w.number(QStringLiteral("ID")))), customer },
        QStringLiteral(" - "));

    doc.blocks.push_back(Heading { customer.isEmpty() ? QStringLiteral("(no customer)") : customer,
        joined({ w.text(QStringLiteral("JobType")), w.text(QStringLiteral("Status")),
                   dateText(w.dateTime(QStringLiteral("StartDate"))).isEmpty()
                       ? QString()
                       : QStringLiteral("started ") + dateText(w.dateTime(QStringLiteral("StartDate"))) },
            QStringLiteral(" \u00b7 ")),
        jobNo });

    const auto f = [&](const char *label, const char *field) {
        return Item::field(QString::fromLatin1(label), w.text(QString::fromLatin1(field)));
    };
    const auto check = [&](const char *label, const char *field) {
        return Item::check(QString::fromLatin1(label), w.flag(QString::fromLatin1(field)));
    };

    // The job's own address reads as an envelope does: no comma or blanks
    // left dangling by an empty part.
    const QString city
        = joined({ w.text(QStringLiteral("City")),
                     joined({ w.text(QStringLiteral("State")), w.text(QStringLiteral("Zip")) }, QStringLiteral("  ")) },
            QStringLiteral(", "));
    const QString dryingDays = countText(w, QStringLiteral("DryingDays"));
    m_totalHours = w.number(QStringLiteral("TotalTime"));
    const QString adjusterUpdated = joined(
        { dateText(w.dateTime(QStringLiteral("AdjusterUpdatedDate"))), w.text(QStringLiteral("AdjusterUpdatedBy")) },
        QStringLiteral(" by "));
    doc.blocks.push_back(Panels { {
        Section { QStringLiteral("Customer"),
            { f("Name", "Customer"), f("Address", "Address"), Item::field(QStringLiteral("City"), city),
                f("Phone", "Phone") } },
        Section { QStringLiteral("Job"),
            { f("Job Type", "JobType"), f("Status", "Status"), f("Sales Rep", "Rep"),
                Item::field(QStringLiteral("Start Date"), dateText(w.dateTime(QStringLiteral("StartDate")))),
                Item::field(QStringLiteral("Drying Days"), dryingDays) } },
        Section { QStringLiteral("Insurance"),
            { f("Company", "Insurance"), f("Agent", "Agent"), f("Adjuster", "Adjuster"),
                Item::field(QStringLiteral("Adj. Updated"), adjusterUpdated), f("Payment", "TypeOfPayment") } },
    } });
    doc.blocks.push_back(Panels { {
        Section { QStringLiteral("Scope"),
            { f("Initial Scope", "InitialScope"), f("Time of Service", "TimeOfService"), f("Paperwork", "Paperwork"),
                f("Type of Service", "TypeOfService"), f("Software", "Software"),
                Item::field(QStringLiteral("Carpet Rooms"), countText(w, QStringLiteral("CarpetCleanRooms"))),
                f("How Heard", "HowHear"), Item::field(QStringLiteral("Rugs"), countText(w, QStringLiteral("Rugs"))),
                Item::field(QStringLiteral("Itel Sent"), dateText(w.dateTime(QStringLiteral("ItelDate")))) },
            2, 2 },
        Section { QStringLiteral("Billing"),
            { Item::field(QStringLiteral("Billed Amount"), Formats::money(w.number(QStringLiteral("AmountBilled")))),
                f("Invoice No.", "InvoiceID"), f("QuickBooks ID", "QBID"),
                Item::field(QStringLiteral("Total Hours"), Formats::hours(m_totalHours)) },
            1, 1 },
    } });
    m_milestones = Section { QStringLiteral("Milestones"),
        { check("Estimate Complete", "EstimateComplete"), check("COS Sent", "Cos"), check("Move-Out", "MoveOut"),
            check("Clean HVAC", "CleanHVAC"), check("Contents Cleaned", "ContentsCleaned"), check("Photos", "Photos"),
            check("Rugs Cleaned", "RugsCleaned"), check("Itel-Asbestos", "Itel"), check("Billed", "Billed") },
        3, 2 };
    m_notes = Section { QStringLiteral("Notes"), { Item::text(w.text(QStringLiteral("Notes")), 2) } };

    const auto stamp = [&](const char *what, const char *who, const char *when) {
        const QString by = w.text(QString::fromLatin1(who));
        const QDateTime at = w.dateTime(QString::fromLatin1(when));
        return by.isEmpty() && !at.isValid() ? QString() : QString::fromLatin1(what) + Formats::stamp(by, at);
    };
    m_stamps = Note { joined(
        { stamp("Entered by ", "EnteredBy", "EnteredDate"), stamp("Edited by ", "EditedBy", "EditedDate") },
        QStringLiteral("   \u00b7   ")) };
    m_hasMain = true;
}

Document crptWIPDetailReport::document(const RunTexts &texts) const
{
    if (!m_hasMain || !m_hasTime || !m_hasContractors)
        throw ReportError(QStringLiteral("The work order was asked for before all its data was bound."));
    Document doc = m_main;
    doc.title = QStringLiteral("Work Order");
    doc.texts = texts;
    doc.picture = Logo::paint;
    Section contractors = m_contractors;
    if (contractors.items.isEmpty())
        contractors.items << Item::text(QStringLiteral("No subcontractors."));
    doc.blocks.push_back(Panels { { m_milestones, contractors } });
    doc.blocks.push_back(Panels { { m_notes } });
    Table time = m_time;
    time.totals << Row { { QStringLiteral("Total Hours"), QString(), Formats::hours(m_totalHours), QString() }, {} };
    doc.blocks.push_back(std::move(time));
    doc.blocks.push_back(
        Signatures { { QStringLiteral("Crew lead"), QStringLiteral("Date completed"), QStringLiteral("Customer") } });
    doc.blocks.push_back(m_stamps);
    return doc;
}

} // namespace reports
