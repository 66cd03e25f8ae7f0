// backends: sqlite postgres odbc
#include "app/Screens.h"
#include "base/Colors.h"
#include "settings/ui/frmWIPStatusEntry.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <memory>

class TestWipStatusEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<MDI> m_mdi;
    QPointer<frmWIPStatusEntry> m_screen;

    template <typename T = QLineEdit> T *child(const char *name) { return findControl<T>(m_screen, name); }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    bool open()
    {
        testdb::logIn(1, "admin", "Admin");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_screen = qobject_cast<frmWIPStatusEntry *>(m_mdi->openScreen("frmWIPStatusEntry"));
        return m_screen;
    }
    // The swatch's colour number, decimal text and painted colour.
    void expectSwatch(quint32 color)
    {
        QCOMPARE(m_screen->swatchColor(), color);
        QCOMPARE(child("txtColorCode")->text(), Colors::toDecimalText(color));
        QCOMPARE(child("txtColor")->palette().color(QPalette::Base), Colors::toQColor(color));
    }

private slots:
    void cleanup() { m_mdi.reset(); }

    // A refused name writes nothing and keeps what was typed; a saved one is
    // trimmed, white without a chosen colour, and leaves the screen empty
    // with the list reloaded in name order.
    void savingANewStatus_data()
    {
        columns<QString, QString>({ "typed", "message" });
        const QString required = QStringLiteral("Required Fields: Name is required before saving.");
        row("empty", QString(), required);
        row("blanks alone", QStringLiteral("   "), required);
        row("another's name, other case", QStringLiteral(" drying "),
            QStringLiteral(
                "Status Exists: There is already a status named \"drying\".  Please choose a different name."));
        row("blanks around", QStringLiteral("  Board Up "), QString());
    }
    void savingANewStatus()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        JT_FRESH_DB(db);
        QVERIFY(open());
        child("txtName")->setText(typed);
        click("btnSave");
        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        if (!message.isEmpty()) {
            QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIPStatus").toInt(), 7);
            QCOMPARE(child("txtName")->text(), typed);
            return;
        }
        QCOMPARE(testdb::scalar("SELECT ColorCode FROM WIPStatus WHERE Name = 'Board Up'").toString(),
            QStringLiteral("16777215"));
        QCOMPARE(child("txtName")->text(), QString());
        QCOMPARE(child("txtID")->text(), QString());
        auto *list = child<QComboBox>("cmbStatus");
        QCOMPARE(list->currentIndex(), -1);
        QStringList listed;
        for (int i = 0; i < list->count(); ++i)
            listed << list->itemText(i);
        QCOMPARE(listed,
            (QStringList { "Board Up", "Closed", "Drying", "Estimate", "In Progress", "Open", "Ready To Bill",
                "Waiting On Adjuster" }));
    }

    // Stored codes in either form show their colour, NULL or empty white.
    // The dialog opens at the swatch's colour; Cancel keeps it, OK takes
    // the choice; a save updates the same row with the decimal text.
    void coloursShownChosenAndSaved_data()
    {
        columns<QVariant, quint32>({ "stored", "shown" });
        row("NULL", QVariant(QMetaType(QMetaType::QString)), Colors::kWhite);
        row("empty", QVariant(QString()), Colors::kWhite);
        row("decimal", QVariant("8454143"), 8454143u);
        row("hexadecimal", QVariant("&H00C0C0FF"), 0x00C0C0FFu);
    }
    void coloursShownChosenAndSaved()
    {
        QFETCH(QVariant, stored);
        QFETCH(quint32, shown);
        JT_FRESH_DB(db);
        const qint64 id = testdb::insertRow("WIPStatus", { { "Name", "Mold Check" }, { "ColorCode", stored } });
        QVERIFY(open());
        auto *list = child<QComboBox>("cmbStatus");
        list->setCurrentIndex(list->findText("Mold Check"));
        emit list->activated(list->currentIndex());
        QCOMPARE(child("txtID")->text(), QString::number(id));
        expectSwatch(shown);

        Messages::setNextColor(std::nullopt);
        click("btnSelectColor");
        expectSwatch(shown);
        Messages::setNextColor(QColor(0x10, 0x20, 0x30));
        click("btnSelectColor");
        expectSwatch(0x302010u);
        QCOMPARE(Messages::colorDialogs(), (QList<QColor> { Colors::toQColor(shown), Colors::toQColor(shown) }));

        child("txtName")->setText("Mold Checked");
        click("btnSave");
        QCOMPARE(shownMessages(), QStringList());
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM WIPStatus").toInt(), 8);
        QCOMPARE(testdb::scalar("SELECT ColorCode FROM WIPStatus WHERE ID = ?", { id }).toString(),
            QStringLiteral("3153936"));
        expectSwatch(Colors::kWhite);
    }

    // The alert days: shown as stored, empty for none; a whole number from
    // 0 to 9999 (blanks around it allowed) is saved, anything else refused
    // with the box focused and nothing written.
    void alertDaysShownAndSaved_data()
    {
        columns<QString, QVariant, QString>({ "typed", "stored", "message" });
        const QString refused = QStringLiteral("Invalid Number: Alert after days in this status must be a whole "
                                               "number of days from 0 to 9999, or empty for no alert.");
        row("a number", QStringLiteral(" 21 "), QVariant(21), QString());
        row("none", QString(), QVariant(), QString());
        row("zero", QStringLiteral("0"), QVariant(0), QString());
        row("text", QStringLiteral("two weeks"), QVariant(14), refused);
        row("negative", QStringLiteral("-3"), QVariant(14), refused);
        row("fraction", QStringLiteral("2.5"), QVariant(14), refused);
    }
    void alertDaysShownAndSaved()
    {
        QFETCH(QString, typed);
        QFETCH(QVariant, stored);
        QFETCH(QString, message);
        JT_FRESH_DB(db);
        QVERIFY(open());
        m_mdi->show();
        m_mdi->activateWindow();
        auto *list = child<QComboBox>("cmbStatus");
        list->setCurrentIndex(list->findText("Waiting On Adjuster"));
        emit list->activated(list->currentIndex());
        QCOMPARE(child("txtAlertDays")->text(), QStringLiteral("14"));
        child("txtAlertDays")->setText(typed);
        click("btnSave");
        QCOMPARE(shownMessages(), message.isEmpty() ? QStringList() : QStringList { message });
        const QVariant now = testdb::scalar("SELECT AlertDays FROM WIPStatus WHERE Name = 'Waiting On Adjuster'");
        QCOMPARE(now.isNull(), stored.isNull());
        if (!stored.isNull())
            QCOMPARE(now.toInt(), stored.toInt());
        if (!message.isEmpty())
            QTRY_VERIFY(child("txtAlertDays")->hasFocus());
    }
};

QTEST_MAIN(TestWipStatusEntry)
#include "tst_wipstatusentry.moc"
