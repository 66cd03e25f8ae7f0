#pragma once

#include "widgets/Messages.h"

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
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

// Hostile texts, tag and text: quotes, an injection, wildcards, tabs and
// line breaks, emoji, accents, right-to-left script, 10,000 characters,
// empty, blanks only and padded.
const QList<QPair<QString, QString>> &hostileTexts();

// Every message shown so far as "title: text", marked " (!)" for the
// exclamation icon and " (buttons)" when it offers more than OK.
QStringList shownMessages();

// The EmployeeLog rows in order: (UserID, Action).
using LogRow = QPair<int, QString>;
QList<LogRow> employeeLog();

// The rows of a CSV text, each a list of fields; quoted fields may hold
// commas, doubled quotes and line breaks. Lines end in CR LF.
QList<QStringList> parseCsv(const QString &text);

// The text of a PDF (or of its page `page`, counted from 1), as pdftotext
// reads it in the order it was painted, with runs of blanks and line breaks
// as one blank.
QString pdfText(const QString &path, int page = 0);

// The control of a screen with this object name; the test program stops when
// there is none (a renamed control, not a failed check).
template <typename T = QWidget> T *findControl(const QObject *screen, const char *name)
{
    T *control = screen ? screen->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    if (!control)
        qFatal("no control %s", name);
    return control;
}

// The texts of a combo's or list's items, in order.
template <typename View> QStringList itemTexts(const View *view)
{
    QStringList texts;
    for (int i = 0; i < view->model()->rowCount(); ++i)
        texts << view->model()->index(i, 0).data().toString();
    return texts;
}
