#include "staff/ui/frmTimeNavigator.h"

#include "base/Clock.h"
#include "base/Permissions.h"
#include "shell/AppContext.h"
#include "staff/TimeEntry.h"
#include "staff/TimeLines.h"
#include "staff/ui/Choices.h"
#include "staff/ui/TimeGrid.h"
#include "widgets/Build.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kWipHeader = QStringLiteral("WIP");

} // namespace

frmTimeNavigator::frmTimeNavigator(AppContext &context)
    : Screen(context, QStringLiteral("frmTimeNavigator"), QStringLiteral("Time Navigator"))
{
    buildUi();
}

void frmTimeNavigator::buildUi()
{
    cmbEmployee = build::pickList("cmbEmployee", 24, this);
    cmbEmployeeID = build::twin<QComboBox>("cmbEmployeeID", this);
    // The bounds carry the time of day they were set at; the pickers show it.
    dtStart = Choices::datePicker("dtStart", true, this);
    dtEnd = Choices::datePicker("dtEnd", true, this);
    btnRefresh = build::button("btnRefresh", u"Refresh", this);
    btnExit = build::button("btnExit", u"Exit", this);
    vsfgTime = build::named(new GridWidget(this), "vsfgTime");

    auto *top = new QHBoxLayout;
    top->addWidget(build::caption(u"Employee:", cmbEmployee, this));
    top->addWidget(cmbEmployee, 1);
    top->addSpacing(12);
    top->addWidget(build::caption(u"Date Range", dtStart, this));
    top->addWidget(dtStart);
    top->addWidget(build::caption(u"to", dtEnd, this));
    top->addWidget(dtEnd);
    top->addSpacing(12);
    top->addWidget(btnRefresh);
    top->addWidget(btnExit);
    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(vsfgTime, 1);

    for (QPushButton *button : { btnRefresh, btnExit })
        button->setAutoDefault(true);
    // Enter in the choices refreshes; in the grid it opens the booking.
    setDefaultButton(btnRefresh);
    build::tabOrder({ cmbEmployee, dtStart, dtEnd, btnRefresh, btnExit, vsfgTime });

    connect(btnRefresh, &QPushButton::clicked, this, &frmTimeNavigator::btnRefresh_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmTimeNavigator::btnExit_Click);
    connect(vsfgTime, &GridWidget::rowActivated, this, &frmTimeNavigator::vsfgTime_DblClick);
    connect(cmbEmployee, &QComboBox::currentIndexChanged, cmbEmployeeID, &QComboBox::setCurrentIndex);
}

void frmTimeNavigator::load()
{
    const bool everyone = context().HasPermission(Permissions::timeManager);
    Choices::fill(cmbEmployee, cmbEmployeeID, staff::listedEmployees(context().db(), everyone, context().UserID()));
    const QDateTime now = Clock::now();
    dtStart->setDateTime(now.addMonths(-1));
    dtEnd->setDateTime(now);
    refreshGrid();
}

void frmTimeNavigator::RefreshGrid()
{
    guarded([this] { refreshGrid(); });
}

void frmTimeNavigator::refreshGrid()
{
    const qint64 employee = Choices::selectedId(cmbEmployee, cmbEmployeeID);
    QList<staff::TimeLine> lines;
    if (employee != 0)
        lines = staff::employeeBookings(context().db(), employee, dtStart->dateTime(), dtEnd->dateTime());
    TimeGrid::fill(vsfgTime, kWipHeader, lines);
}

// ---- handlers

void frmTimeNavigator::btnRefresh_Click()
{
    if (cmbEmployee->currentIndex() < 0) {
        Messages::show(this, QStringLiteral("You must select and employee."), QStringLiteral("No Employee Selected"));
        return;
    }
    RefreshGrid();
}

void frmTimeNavigator::btnExit_Click()
{
    closeScreen();
}

void frmTimeNavigator::vsfgTime_DblClick()
{
    TimeGrid::openCurrentBooking(vsfgTime);
}
