#pragma once

#include <QString>
#include <functional>

// Program-wide values: set at start-up, at login and by the company settings.
extern QString gConnectionString;
extern QString gCustomerDatabasePath;
extern qint16 gUserID;
extern QString gUsername;
extern QString gUserType;
extern QString gCompanyName;
extern QString gCompanyAddress1;
extern QString gCompanyAddress2;
extern QString gCompanyCity;
extern QString gCompanyState;
extern QString gCompanyZip;
extern QString gCompanyPhone;
extern QString gCompanyFax;
extern QString gCompanyEmail;
extern QString gCompanyWebsite;
extern double gKeyPressDelay;
extern QString gQBItemName;
extern QString gQBItemDescription;
extern double gQBItemAmount;
extern qint32 gDryingDays;

// Reads <folder>/config.txt into gConnectionString and gCustomerDatabasePath.
// Throws ConfigError.
void ReadConfig(const QString &folder);

// (Re)reads the company row into the company values. Returns false, leaving
// the values as they are, when the Company table has no row. Throws
// data::DbError.
bool LoadCompanySettings();

// 0 for an empty or non-numeric text, else the text's value (blanks around
// the number allowed).
double SafeNumber(const QString &text);

// Executes EmployeeLogin / EmployeeLogoff with gUserID. Throw data::DbError.
void CallEmployeeLogin();
void CallEmployeeLogoff();

// Ends the user's work: logs off a logged-in user, closes the connection and
// hands over to the end-of-program hook (the main window installs one that
// closes every window and quits).
void ShutDown();
void SetShutDownHook(std::function<void()> hook);

// Puts the program-wide values (and the count of failed logins) back to their
// initial state (tests start each case from here).
void ResetProgramValues();

// Whether the logged-in user holds the named permission. A user of type
// "Admin" (exact case) holds every permission. Throws data::DbError.
bool HasPermission(const QString &name);
