#pragma once

#include "widgets/Messages.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QTest>
#include <initializer_list>

// Table helpers: columns<int, QString>({ "a", "b" }) and row("tag", 1, "x").
template <typename... T> void columns(std::initializer_list<const char *> names)
{
    auto name = names.begin();
    (QTest::addColumn<T>(*name++), ...);
}
template <typename... T> void row(const char *tag, const T &...values)
{
    (QTest::newRow(tag) << ... << values);
}

// Every message shown so far as "title: text", marked " (!)" for the
// exclamation icon and " (buttons)" when it offers more than OK.
QStringList shownMessages();

// The EmployeeLog rows in order: (UserID, Action).
using LogRow = QPair<int, QString>;
QList<LogRow> employeeLog();
