#pragma once

#include <QLatin1String>

// The names that decide who may do what, as the Permission table holds them.
// Every check names one of these, so that a misspelt name does not compile
// rather than silently denying access.
namespace Permissions {

inline constexpr QLatin1String companyInfo("Company Info");
inline constexpr QLatin1String employeeEntry("Employee Entry/Edit");
inline constexpr QLatin1String quickbooksSync("Quickbooks Sync");
inline constexpr QLatin1String wipEntry("WIPs Entry/Edit");
inline constexpr QLatin1String wipNavigator("WIPs Navigator");
inline constexpr QLatin1String timeManager("Employee Time Manager");
inline constexpr QLatin1String timeEntry("Employee Time Entry/Edit");
inline constexpr QLatin1String deleteTime("Delete Employee Time");
inline constexpr QLatin1String equipment("Equipment");
inline constexpr QLatin1String fieldEntry("Field Entry");

// Held by users of the type "Admin" only: no Permission row grants it.
inline constexpr QLatin1String administrators("(Administrators)");

} // namespace Permissions
