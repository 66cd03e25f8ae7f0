#pragma once

#include "widgets/Screen.h"

class GridWidget;
class QComboBox;
class QDateTimeEdit;
class QPushButton;

// "Time Navigator": the bookings of one employee within a date range, oldest
// first, each opened in the time entry screen on activation. A holder of
// "Employee Time Manager" may pick any active employee; anybody else only
// themselves.
class frmTimeNavigator : public Screen
{
    Q_OBJECT
public:
    explicit frmTimeNavigator(AppContext &context);

    // Rebuilds the grid from the current choices (the header only while no
    // employee is picked). A database error is reported and the grid keeps
    // its rows.
    void RefreshGrid();

protected:
    // Lists the employees, sets the range to the month up to now and shows
    // the header row.
    void load() override;

private:
    void buildUi();
    void refreshGrid();

    void btnRefresh_Click();
    void btnExit_Click();
    void vsfgTime_DblClick();

    QComboBox *cmbEmployee = nullptr;
    QComboBox *cmbEmployeeID = nullptr;
    QDateTimeEdit *dtStart = nullptr;
    QDateTimeEdit *dtEnd = nullptr;
    QPushButton *btnRefresh = nullptr;
    QPushButton *btnExit = nullptr;
    GridWidget *vsfgTime = nullptr;
};
