#include "base/Colors.h"
#include "base/DryingDays.h"
#include "base/Formats.h"
#include "base/Numbers.h"
#include "data/Dates.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScopeGuard>
#include <QTest>
#include <cmath>
#include <limits>

class TestConversions : public QObject
{
    Q_OBJECT
private slots:
    // Every number box reads its text as it shows numbers, whatever the
    // machine's locale (German here, where "1.250" would be 1250): a point
    // before the decimals, commas only between thousands. A text that is no number is refused
    // by name; an empty box counts `whenEmpty` where the box has one.
    // SafeNumber, for texts the program wrote, reads the same way but gives 0
    // for what a box refuses.
    void typedNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("required"); // no value for an empty box
        QTest::addColumn<double>("value"); // NaN: refused
        QTest::addColumn<QString>("message");
        const double refused = std::numeric_limits<double>::quiet_NaN();
        const QString notNumber = QStringLiteral("The number of rugs must be a number: digits");
        QTest::newRow("empty, required") << QString() << true << refused << QStringLiteral("Enter the number of rugs.");
        QTest::newRow("decimal") << QStringLiteral("12.5") << true << 12.5 << QString();
        QTest::newRow("point, not grouping") << QStringLiteral("1.250") << true << 1.25 << QString();
        QTest::newRow("negative") << QStringLiteral(" -3 ") << true << -3.0 << QString();
        QTest::newRow("grouped") << QStringLiteral("1,250.50") << true << 1250.5 << QString();
        QTest::newRow("decimal comma") << QStringLiteral("1,5") << true << refused << notNumber;
        QTest::newRow("letter for a digit") << QStringLiteral("5o") << true << refused << notNumber;
        QTest::newRow("money") << QStringLiteral("$12") << true << refused << notNumber;
        QTest::newRow("inf") << QStringLiteral("-inf") << true << refused << notNumber;
        QTest::newRow("overflow") << QStringLiteral("1e400") << true << refused << notNumber;
    }
    void typedNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, required);
        QFETCH(double, value);
        QFETCH(QString, message);
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
        const auto typed = typedNumber(text, QStringLiteral("Rugs"), QStringLiteral("number of rugs"),
            required ? std::nullopt : std::optional<double>(0.0));
        if (std::isnan(value)) {
            const auto *problem = std::get_if<FieldProblem>(&typed);
            QVERIFY(problem);
            QCOMPARE(problem->field, QStringLiteral("Rugs"));
            QVERIFY2(problem->text.startsWith(message), qPrintable(problem->text));
        } else {
            QCOMPARE(std::get<double>(typed), value);
        }
        QCOMPARE(SafeNumber(text), std::isnan(value) ? 0.0 : value);
    }

    // Every date-time text a writer of the database leaves reads as the wall
    // clock it shows, zone dropped; the drivers' own types pass through.
    void stampForms_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QDateTime>("read");
        const QDate day(2026, 10, 28);
        const QDateTime eight(day, QTime(8, 0));
        QTest::newRow("ISO") << QVariant(QStringLiteral("2026-10-28T08:00:00")) << eight;
        QTest::newRow("blank for T") << QVariant(QStringLiteral("2026-10-28 08:00:00")) << eight;
        QTest::newRow("no seconds") << QVariant(QStringLiteral("2026-10-28T08:00")) << eight;
        QTest::newRow("milliseconds") << QVariant(QStringLiteral("2026-10-28T08:00:00.123"))
                                      << QDateTime(day, QTime(8, 0, 0, 123));
        QTest::newRow("microseconds") << QVariant(QStringLiteral("2026-10-28 08:00:00.123456"))
                                      << QDateTime(day, QTime(8, 0, 0, 123));
        QTest::newRow("Z") << QVariant(QStringLiteral("2026-10-28T08:00:00Z")) << eight;
        QTest::newRow("offset") << QVariant(QStringLiteral("2026-10-28T08:00:00+02:00")) << eight;
        QTest::newRow("date only") << QVariant(QStringLiteral("2026-10-28")) << day.startOfDay();
        QTest::newRow("QDateTime") << QVariant(eight) << eight;
        QTest::newRow("QDate") << QVariant(day) << day.startOfDay();
        QTest::newRow("no such day") << QVariant(QStringLiteral("2026-02-30")) << QDateTime();
        QTest::newRow("US form") << QVariant(QStringLiteral("10/28/2026")) << QDateTime();
        QTest::newRow("garbage") << QVariant(QStringLiteral("soon")) << QDateTime();
        QTest::newRow("NULL") << QVariant(QMetaType::fromType<QDateTime>()) << QDateTime();
    }
    void stampForms()
    {
        QFETCH(QVariant, value);
        QFETCH(QDateTime, read);
        QCOMPARE(data::dateTimeOf(value), read);
        QCOMPARE(data::dateOf(value), read.date());
    }

    void parsesColourTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<quint32>("value");
        QTest::newRow("decimal white") << QStringLiteral("16777215") << true << 0xFFFFFFu;
        QTest::newRow("hex window") << QStringLiteral("&H80000005") << true << 0x80000005u;
        QTest::newRow("hex lower, trailing &") << QStringLiteral("&h00c0ffc0&") << true << 0x00C0FFC0u;
        QTest::newRow("red") << QStringLiteral("255") << true << 255u;
        QTest::newRow("negative system") << QStringLiteral("-2147483643") << true << 0x80000005u;
        QTest::newRow("garbage") << QStringLiteral("blue") << false << 0u;
        QTest::newRow("bad hex") << QStringLiteral("&HXYZ") << false << 0u;
        QTest::newRow("too long hex") << QStringLiteral("&H123456789") << false << 0u;
    }
    void parsesColourTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(quint32, value);
        const auto parsed = Colors::parse(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void convertsToScreenColours()
    {
        // 0x00BBGGRR
        QCOMPARE(Colors::toQColor(255), QColor(255, 0, 0));
        QCOMPARE(Colors::toQColor(0xFF0000), QColor(0, 0, 255));
        QCOMPARE(Colors::fromQColor(QColor(0x12, 0x34, 0x56)), 0x563412u);
        QCOMPARE(Colors::toQColor(Colors::kWindowBackground), QGuiApplication::palette().color(QPalette::Base));
        QCOMPARE(Colors::toDecimalText(Colors::kWhite), QStringLiteral("16777215"));
        QCOMPARE(Colors::parseOr(QStringLiteral("oops"), Colors::kWindowBackground), Colors::kWindowBackground);
    }

    void formatsMoneyAndHours()
    {
        QCOMPARE(Formats::money(1000), QStringLiteral("$1,000.00"));
        QCOMPARE(Formats::money(0), QStringLiteral("$0.00"));
        QCOMPARE(Formats::money(33.333), QStringLiteral("$33.33"));
        QCOMPARE(Formats::money(1234567.891), QStringLiteral("$1,234,567.89"));
        QCOMPARE(Formats::money(-12.5), QStringLiteral("-$12.50"));
        QCOMPARE(Formats::money(-0.001), QStringLiteral("$0.00"));
        QCOMPARE(Formats::hours(3.75), QStringLiteral("3.75"));
        QCOMPARE(Formats::hours(2), QStringLiteral("2.00"));
        QCOMPARE(Formats::hours(12345.5), QStringLiteral("12,345.50"));
        QCOMPARE(Formats::plainNumber(3), QStringLiteral("3"));
        QCOMPARE(Formats::plainNumber(2.5), QStringLiteral("2.5"));
    }

    void stampsWhoAndWhen()
    {
        QCOMPARE(Formats::stamp(QVariant(), QVariant()), QStringLiteral(" - "));
        // The general date-and-time form: the year in full and the seconds.
        const QDateTime when(QDate(2026, 3, 30), QTime(14, 5, 9));
        const QString stamp = Formats::stamp(QStringLiteral("kwhitfield"), when);
        QVERIFY(stamp.startsWith(QStringLiteral("kwhitfield - ")));
        QVERIFY2(stamp.contains(QStringLiteral("2026")) && stamp.contains(QStringLiteral("05:09")), qPrintable(stamp));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        // (Newer locale data puts a narrow no-break space before PM.)
        QCOMPARE(us.toString(when, Formats::generalDateTimeFormat(us)).replace(QChar(0x202F), u' '),
            QStringLiteral("3/30/2026 2:05:09 PM"));
    }

    void dryingAlert_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("watched");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("alert");
        QTest::newRow("overdue") << QStringLiteral("Drying") << true << 10 << 7 << true;
        QTest::newRow("not watched") << QStringLiteral("Drying") << false << 10 << 7 << false;
        QTest::newRow("trailing blank") << QStringLiteral("Drying ") << true << 10 << 7 << false;
        QTest::newRow("lower case") << QStringLiteral("drying") << true << 10 << 7 << false;
        QTest::newRow("equal to limit") << QStringLiteral("Drying") << true << 10 << 10 << false;
        QTest::newRow("other status") << QStringLiteral("Closed") << true << 99 << 7 << false;
    }
    void dryingAlert()
    {
        QFETCH(QString, status);
        QFETCH(bool, watched);
        QFETCH(int, days);
        QFETCH(int, limit);
        QFETCH(bool, alert);
        QCOMPARE(DryingDays::inAlert(status, watched, days, limit), alert);
    }

    void countsCalendarDays()
    {
        const QDate today(2026, 12, 7);
        QCOMPARE(DryingDays::daysSince(QDate(2026, 11, 27), today), 10);
        QCOMPARE(DryingDays::daysSince(QDate(2026, 12, 10), today), -3);
        QCOMPARE(DryingDays::daysSince(QDate(2025, 12, 7), today), 365);
        QCOMPARE(DryingDays::daysSince(QDate(), today), 0);
    }
};

QTEST_MAIN(TestConversions)
#include "tst_conversions.moc"
