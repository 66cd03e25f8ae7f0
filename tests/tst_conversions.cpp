#include "base/Colors.h"
#include "base/DryingDays.h"
#include "base/Formats.h"
#include "base/Numbers.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

class TestConversions : public QObject
{
    Q_OBJECT
private slots:
    void safeNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
        QTest::newRow("decimal") << QStringLiteral("12.5") << 12.5;
        QTest::newRow("blank before") << QStringLiteral(" 7") << 7.0;
        QTest::newRow("blanks around") << QStringLiteral("  3.25  ") << 3.25;
        QTest::newRow("negative") << QStringLiteral("-4") << -4.0;
        QTest::newRow("word") << QStringLiteral("three") << 0.0;
        QTest::newRow("trailing junk") << QStringLiteral("12abc") << 0.0;
        QTest::newRow("only blanks") << QStringLiteral("   ") << 0.0;
        QTest::newRow("nan") << QStringLiteral("nan") << 0.0;
        QTest::newRow("inf") << QStringLiteral("-inf") << 0.0;
        QTest::newRow("overflow") << QStringLiteral("1e400") << 0.0;
    }
    void safeNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(SafeNumber(text), value);
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
        QTest::newRow("empty") << QString() << false << 0u;
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
        QCOMPARE(Colors::toHexText(Colors::kWindowBackground), QStringLiteral("&H80000005"));
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
