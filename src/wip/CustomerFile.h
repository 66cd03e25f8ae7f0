#pragma once

#include "base/Config.h"
#include "wip/CustomerDirectory.h"

#include <QString>
#include <memory>

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
// read-only, after checking that the password opens it, and reads its table
// tblCustomers whole (in a child process with a time limit: the reader may
// crash or hang on a damaged file). Throws CustomerFileError.
std::unique_ptr<CustomerDirectory> openCustomerFile(const CustomerFileLocation &location);

} // namespace wip
