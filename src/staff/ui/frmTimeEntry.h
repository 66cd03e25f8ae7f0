#pragma once

#include "staff/TimeEntry.h"
#include "widgets/FieldTable.h"
#include "widgets/Screen.h"

class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "Employee Time Entry": books the hours one employee worked on one job on
// one day, and shows, changes and deletes a booking. The menu opens it ready
// for a new entry; the time manager and a job's labour tab open a booking in
// it through LoadTime().
class frmTimeEntry : public Screen
{
    Q_OBJECT
public:
    explicit frmTimeEntry(AppContext &context);

    // Shows the booking with this ID; an ID with no row empties the form, an
    // empty one does nothing. Unsaved changes are offered for saving first
    // (Cancel keeps the screen as it is). Database errors are reported.
    void LoadTime(const QString &id);
    // Empties the form for a new entry; jobs and employees appended for
    // earlier bookings stay in the lists.
    void ClearTimeForm();

    const staff::TimeRecord &record() const { return m_record; }

    // Unsaved changes are offered for saving; Cancel, or a save that
    // failed, keeps the screen open.
    bool confirmClose() override;

protected:
    // Fills the lists and preselects the logged-in user when active.
    void load() override;
    // New, Save and Delete.
    void applyReadOnly() override;

private:
    void buildUi();
    void buildFields();

    // Shows a booking, appending its job or employee where the lists no
    // longer hold them.
    void showRecord(const staff::TimeRecord &record);
    void loadRecord(qint64 id);
    // Checks and saves; false when nothing was saved.
    bool save();
    // True when the screen may drop what it shows: nothing changed, or the
    // user saved (successfully) or dropped the changes.
    bool confirmLeave();

    void btnNew_Click();
    void btnSave_Click();
    void btnDelete_Click();
    void btnExit_Click();
    void txtHours_LostFocus();

    staff::TimeRecord m_record;
    FieldTable<staff::TimeRecord> m_fields;

    QLabel *lblID = nullptr;
    QComboBox *cmbEmployee = nullptr;
    QComboBox *cmbEmployeeID = nullptr;
    QDateTimeEdit *dtStartDate = nullptr;
    QComboBox *cmbWIP = nullptr;
    QComboBox *cmbWIPID = nullptr;
    QLineEdit *txtHours = nullptr;
    QPlainTextEdit *txtNotes = nullptr;
    QLabel *lblEntered = nullptr;
    QLabel *lblEdited = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnDelete = nullptr;
    QPushButton *btnExit = nullptr;
};
