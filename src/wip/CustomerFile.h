#pragma once

#include "base/Config.h"
#include "wip/CustomerDirectory.h"

#include <QString>
#include <memory>
#include <optional>

namespace wip {

// The password the other application gives its customer file.
inline constexpr char kDefaultCustomerFilePassword[] = "KVZ";

// Where the customer file is, and the password to check it with.
struct CustomerFileLocation
{
    QString path;
    QString password;
};

// The path is config.txt's customer database path, taken from config.txt's
// folder when it is not absolute. The password is Password in the group
// [CustomerFile] of settings.ini beside config.txt, or by default the other
// application's.
CustomerFileLocation customerFileLocation(const ConfigValues &config);

// Opens the customer file (an Access .mdb, or an .accdb the reader knows)
// read-only and reads its table tblCustomers whole, by the reader program
// with a time limit of 20 s (it may crash or hang on a damaged file, or
// stall on a hung share), after checking from the file's start it hands back
// that the password opens it. A path that is not a regular file is refused
// without being opened. Throws CustomerFileError.
std::unique_ptr<CustomerDirectory> openCustomerFile(const CustomerFileLocation &location);

// The reader program, jobtracker-customer-reader: beside the running
// program's executable, unless set (tests and benchmarks run elsewhere).
QString customerReaderPath();
void setCustomerReaderPath(const QString &path);

// The customers in the reader's output (see CustomerFileFormat.h). Throws
// CustomerFileError with the message for what the reader reports (not an
// Access file, a wrong password, no table, a column missing, ...); nothing
// when the output stops short of its end (the reader died or was stopped)
// or is not the reader's. The location's password is checked against the
// file's start; its path is for the messages.
std::optional<QList<Customer>> decodeReaderOutput(const QByteArray &output, const CustomerFileLocation &location);

} // namespace wip
