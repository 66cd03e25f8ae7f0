// The crash test's writer, built with the tests and never installed: saves
// WIPs with their subcontractors, employees with their permissions and
// bookings through the program's own save functions, round after round,
// until it is killed. Round k writes generation k (support/CrashGenerations.h)
// and, once each save has committed, prints "<kind> <row ID> <k>" on stdout,
// flushed, so that the test knows what must have survived the kill.
//
//   jt-crash-writer CONNECTION-STRING FOLDER FIRST-GENERATION
//
// The test makes the rows it starts from. Exits 2 on a database error.

#include "data/Database.h"
#include "staff/EmployeeEntry.h"
#include "staff/TimeEntry.h"
#include "support/CrashGenerations.h"
#include "wip/WipRecord.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void committed(char kind, qint64 id, qint64 k)
{
    std::printf("%c %lld %lld\n", kind, static_cast<long long>(id), static_cast<long long>(k));
    std::fflush(stdout);
}

data::Stamp stamp()
{
    return { QStringLiteral("writer"), QDateTime::currentDateTime() };
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: jt-crash-writer CONNECTION-STRING FOLDER FIRST-GENERATION\n");
        return 1;
    }
    try {
        data::Connection db;
        db.open(args.at(1), args.at(2));
        QList<qint64> wips = crashgen::wipIds(db);
        const QList<qint64> employees = crashgen::employeeIds(db);
        QList<qint64> bookings = crashgen::ids(db, QStringLiteral("SELECT ID FROM EmployeeTime ORDER BY ID"));
        const QList<qint64> permissions = crashgen::permissionIds(db);
        if (wips.size() < crashgen::kSetupWips || employees.size() != crashgen::kSetupEmployees
            || bookings.size() < crashgen::kSetupBookings) {
            std::fprintf(stderr, "the database lacks the test's rows\n");
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);

        for (qint64 k = args.at(3).toLongLong();; ++k) {
            // A WIP: every eighth round a new one, else the next one again.
            wip::WipRecord job;
            if (k % 8 == 0) {
                job.customer = crashgen::kCustomer;
                job.jobType = QStringLiteral("Water");
                job.status = QStringLiteral("Open");
            } else {
                const std::optional<wip::WipRecord> found = wip::loadWip(db, wips.at(k % wips.size()));
                if (!found)
                    throw data::DbError(QStringLiteral("-1"), QStringLiteral("a WIP went missing"));
                job = *found;
            }
            job.notes = crashgen::mark(k);
            const qint64 wipId = wip::saveWip(db, job, crashgen::contractors(k), stamp());
            if (job.id == 0)
                wips << wipId;
            committed('W', wipId, k);

            // An employee and the permissions of this generation.
            const qint64 employeeId = employees.at(k % employees.size());
            std::optional<EmployeeEntry::Employee> person = EmployeeEntry::loadEmployee(db, employeeId);
            if (!person)
                throw data::DbError(QStringLiteral("-1"), QStringLiteral("an employee went missing"));
            person->address2 = crashgen::mark(k);
            const auto saved = EmployeeEntry::save(
                db, *person, QString(), crashgen::permissions(k, permissions), { true, {} }, stamp());
            if (!std::holds_alternative<qint64>(saved))
                throw data::DbError(QStringLiteral("-1"), std::get<FieldProblem>(saved).text);
            committed('E', employeeId, k);

            // A booking: every fourth round a new one, else an existing one.
            staff::TimeRecord booking;
            if (k % 4 != 0) {
                const std::optional<staff::TimeRecord> found = staff::loadTime(db, bookings.at(k % bookings.size()));
                if (!found)
                    throw data::DbError(QStringLiteral("-1"), QStringLiteral("a booking went missing"));
                booking = *found;
            } else {
                booking.tranDate = QDateTime::currentDateTime();
            }
            booking.employeeId = employees.at(crashgen::employeeIndex(k));
            booking.wipId = wips.at(crashgen::wipIndex(k));
            booking.hours = crashgen::hours(k);
            booking.notes = crashgen::mark(k);
            const qint64 bookingId = staff::saveTime(db, booking, stamp());
            if (booking.id == 0)
                bookings << bookingId;
            committed('T', bookingId, k);
        }
    } catch (const data::DbError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 2;
    }
}
