#pragma once

#include "wip/WipRecord.h"

#include <QWidget>

class MDI;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class GridWidget;

namespace wip {
struct WipLists;
}

// WIP entry and edit: one job with its lookup lists, subcontractors and
// labour tab. The controls are the record; lblID tells which row it is
// (empty for a WIP not saved yet).
class frmWIPEntry : public QWidget
{
    Q_OBJECT
public:
    explicit frmWIPEntry(QWidget *parent = nullptr);
    ~frmWIPEntry() override;

    // Opens the single instance in the main window (or returns the open one).
    static frmWIPEntry *openIn(MDI *mdi);
    // As openIn(), then brings it to the front in its normal state; the
    // navigator follows this with LoadWIP().
    static frmWIPEntry *showIn(MDI *mdi);

    // Loads one WIP into the screen; an ID that is zero or not a number does
    // nothing, an unknown ID keeps what the screen shows. Database errors are
    // reported; the screen keeps its contents.
    void LoadWIP(const QString &wipId);
    // Refills every list and puts the date pickers on today.
    void ReloadValues();
    // Empties the screen for a new WIP; the lists keep their items.
    void ClearForm();
    // Refills the labour tab for the WIP in lblID.
    void LoadTime();

private:
    // Builds the controls and their layouts (frmWIPEntryLayout.cpp).
    void buildUi();
    void wireUi();

    // As the public procedures, throwing data::DbError.
    void reloadLists();
    void loadRecord(qint64 id);
    void fillLists(const wip::WipLists &lists);

    wip::WipRecord readForm() const;
    QStringList contractorsOnScreen() const;
    qint64 currentId() const;

    void onSave();
    void onNew();
    void onExit();
    void onPrint();
    void onImport();
    void onPickWip(int index);
    void onStartDatePicked();
    void onAddSubcontractor();
    void onDeleteSubcontractor();

    void setStatusColor(const QColor &color);
    void setDryingAlert(bool on);

    // Controls, named as their objectName.
    QComboBox *cmbWIP = nullptr;
    QComboBox *cmbWIPID = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnExit = nullptr;
    QTabWidget *SSTab1 = nullptr;

    QLabel *lblID = nullptr;
    QComboBox *cmbCustomer = nullptr;
    QPushButton *btnImport = nullptr;
    QLineEdit *txtAddress = nullptr;
    QLineEdit *txtCity = nullptr;
    QComboBox *cmbState = nullptr;
    QLineEdit *txtZip = nullptr;
    QLineEdit *txtPhone = nullptr;
    QComboBox *cmbType = nullptr;
    QComboBox *cmbStatus = nullptr;
    QComboBox *cmbRep = nullptr;
    QDateEdit *dtStart = nullptr;
    QCheckBox *chkDryingDays = nullptr;
    QLabel *lblDryingDays = nullptr;
    QComboBox *cmbInsurance = nullptr;
    QComboBox *cmbAgent = nullptr;
    QComboBox *cmbAdjuster = nullptr;
    QLineEdit *txtPaperwork = nullptr;
    QLineEdit *txtInitialScope = nullptr;
    QComboBox *cmbSoftware = nullptr;
    QComboBox *cmbPayment = nullptr;
    QLineEdit *txtRugs = nullptr;
    QCheckBox *chkRugs = nullptr;
    QCheckBox *chkItel = nullptr;
    QDateEdit *dtItel = nullptr;
    QDateEdit *dtAdjusterUpdated = nullptr;
    QComboBox *cmbAdjusterUpdated = nullptr;
    QLineEdit *txtCarpetRooms = nullptr;
    QLineEdit *txtHowHear = nullptr;
    QLineEdit *txtTime = nullptr;
    QComboBox *cmbTypeOfService = nullptr;
    QCheckBox *chkEstimate = nullptr;
    QCheckBox *chkBilled = nullptr;
    QCheckBox *chkCOS = nullptr;
    QCheckBox *chkMoveout = nullptr;
    QCheckBox *chkHVAC = nullptr;
    QCheckBox *chkContents = nullptr;
    QCheckBox *chkPhotos = nullptr;
    QPlainTextEdit *txtNotes = nullptr;
    QComboBox *cmbSubcontractor = nullptr;
    QPushButton *btnAddSubcontractor = nullptr;
    QPushButton *btnDeleteSubcontractor = nullptr;
    QListWidget *lstSubcontractor = nullptr;
    QLabel *lblEntered = nullptr;
    QLabel *lblEdited = nullptr;
    QLabel *lblBilled = nullptr;
    QLabel *lblRatePerHour = nullptr;
    QLabel *lblInvoice = nullptr;

    GridWidget *vsfgTime = nullptr;
    QLabel *lblTotalHours = nullptr;
};
