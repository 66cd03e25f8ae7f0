// The drying log's controls and layouts; behaviour is in frmDryingLog.cpp.
#include "drying/ui/frmDryingLog.h"

#include "data/Schema.h"
#include "equipment/ui/EquipmentPanel.h"
#include "photos/ui/PhotoPanel.h"
#include "widgets/Build.h"
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

// A box of a number or a short text, narrow when `width` is given.
QLineEdit *entryBox(const char *name, int maxLength, int width = 0)
{
    QLineEdit *box = build::textBox(name, maxLength);
    if (width > 0) {
        box->setMinimumWidth(width * 3 / 4);
        box->setMaximumWidth(width);
    }
    return box;
}

// A value worked out as the user types: boxed, so that it reads as a result.
QLabel *result(const char *name)
{
    QLabel *label = build::valueLabel(name);
    label->setMinimumWidth(70);
    label->setFrameShape(QFrame::StyledPanel);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// A box after its caption in a row of a grid; the box may stand in a layout
// of its own (beside its unit, its button).
struct Captioned
{
    QStringView caption;
    QWidget *box;
    QLayout *layout = nullptr;
};

void addCaptioned(QGridLayout *grid, int row, int column, std::initializer_list<Captioned> boxes)
{
    for (const Captioned &each : boxes) {
        grid->addWidget(build::caption(each.caption, each.box), row, column++);
        if (each.layout)
            grid->addLayout(each.layout, row, column++);
        else
            grid->addWidget(each.box, row, column++);
    }
}

} // namespace

void frmDryingLog::buildUi()
{
    // ---- rooms, at the left
    lstRooms = build::named(new QListWidget, "lstRooms");
    txtRoom = entryBox("txtRoom", data::textWidth(QStringLiteral("DryingRoom"), QStringLiteral("Name")));
    txtRoom->setPlaceholderText(QStringLiteral("Room name"));
    KeepWholeCharacters(txtRoom);
    chkAffected = build::checkBox("chkAffected", u"Affected");
    chkAffected->setChecked(true);
    btnAddRoom = build::button("btnAddRoom", u"Add");
    btnRenameRoom = build::button("btnRenameRoom", u"Rename");
    btnDeleteRoom = build::button("btnDeleteRoom", u"Delete");
    auto *rooms = build::named(new QGroupBox(QStringLiteral("Rooms")), "fraRooms");
    auto *roomsLayout = new QVBoxLayout(rooms);
    roomsLayout->addWidget(lstRooms, 1);
    roomsLayout->addWidget(txtRoom);
    roomsLayout->addWidget(chkAffected);
    auto *roomButtons = new QHBoxLayout;
    for (QPushButton *b : { btnAddRoom, btnRenameRoom, btnDeleteRoom })
        roomButtons->addWidget(b);
    roomsLayout->addLayout(roomButtons);

    // ---- "Atmosphere": the readings by day and the entry boxes
    vsfgReadings = build::named(new GridWidget, "vsfgReadings");
    vsfgReadings->setUserSortable(false);
    dtReading = build::dateTimePicker("dtReading");
    txtTemperature = entryBox("txtTemperature", 8, 90);
    lblTemperatureUnit = build::label("lblTemperatureUnit");
    txtHumidity = entryBox("txtHumidity", 8, 90);
    lblGPP = result("lblGPP");
    lblDewPoint = result("lblDewPoint");
    btnSaveReading = build::button("btnSaveReading", u"Save Reading");
    btnNewReading = build::button("btnNewReading", u"New");
    btnDeleteReading = build::button("btnDeleteReading", u"Delete");
    auto *entry = new QGridLayout;
    auto *temperature = new QHBoxLayout;
    temperature->addWidget(txtTemperature);
    temperature->addWidget(lblTemperatureUnit);
    addCaptioned(entry, 0, 0,
        { { u"Taken:", dtReading }, { u"Temperature:", txtTemperature, temperature }, { u"RH %:", txtHumidity } });
    addCaptioned(entry, 1, 2, { { u"GPP:", lblGPP }, { u"Dew Point:", lblDewPoint } });
    entry->setColumnStretch(6, 1);
    auto *readingButtons = new QHBoxLayout;
    readingButtons->addStretch(1);
    for (QPushButton *b : { btnNewReading, btnDeleteReading, btnSaveReading })
        readingButtons->addWidget(b);
    auto *atmosphere = build::named(new QWidget, "tabAtmosphere");
    auto *atmosphereLayout = new QVBoxLayout(atmosphere);
    atmosphereLayout->addWidget(vsfgReadings, 1);
    atmosphereLayout->addLayout(entry);
    atmosphereLayout->addLayout(readingButtons);

    // ---- "Moisture Points": the points with their goals and daily values
    vsfgPoints = build::named(new GridWidget, "vsfgPoints");
    vsfgPoints->setUserSortable(false);
    const auto pointWidth = [](const char *column) {
        return data::textWidth(QStringLiteral("MoisturePoint"), QString::fromLatin1(column));
    };
    txtMaterial = entryBox("txtMaterial", pointWidth("Material"));
    txtLocation = entryBox("txtLocation", pointWidth("Location"));
    txtMeter = entryBox("txtMeter", pointWidth("Meter"));
    txtMeter->setMinimumWidth(90);
    txtGoal = entryBox("txtGoal", 8, 80);
    btnSavePoint = build::button("btnSavePoint", u"Save Point");
    btnNewPoint = build::button("btnNewPoint", u"New");
    btnDeletePoint = build::button("btnDeletePoint", u"Delete");
    dtMoisture = build::datePicker("dtMoisture");
    txtMoisture = entryBox("txtMoisture", 8, 80);
    btnSaveMoisture = build::button("btnSaveMoisture", u"Save Value");
    auto *pointEntry = new QGridLayout;
    addCaptioned(pointEntry, 0, 0,
        { { u"Material:", txtMaterial }, { u"Location:", txtLocation }, { u"Meter:", txtMeter },
            { u"Dry Goal:", txtGoal } });
    auto *pointButtons = new QHBoxLayout;
    for (QPushButton *b : { btnNewPoint, btnDeletePoint, btnSavePoint })
        pointButtons->addWidget(b);
    pointEntry->addLayout(pointButtons, 0, 8);
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(txtMoisture);
    valueRow->addWidget(btnSaveMoisture);
    valueRow->addStretch(1);
    addCaptioned(pointEntry, 1, 0, { { u"Day:", dtMoisture }, { u"Value:", txtMoisture, valueRow } });
    pointEntry->setColumnStretch(1, 2);
    pointEntry->setColumnStretch(3, 2);
    pointEntry->setColumnStretch(5, 1);
    auto *moisture = build::named(new QWidget, "tabMoisture");
    auto *moistureLayout = new QVBoxLayout(moisture);
    moistureLayout->addWidget(vsfgPoints, 1);
    moistureLayout->addLayout(pointEntry);

    tabLog = build::named(new QTabWidget, "tabLog");
    tabLog->addTab(atmosphere, QStringLiteral("Atmosphere"));
    tabLog->addTab(moisture, QStringLiteral("Moisture Points"));
    pnlEquipment = new EquipmentPanel(context());
    pnlEquipment->setWriteCheck([this] { return maySave(); });
    tabLog->addTab(pnlEquipment, QStringLiteral("Equipment"));

    // ---- the charts, under the log
    chtMoisture = build::named(new QChartView, "chtMoisture");
    chtGPP = build::named(new QChartView, "chtGPP");
    for (QChartView *view : { chtMoisture, chtGPP }) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumHeight(220);
        view->setFocusPolicy(Qt::NoFocus);
    }
    auto *charts = build::named(new QSplitter(Qt::Horizontal), "splCharts");
    charts->addWidget(chtMoisture);
    charts->addWidget(chtGPP);

    // ---- the photos of the room (or of its chosen point), under the log in
    // a tab beside the charts: as wide as the charts, and in view while the
    // room's readings and points are
    lblRoomPhotos = build::valueLabel("lblRoomPhotos");
    pnlPhotos = new PhotoPanel(
        context(), { "lstRoomPhotos", "btnAddRoomPhotos", "btnDeleteRoomPhoto", "txtRoomPhotoCaption" });
    pnlPhotos->setWriteCheck([this] { return maySave(); });
    auto *photos = build::named(new QWidget, "tabRoomPhotos");
    auto *photosLayout = new QVBoxLayout(photos);
    photosLayout->addWidget(lblRoomPhotos);
    photosLayout->addWidget(pnlPhotos, 1);
    tabLower = build::named(new QTabWidget, "tabLower");
    tabLower->addTab(charts, QStringLiteral("Charts"));
    tabLower->addTab(photos, QStringLiteral("Photos"));

    auto *right = build::named(new QSplitter(Qt::Vertical), "splLog");
    right->addWidget(tabLog);
    right->addWidget(tabLower);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 2);

    auto *body = new QHBoxLayout;
    body->addWidget(rooms);
    body->addWidget(right, 1);
    rooms->setMaximumWidth(240);

    btnPrint = build::button("btnPrint", u"Print");
    btnExit = build::button("btnExit", u"Exit");
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnPrint);
    bottom->addWidget(btnExit);

    auto *main = new QVBoxLayout(this);
    main->addLayout(body, 1);
    main->addLayout(bottom);

    // Keyboard order: rooms, then the reading, then the points, then the buttons.
    build::tabOrder({ lstRooms, txtRoom, chkAffected, btnAddRoom, btnRenameRoom, btnDeleteRoom, tabLog, vsfgReadings,
        dtReading, txtTemperature, txtHumidity, btnNewReading, btnDeleteReading, btnSaveReading, vsfgPoints,
        txtMaterial, txtLocation, txtMeter, txtGoal, btnNewPoint, btnDeletePoint, btnSavePoint, dtMoisture, txtMoisture,
        btnSaveMoisture, tabLower, findChild<QWidget *>(QStringLiteral("lstRoomPhotos")),
        findChild<QWidget *>(QStringLiteral("txtRoomPhotoCaption")),
        findChild<QWidget *>(QStringLiteral("btnAddRoomPhotos")),
        findChild<QWidget *>(QStringLiteral("btnDeleteRoomPhoto")), btnPrint, btnExit });
    resize(1000, 720);
}
