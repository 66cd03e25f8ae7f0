// The drying log's controls and layouts; behaviour is in frmDryingLog.cpp.
#include "drying/ui/frmDryingLog.h"

#include "data/Schema.h"
#include "widgets/GridWidget.h"
#include "widgets/PlainTextLimit.h"

#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton *button(const char *name, const char *text)
{
    return named(new QPushButton(QString::fromUtf8(text)), name);
}

QLineEdit *textBox(const char *name, int maxLength, int width = 0)
{
    auto *box = named(new QLineEdit, name);
    box->setMaxLength(maxLength);
    KeepWholeCharacters(box);
    if (width > 0) {
        box->setMinimumWidth(width * 3 / 4);
        box->setMaximumWidth(width);
    }
    return box;
}

QLabel *caption(const char *text, QWidget *buddy = nullptr)
{
    auto *label = new QLabel(QString::fromUtf8(text));
    label->setBuddy(buddy);
    return label;
}

// A value worked out as the user types: boxed, so that it reads as a result.
QLabel *result(const char *name)
{
    auto *label = named(new QLabel, name);
    label->setMinimumWidth(70);
    label->setFrameShape(QFrame::StyledPanel);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

void frmDryingLog::buildUi()
{
    // ---- rooms, at the left
    lstRooms = named(new QListWidget, "lstRooms");
    txtRoom = textBox("txtRoom", data::textWidth(QStringLiteral("DryingRoom"), QStringLiteral("Name")));
    txtRoom->setPlaceholderText(QStringLiteral("Room name"));
    chkAffected = named(new QCheckBox(QStringLiteral("Affected")), "chkAffected");
    chkAffected->setChecked(true);
    btnAddRoom = button("btnAddRoom", "Add");
    btnRenameRoom = button("btnRenameRoom", "Rename");
    btnDeleteRoom = button("btnDeleteRoom", "Delete");
    auto *rooms = named(new QGroupBox(QStringLiteral("Rooms")), "fraRooms");
    auto *roomsLayout = new QVBoxLayout(rooms);
    roomsLayout->addWidget(lstRooms, 1);
    roomsLayout->addWidget(txtRoom);
    roomsLayout->addWidget(chkAffected);
    auto *roomButtons = new QHBoxLayout;
    for (QPushButton *b : { btnAddRoom, btnRenameRoom, btnDeleteRoom })
        roomButtons->addWidget(b);
    roomsLayout->addLayout(roomButtons);

    // ---- "Atmosphere": the readings by day and the entry boxes
    vsfgReadings = named(new GridWidget, "vsfgReadings");
    vsfgReadings->setUserSortable(false);
    dtReading = named(new QDateTimeEdit, "dtReading");
    dtReading->setCalendarPopup(true);
    txtTemperature = textBox("txtTemperature", 8, 90);
    lblTemperatureUnit = named(new QLabel, "lblTemperatureUnit");
    txtHumidity = textBox("txtHumidity", 8, 90);
    lblGPP = result("lblGPP");
    lblDewPoint = result("lblDewPoint");
    btnSaveReading = button("btnSaveReading", "Save Reading");
    btnNewReading = button("btnNewReading", "New");
    btnDeleteReading = button("btnDeleteReading", "Delete");
    auto *entry = new QGridLayout;
    entry->addWidget(caption("Taken:", dtReading), 0, 0);
    entry->addWidget(dtReading, 0, 1);
    entry->addWidget(caption("Temperature:", txtTemperature), 0, 2);
    auto *temperature = new QHBoxLayout;
    temperature->addWidget(txtTemperature);
    temperature->addWidget(lblTemperatureUnit);
    entry->addLayout(temperature, 0, 3);
    entry->addWidget(caption("RH %:", txtHumidity), 0, 4);
    entry->addWidget(txtHumidity, 0, 5);
    entry->addWidget(caption("GPP:"), 1, 2);
    entry->addWidget(lblGPP, 1, 3);
    entry->addWidget(caption("Dew Point:"), 1, 4);
    entry->addWidget(lblDewPoint, 1, 5);
    entry->setColumnStretch(6, 1);
    auto *readingButtons = new QHBoxLayout;
    readingButtons->addStretch(1);
    for (QPushButton *b : { btnNewReading, btnDeleteReading, btnSaveReading })
        readingButtons->addWidget(b);
    auto *atmosphere = named(new QWidget, "tabAtmosphere");
    auto *atmosphereLayout = new QVBoxLayout(atmosphere);
    atmosphereLayout->addWidget(vsfgReadings, 1);
    atmosphereLayout->addLayout(entry);
    atmosphereLayout->addLayout(readingButtons);

    // ---- "Moisture Points": the points with their goals and daily values
    vsfgPoints = named(new GridWidget, "vsfgPoints");
    vsfgPoints->setUserSortable(false);
    const auto pointWidth = [](const char *column) {
        return data::textWidth(QStringLiteral("MoisturePoint"), QString::fromLatin1(column));
    };
    txtMaterial = textBox("txtMaterial", pointWidth("Material"));
    txtLocation = textBox("txtLocation", pointWidth("Location"));
    txtMeter = textBox("txtMeter", pointWidth("Meter"));
    txtMeter->setMinimumWidth(90);
    txtGoal = textBox("txtGoal", 8, 80);
    btnSavePoint = button("btnSavePoint", "Save Point");
    btnNewPoint = button("btnNewPoint", "New");
    btnDeletePoint = button("btnDeletePoint", "Delete");
    dtMoisture = named(new QDateEdit, "dtMoisture");
    dtMoisture->setCalendarPopup(true);
    txtMoisture = textBox("txtMoisture", 8, 80);
    btnSaveMoisture = button("btnSaveMoisture", "Save Value");
    auto *pointEntry = new QGridLayout;
    pointEntry->addWidget(caption("Material:", txtMaterial), 0, 0);
    pointEntry->addWidget(txtMaterial, 0, 1);
    pointEntry->addWidget(caption("Location:", txtLocation), 0, 2);
    pointEntry->addWidget(txtLocation, 0, 3);
    pointEntry->addWidget(caption("Meter:", txtMeter), 0, 4);
    pointEntry->addWidget(txtMeter, 0, 5);
    pointEntry->addWidget(caption("Dry Goal:", txtGoal), 0, 6);
    pointEntry->addWidget(txtGoal, 0, 7);
    auto *pointButtons = new QHBoxLayout;
    for (QPushButton *b : { btnNewPoint, btnDeletePoint, btnSavePoint })
        pointButtons->addWidget(b);
    pointEntry->addLayout(pointButtons, 0, 8);
    pointEntry->addWidget(caption("Day:", dtMoisture), 1, 0);
    pointEntry->addWidget(dtMoisture, 1, 1);
    pointEntry->addWidget(caption("Value:", txtMoisture), 1, 2);
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(txtMoisture);
    valueRow->addWidget(btnSaveMoisture);
    valueRow->addStretch(1);
    pointEntry->addLayout(valueRow, 1, 3);
    pointEntry->setColumnStretch(1, 2);
    pointEntry->setColumnStretch(3, 2);
    pointEntry->setColumnStretch(5, 1);
    auto *moisture = named(new QWidget, "tabMoisture");
    auto *moistureLayout = new QVBoxLayout(moisture);
    moistureLayout->addWidget(vsfgPoints, 1);
    moistureLayout->addLayout(pointEntry);

    tabLog = named(new QTabWidget, "tabLog");
    tabLog->addTab(atmosphere, QStringLiteral("Atmosphere"));
    tabLog->addTab(moisture, QStringLiteral("Moisture Points"));

    // ---- the charts, under the log
    chtMoisture = named(new QChartView, "chtMoisture");
    chtGPP = named(new QChartView, "chtGPP");
    for (QChartView *view : { chtMoisture, chtGPP }) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(220);
        view->setFocusPolicy(Qt::NoFocus);
    }
    auto *charts = named(new QSplitter(Qt::Horizontal), "splCharts");
    charts->addWidget(chtMoisture);
    charts->addWidget(chtGPP);

    auto *right = named(new QSplitter(Qt::Vertical), "splLog");
    right->addWidget(tabLog);
    right->addWidget(charts);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);

    auto *body = new QHBoxLayout;
    body->addWidget(rooms);
    body->addWidget(right, 1);
    rooms->setMaximumWidth(240);

    btnPrint = button("btnPrint", "Print");
    btnExit = button("btnExit", "Exit");
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnPrint);
    bottom->addWidget(btnExit);

    auto *main = new QVBoxLayout(this);
    main->addLayout(body, 1);
    main->addLayout(bottom);

    // Keyboard order: rooms, then the reading, then the points, then the buttons.
    QWidget *order[] = { lstRooms, txtRoom, chkAffected, btnAddRoom, btnRenameRoom, btnDeleteRoom, tabLog, vsfgReadings,
        dtReading, txtTemperature, txtHumidity, btnNewReading, btnDeleteReading, btnSaveReading, vsfgPoints,
        txtMaterial, txtLocation, txtMeter, txtGoal, btnNewPoint, btnDeletePoint, btnSavePoint, dtMoisture, txtMoisture,
        btnSaveMoisture, btnPrint, btnExit };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    resize(1000, 720);
}
