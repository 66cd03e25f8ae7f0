#include "data/DemoData.h"

#include "base/Clock.h"
#include "base/Passwords.h"
#include "base/Permissions.h"
#include "data/BulkLoad.h"
#include "data/Database.h"

#include <QDateTime>
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <stdexcept>

namespace data {

int addAdministrator(Connection &db, const QString &username, const QString &password)
{
    if (username.trimmed().isEmpty() || password.trimmed().isEmpty())
        throw std::invalid_argument("the administrator needs a user name and a password");
    const QVariant typeId
        = db.scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = ?"), { QStringLiteral("Admin") });
    const QDateTime now = Clock::now();
    return static_cast<int>(db.insertRow(QStringLiteral("Employee"),
        { { QStringLiteral("FirstName"), QStringLiteral("System") }, { QStringLiteral("MiddleName"), QString() },
            { QStringLiteral("LastName"), QStringLiteral("Administrator") }, { QStringLiteral("Inactive"), false },
            { QStringLiteral("UserTypeID"), typeId }, { QStringLiteral("Username"), username.trimmed() },
            { QStringLiteral("Password"), Passwords::hash(password.trimmed()) },
            { QStringLiteral("EnteredBy"), QStringLiteral("setup") }, { QStringLiteral("EnteredDate"), now },
            { QStringLiteral("EditedBy"), QStringLiteral("setup") }, { QStringLiteral("EditedDate"), now } }));
}

namespace {

    const std::array kFirst = { "John", "Mary", "Robert", "Patricia", "Michael", "Linda", "William", "Barbara", "David",
        "Susan", "James", "Karen", "Thomas", "Nancy", "Daniel", "Lisa", "Paul", "Betty", "Mark", "Sandra", "Sean",
        "Maureen", "Eileen", "Kevin" };
    const std::array kLast = { "Smith", "Johnson", "Williams", "Brown", "Jones", "Miller", "Davis", "Garcia", "Wilson",
        "Anderson", "Taylor", "Thomas", "Moore", "Martin", "Jackson", "White", "Harris", "Clark", "Lewis", "Walker",
        "Hall", "Allen", "Young", "King", "O'Brien", "O'Neil", "Adams", "Baker", "Nelson", "Carter", "Mitchell",
        "Roberts" };
    const std::array kStreets = { "Main St", "Oak Ave", "Maple Dr", "Cedar Ln", "Elm St", "Park Blvd", "Lake Rd",
        "Hill St", "Church Rd", "Mill Rd", "River Dr", "Pine Ct" };
    const std::array kCities = { "Brackwell", "Cleveland", "Akron", "Parma", "Lakewood", "Euclid", "Mentor",
        "Strongsville", "Medina", "Elyria" };
    const std::array kStates = { "OH", "OH", "OH", "OH", "PA", "MI", "IN", "NY" };
    const std::array kTypes = { "Water", "Water", "Water", "Fire", "Fire", "Work Order", "Mold", "Storm", "Smoke" };
    const std::array kOpenStatuses
        = { "Open", "Estimate", "Drying", "Drying", "In Progress", "Waiting On Adjuster", "Ready To Bill" };
    const std::array kReps = { "Dave Kowalski", "Angela Ruiz", "Tom Becker", "Sharon Lee", "Mike Duffy" };
    const std::array kInsurers = { "State Farm", "Allstate", "Progressive", "Nationwide", "Erie Insurance",
        "Liberty Mutual", "Farmers", "Travelers", "USAA", "Westfield" };
    const std::array kAgents = { "Gary Holt", "Dana Price", "Ken Ito", "Lori Vance", "Phil Grant", "Rita Moss" };
    const std::array kAdjusters
        = { "Carl Benson", "Joan Fischer", "Al Ortiz", "Beth Kramer", "Neil Shaw", "Tina Wolfe", "Omar Haddad" };
    const std::array kSoftware = { "Xactimate", "Xactimate", "Symbility", "Simsol", "" };
    const std::array kPayments = { "Insurance", "Insurance", "Insurance", "Check", "Credit Card", "Cash", "" };
    const std::array kServices = { "Emergency", "Restoration", "Cleaning", "Mitigation", "Reconstruction", "" };
    const std::array kHowHear
        = { "Insurance referral", "Agent referral", "Web search", "Repeat customer", "Yard sign", "Radio", "Neighbor" };
    const std::array kContractors = { "O'Brien Plumbing", "Ace Electric", "Brackwell Roofing", "City Drywall",
        "Kessler HVAC", "Lakeshore Carpet", "Dry-Rite Equipment", "Pro Abatement", "North Coast Painting",
        "Summit Flooring", "Miller & Sons Carpentry", "Quick Board-Up" };
    const std::array kNotes = { "Extracted water, set dehumidifiers", "Moved contents to garage",
        "Checked moisture readings", "Pulled carpet pad", "Soot cleanup, kitchen", "Odor treatment",
        "Removed equipment", "Met adjuster on site", "Board-up of rear windows", "Packed out contents", "" };

    struct DemoEmployee
    {
        const char *first;
        const char *last;
        const char *username; // empty: a field worker without a login
        const char *type;
        std::initializer_list<QLatin1String> permissions;
    };

    const std::array kEmployees = {
        DemoEmployee { "Karen", "Whitfield", "kwhitfield", "User",
            { Permissions::wipEntry, Permissions::wipNavigator, Permissions::timeManager, Permissions::timeEntry,
                Permissions::deleteTime, Permissions::quickbooksSync, Permissions::fieldEntry } },
        DemoEmployee { "Brian", "Mercer", "bmercer", "User",
            { Permissions::wipEntry, Permissions::wipNavigator, Permissions::timeEntry, Permissions::fieldEntry } },
        DemoEmployee { "Dennis", "Albright", "", "User", {} },
        DemoEmployee { "Luis", "Romero", "", "User", {} },
        DemoEmployee { "Jake", "Sutter", "", "User", {} },
        DemoEmployee { "Marcus", "Bell", "", "User", {} },
        DemoEmployee { "Tony", "Nguyen", "", "User", {} },
        DemoEmployee { "Eric", "Hale", "", "User", {} },
    };

    template <typename A> QString pick(std::mt19937 &rng, const A &values)
    {
        return QString::fromUtf8(values[std::uniform_int_distribution<size_t>(0, values.size() - 1)(rng)]);
    }

    int between(std::mt19937 &rng, int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(rng);
    }

    bool chance(std::mt19937 &rng, double p)
    {
        return std::bernoulli_distribution(p)(rng);
    }

    struct DryingJob
    {
        qint64 id;
        QDate start;
    };

    // The drying log of a few drying jobs: rooms, a reading a day (one day
    // missed on the first job) and moisture points drying towards their goal;
    // the first job's points reach it, the others are still wet.
    // Each drying job's affected rooms, as seedDryingLogs() added them.
    using AffectedRooms = QList<QList<qint64>>;

    AffectedRooms seedDryingLogs(
        Connection &db, const QList<DryingJob> &jobs, const QDate &today, const QString &seeder)
    {
        AffectedRooms affectedRooms;
        struct DemoRoom
        {
            const char *name;
            bool affected;
            bool outside;
            double temperature; // F
            double humidity; // on the first day; affected rooms dry out
        };
        static const DemoRoom kRooms[] = {
            { "Kitchen", true, false, 82, 68 },
            { "Living Room", true, false, 80, 64 },
            { "Bedroom", false, false, 71, 45 },
            { "Outside", false, true, 58, 62 },
        };
        struct DemoPoint
        {
            const char *material;
            const char *location;
            double goal; // as read on the same material in the bedroom
            double wet; // on the first day
        };
        static const DemoPoint kPoints[]
            = { { "Drywall", "North wall, 12 in. up", 12, 38 }, { "Baseboard", "Under the sink", 15, 30 } };
        BulkLoad air(db, QStringLiteral("DryingAtmosphere"),
            { QStringLiteral("RoomID"), QStringLiteral("TakenAt"), QStringLiteral("Temperature"),
                QStringLiteral("Humidity"), QStringLiteral("EnteredBy"), QStringLiteral("EnteredDate"),
                QStringLiteral("EditedBy"), QStringLiteral("EditedDate") });
        BulkLoad moisture(db, QStringLiteral("MoistureReading"),
            { QStringLiteral("PointID"), QStringLiteral("TakenAt"), QStringLiteral("Value"),
                QStringLiteral("EnteredBy"), QStringLiteral("EnteredDate"), QStringLiteral("EditedBy"),
                QStringLiteral("EditedDate") });
        for (qsizetype j = 0; j < jobs.size(); ++j) {
            const DryingJob &job = jobs[j];
            const int days = int(std::max<qint64>(0, job.start.daysTo(today)));
            affectedRooms << QList<qint64>();
            for (const DemoRoom &room : kRooms) {
                const qint64 roomId = db.insertRow(QStringLiteral("DryingRoom"),
                    { { QStringLiteral("WIPID"), job.id }, { QStringLiteral("Name"), QString::fromLatin1(room.name) },
                        { QStringLiteral("Affected"), room.affected }, { QStringLiteral("Outside"), room.outside } });
                if (room.affected)
                    affectedRooms.last() << roomId;
                for (int day = 0; day <= days; ++day) {
                    if (j == 0 && day == 2)
                        continue; // the missed day
                    const double humidity = room.affected ? std::max(40.0, room.humidity - 4.0 * day) : room.humidity;
                    const QDateTime at(job.start.addDays(day), QTime(9, 0));
                    air.add({ roomId, at, room.temperature, humidity, seeder, at, seeder, at });
                }
                if (!room.affected)
                    continue;
                for (const DemoPoint &point : kPoints) {
                    const qint64 pointId = db.insertRow(QStringLiteral("MoisturePoint"),
                        { { QStringLiteral("RoomID"), roomId },
                            { QStringLiteral("Material"), QString::fromLatin1(point.material) },
                            { QStringLiteral("Location"), QString::fromLatin1(point.location) },
                            { QStringLiteral("Meter"), QStringLiteral("Protimeter Mini") },
                            { QStringLiteral("DryGoal"), point.goal } });
                    // The first job reaches the goal on the last day read; the
                    // others stay above it.
                    const double last = j == 0 ? point.goal - 1 : point.goal + 6;
                    for (int day = 0; day <= days; ++day) {
                        const double value = days == 0 ? last : point.wet + (last - point.wet) * day / days;
                        const QDateTime at(job.start.addDays(day), QTime(0, 0));
                        moisture.add({ pointId, at, std::round(value * 10) / 10, seeder, at, seeder, at });
                    }
                }
            }
        }
        air.finish();
        moisture.finish();
        return affectedRooms;
    }

    // A register of 40 units; on each drying job three air movers and a
    // dehumidifier per affected room since its first morning, and on the
    // first job one air mover moved to the next room a day later.
    void seedEquipment(Connection &db, const QList<DryingJob> &jobs, const AffectedRooms &rooms)
    {
        // A forced second seeding keeps the register it has: asset numbers
        // are unique.
        if (db.scalar(QStringLiteral("SELECT COUNT(*) FROM Equipment")).toLongLong() > 0)
            return;
        struct DemoType
        {
            const char *prefix;
            const char *type;
            int count;
        };
        static const DemoType kTypes[] = { { "AM", "Air Mover", 24 }, { "DH", "Dehumidifier", 10 },
            { "AS", "Air Scrubber", 4 }, { "HT", "Heater", 2 } };
        QList<qint64> movers;
        QList<qint64> dehus;
        for (const DemoType &type : kTypes) {
            for (int n = 1; n <= type.count; ++n) {
                const bool dehu = qstrcmp(type.prefix, "DH") == 0;
                // Mostly LGR units, a few conventional ones and one desiccant.
                const QString kind = !dehu ? QString()
                    : n <= 6               ? QStringLiteral("LGR")
                    : n <= 9               ? QStringLiteral("Conventional")
                                           : QStringLiteral("Desiccant");
                const qint64 id = db.insertRow(QStringLiteral("Equipment"),
                    { { QStringLiteral("AssetNo"),
                          QStringLiteral("%1-%2").arg(QLatin1String(type.prefix)).arg(n, 2, 10, QChar(u'0')) },
                        { QStringLiteral("EquipType"), QString::fromLatin1(type.type) },
                        { QStringLiteral("DehuKind"), kind },
                        { QStringLiteral("Pints"),
                            dehu ? QVariant(kind == u"LGR" ? 70.0 : 40.0) : QVariant(QMetaType(QMetaType::Double)) },
                        { QStringLiteral("Description"), QString() }, { QStringLiteral("Retired"), false } });
                if (dehu)
                    dehus << id;
                else if (qstrcmp(type.prefix, "AM") == 0)
                    movers << id;
            }
        }
        const auto place = [&db](qint64 unit, qint64 room, const QDateTime &from, const QDateTime &to) {
            // An open placement leaves RemovedAt out: NULL.
            Fields fields { { QStringLiteral("EquipmentID"), unit }, { QStringLiteral("RoomID"), room },
                { QStringLiteral("PlacedAt"), from } };
            if (to.isValid())
                fields.append({ QStringLiteral("RemovedAt"), to });
            db.insertRow(QStringLiteral("EquipmentPlacement"), fields);
        };
        for (qsizetype j = 0; j < jobs.size() && j < rooms.size(); ++j) {
            const QDateTime placed(jobs[j].start, QTime(10, 0));
            for (qsizetype r = 0; r < rooms[j].size(); ++r) {
                for (int m = 0; m < 3 && !movers.isEmpty(); ++m) {
                    const qint64 unit = movers.takeFirst();
                    if (j == 0 && r == 0 && m == 0 && rooms[j].size() > 1) {
                        const QDateTime moved(jobs[j].start.addDays(1), QTime(9, 30));
                        place(unit, rooms[j][0], placed, moved);
                        place(unit, rooms[j][1], moved, {});
                    } else {
                        place(unit, rooms[j][r], placed, {});
                    }
                }
                if (!dehus.isEmpty())
                    place(dehus.takeFirst(), rooms[j][r], placed, {});
            }
        }
    }

} // namespace

void seedDemo(Connection &db, const DemoOptions &options, const std::function<void(const QString &)> &progress)
{
    if (options.jobs < 0 || options.bookingsPerJob < 0)
        throw std::invalid_argument("the number of jobs and bookings cannot be negative");
    const auto say = [&](const QString &text) {
        if (progress)
            progress(text);
    };
    std::mt19937 rng(options.seed);
    const QDate today = options.today.isValid() ? options.today : QDate::currentDate();
    const QDateTime stampTime(today, QTime(8, 0));
    const QString seeder = QStringLiteral("admin");

    Transaction transaction(db);

    if (!db.scalar(db.dialect().selectTop(1, QStringLiteral("ID"), QStringLiteral("Company"))).isValid()) {
        db.insertRow(QStringLiteral("Company"),
            { { QStringLiteral("Name"), QStringLiteral("Varnholt of Brackwell") },
                { QStringLiteral("Address1"), QStringLiteral("1480 Industrial Pkwy") },
                { QStringLiteral("Address2"), QStringLiteral("Suite 200") },
                { QStringLiteral("City"), QStringLiteral("Brackwell") },
                { QStringLiteral("State"), QStringLiteral("OH") }, { QStringLiteral("Zip"), QStringLiteral("44101") },
                { QStringLiteral("Phone"), QStringLiteral("(216) 555-0140") },
                { QStringLiteral("Fax"), QStringLiteral("(216) 555-0141") },
                { QStringLiteral("Email"), QStringLiteral("office@varnholt.example") },
                { QStringLiteral("Website"), QStringLiteral("www.varnholt.example") },
                { QStringLiteral("KeyPressDelay"), 1.0 },
                { QStringLiteral("QBItemName"), QStringLiteral("Restoration") },
                { QStringLiteral("QBItemDescription"), QStringLiteral("Fire and water restoration services") },
                { QStringLiteral("QBItemAmount"), 1250.0 }, { QStringLiteral("DryingDays"), 5 } });
    }

    say(QStringLiteral("employees"));
    QList<int> workers;
    for (const DemoEmployee &e : kEmployees) {
        const QString username = QString::fromUtf8(e.username);
        const QVariant typeId
            = db.scalar(QStringLiteral("SELECT ID FROM EmployeeType WHERE Name = ?"), { QString::fromUtf8(e.type) });
        const int id = static_cast<int>(db.insertRow(QStringLiteral("Employee"),
            { { QStringLiteral("FirstName"), QString::fromUtf8(e.first) }, { QStringLiteral("MiddleName"), QString() },
                { QStringLiteral("LastName"), QString::fromUtf8(e.last) },
                { QStringLiteral("Address1"),
                    QStringLiteral("%1 %2").arg(between(rng, 10, 9999)).arg(pick(rng, kStreets)) },
                { QStringLiteral("Address2"), QString() }, { QStringLiteral("City"), pick(rng, kCities) },
                { QStringLiteral("State"), QStringLiteral("OH") },
                { QStringLiteral("Zip"), QStringLiteral("441%1").arg(between(rng, 1, 99), 2, 10, QLatin1Char('0')) },
                { QStringLiteral("Email"),
                    username.isEmpty() ? QString() : username + QStringLiteral("@varnholt.example") },
                { QStringLiteral("Phone1"), QStringLiteral("(216) 555-%1").arg(between(rng, 1000, 9999)) },
                { QStringLiteral("Phone2"), QString() }, { QStringLiteral("Fax"), QString() },
                { QStringLiteral("Inactive"), false }, { QStringLiteral("UserTypeID"), typeId },
                { QStringLiteral("Username"), username },
                { QStringLiteral("Password"),
                    username.isEmpty() ? QString() : Passwords::hash(QStringLiteral("password")) },
                { QStringLiteral("EnteredBy"), seeder }, { QStringLiteral("EnteredDate"), stampTime },
                { QStringLiteral("EditedBy"), seeder }, { QStringLiteral("EditedDate"), stampTime } }));
        workers << id;
        for (const QLatin1String permission : e.permissions) {
            db.exec(QStringLiteral("INSERT INTO UserPermission (UserID, PermissionID) "
                                   "SELECT ?, ID FROM Permission WHERE Name = ?"),
                { id, QString(permission) });
        }
    }

    // New IDs continue after whatever the table holds already.
    const qint64 firstId = db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP")).toLongLong() + 1;
    const QStringList wipColumns
        = QStringLiteral("Customer,Address,City,State,Zip,Phone,JobType,Status,Rep,StartDate,CheckDryingDays,"
                         "DryingDays,Insurance,Agent,Adjuster,Paperwork,InitialScope,Software,TypeOfPayment,Rugs,"
                         "RugsCleaned,Itel,ItelDate,AdjusterUpdatedDate,AdjusterUpdatedBy,CarpetCleanRooms,HowHear,"
                         "TimeOfService,TypeOfService,EstimateComplete,Billed,COS,MoveOut,CleanHVAC,ContentsCleaned,"
                         "Photos,AmountBilled,InvoiceID,Notes,EnteredBy,EnteredDate,EditedBy,EditedDate,QBID,ID")
              .split(u',');
    BulkLoad wips(db, QStringLiteral("WIP"), wipColumns);
    BulkLoad contractors(
        db, QStringLiteral("WIPContractors"), { QStringLiteral("WIPID"), QStringLiteral("Contractor") });
    BulkLoad bookings(db, QStringLiteral("EmployeeTime"),
        { QStringLiteral("EmployeeID"), QStringLiteral("WIPID"), QStringLiteral("TranDate"), QStringLiteral("Hours"),
            QStringLiteral("Notes"), QStringLiteral("EnteredBy"), QStringLiteral("EnteredDate"),
            QStringLiteral("EditedBy"), QStringLiteral("EditedDate") });

    // Explicit IDs let the link rows name their job before it is flushed.
    const QString identityOn = db.dialect().identityInsert(QStringLiteral("WIP"), true);
    if (!identityOn.isEmpty())
        db.exec(identityOn);
    const int openJobs = std::min(options.jobs, std::max(40, options.jobs / 20));
    int invoice = 10000;
    QList<DryingJob> dryingJobs;
    for (int n = 0; n < options.jobs; ++n) {
        if (n % 10000 == 0)
            say(QStringLiteral("jobs %1 of %2").arg(n).arg(options.jobs));
        const qint64 id = firstId + n;
        // The newest jobs are the open ones; the rest is history going back years.
        const bool open = n >= options.jobs - openJobs;
        const QString status = open ? pick(rng, kOpenStatuses) : QStringLiteral("Closed");
        const QDate start = open ? today.addDays(-between(rng, 0, 30)) : today.addDays(-between(rng, 31, 365 * 8));
        const QDateTime startTime(start, QTime(between(rng, 7, 17), 0));
        const QString customer = pick(rng, kFirst) + u' ' + pick(rng, kLast);
        const bool billed = status == u"Closed" || (status == u"Ready To Bill" && chance(rng, 0.5));
        const double amount = billed ? between(rng, 300, 45000) + between(rng, 0, 99) / 100.0 : 0.0;
        const bool watchDrying = status == u"Drying" ? chance(rng, 0.9) : chance(rng, 0.1);
        const QString type = pick(rng, kTypes);
        const QDateTime entered(start, QTime(between(rng, 7, 17), between(rng, 0, 59)));
        wips.add({ customer, QStringLiteral("%1 %2").arg(between(rng, 10, 9999)).arg(pick(rng, kStreets)),
            pick(rng, kCities), pick(rng, kStates),
            QStringLiteral("44%1").arg(between(rng, 0, 999), 3, 10, QLatin1Char('0')),
            QStringLiteral("(216) 555-%1").arg(between(rng, 1000, 9999)), type, status, pick(rng, kReps), startTime,
            watchDrying, double(start.daysTo(today)), pick(rng, kInsurers), pick(rng, kAgents), pick(rng, kAdjusters),
            chance(rng, 0.3) ? QStringLiteral("Signed work authorization") : QString(),
            type == u"Fire" ? QStringLiteral("Soot and smoke cleanup") : QStringLiteral("Water extraction and drying"),
            pick(rng, kSoftware), pick(rng, kPayments), double(between(rng, 0, 4)), chance(rng, 0.3), chance(rng, 0.15),
            startTime, QDateTime(start.addDays(between(rng, 0, 5)), QTime(9, 0)), pick(rng, kAdjusters),
            double(between(rng, 0, 6)), pick(rng, kHowHear),
            chance(rng, 0.5) ? QStringLiteral("Morning") : QStringLiteral("Afternoon"), pick(rng, kServices),
            !open || chance(rng, 0.5), billed, !open, chance(rng, 0.2), chance(rng, 0.2), chance(rng, 0.3),
            !open || chance(rng, 0.6), amount, billed ? QString::number(++invoice) : QString(),
            chance(rng, 0.2) ? QStringLiteral("Customer prefers calls after 5pm") : QString(), seeder, entered, seeder,
            entered.addDays(between(rng, 0, 20)),
            billed ? QStringLiteral("%1-%2").arg(invoice, 0, 16).arg(between(rng, 100000, 999999)) : QString(), id });
        // A few watched drying jobs past the company's five days keep a log.
        if (status == u"Drying" && watchDrying && start.daysTo(today) > 5 && dryingJobs.size() < 3)
            dryingJobs.append({ id, start });
        for (int c = between(rng, 0, 2); c > 0; --c)
            contractors.add({ id, pick(rng, kContractors) });
        for (int b = 0; b < options.bookingsPerJob; ++b) {
            const QDate day = start.addDays(std::min<qint64>(b / 2, std::max<qint64>(0, start.daysTo(today))));
            const QDateTime bookedAt(day, QTime(0, 0));
            bookings.add({ workers.at(between(rng, 0, int(workers.size()) - 1)), id, bookedAt,
                between(rng, 2, 32) / 4.0, pick(rng, kNotes), seeder, bookedAt, seeder, bookedAt });
        }
    }
    wips.finish();
    const QString identityOff = db.dialect().identityInsert(QStringLiteral("WIP"), false);
    if (!identityOff.isEmpty())
        db.exec(identityOff);
    contractors.finish();
    bookings.finish();
    say(QStringLiteral("drying logs"));
    const AffectedRooms affectedRooms = seedDryingLogs(db, dryingJobs, today, seeder);
    say(QStringLiteral("equipment"));
    seedEquipment(db, dryingJobs, affectedRooms);
    transaction.commit();

    // Explicit IDs bypass the server's identity counter: move it past them.
    const QString resetIdentity = db.dialect().resetIdentity(QStringLiteral("WIP"));
    if (options.jobs > 0 && !resetIdentity.isEmpty())
        db.exec(resetIdentity);
    say(QStringLiteral("done"));
}

} // namespace data
