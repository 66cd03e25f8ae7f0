#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

namespace data {

class Connection;

struct DemoOptions
{
    int jobs = 200;
    int bookingsPerJob = 10;
    unsigned seed = 20110330;
    // Reference day for start dates and bookings; the demo always looks
    // current on the day it is seeded.
    QDate today;
};

// Fills the database with realistic, deterministic demo data: a
// company row (when there is none), employees with logins and permissions,
// customers' jobs of every type and status (drying jobs among them, some in
// alert, three of them with a drying log), subcontractors and time bookings.
// Rows go in by bulk load (BulkLoad.h) in one transaction, so 100,000 jobs
// take seconds, not minutes.
// Throws DbError.
void seedDemo(Connection &db, const DemoOptions &options, const std::function<void(const QString &)> &progress = {});

// Adds the first employee of type "Admin" with a hashed password.
// Throws DbError (or std::invalid_argument for an empty user name/password).
int addAdministrator(Connection &db, const QString &username, const QString &password);

} // namespace data
