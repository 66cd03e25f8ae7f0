#pragma once

#include "widgets/FieldTable.h"
#include "widgets/Screen.h"
#include "wip/WipLists.h"
#include "wip/WipRecord.h"

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
class PhotoPanel;

namespace wip {
struct ImportedCustomer;
}

// WIP entry and edit: one job with its lookup lists, subcontractors, labour
// tab and photos tab. The screen holds the record it loaded (ID 0 for a WIP not saved
// yet); the field table moves it into the controls and back.
class frmWIPEntry : public Screen
{
    Q_OBJECT
public:
    explicit frmWIPEntry(AppContext &context);
    ~frmWIPEntry() override;

    // Loads one WIP into the screen; an ID that is zero or not a number does
    // nothing, an unknown ID keeps what the screen shows. Database errors are
    // reported; the screen keeps its contents.
    void LoadWIP(const QString &wipId);
    // Empties the screen for a new WIP; the lists keep their items.
    void ClearForm();
    // Refills the labour tab for the WIP shown: its bookings by date, then
    // employee, and their total. Database errors are reported.
    void LoadTime();
    // Takes a customer from the import: its name (with the company), address,
    // state and phone. A state not in the list is reported and leaves the
    // state as it was. Nothing is saved.
    void ImportCustomer(const wip::ImportedCustomer &customer);

    // The record as loaded or last saved.
    const wip::WipRecord &record() const { return m_record; }

protected:
    // Fills every list (the screen opens with no WIP loaded).
    void load() override;
    // Save, New, the import, the subcontractor buttons and the photos.
    void applyReadOnly() override;

private:
    // Builds the controls and their layouts (frmWIPEntryLayout.cpp).
    void buildUi();
    void wireUi();
    void buildFields();

    // Reads every list anew and fills them. Throws data::DbError.
    void reloadLists();
    // As LoadWIP, throwing data::DbError.
    void loadRecord(qint64 id);
    // Puts the lists held into their combos (all of them, or those named;
    // the others keep their items), none picked, and the date pickers on
    // today.
    void fillLists(const std::optional<QList<wip::WipList>> &only = std::nullopt);
    void refillLists(const std::optional<QList<wip::WipList>> &only);

    wip::WipRecord readForm() const;
    QStringList contractorsOnScreen() const;

    void btnSave_Click();
    void btnNew_Click();
    void btnExit_Click();
    void btnPrint_Click();
    void btnDryingLog_Click();
    void btnImport_Click();
    void importClosed();
    void cmbWIP_Click(int index);
    void dtStart_Change();
    void btnAddSubcontractor_Click();
    void btnDeleteSubcontractor_Click();
    // Opens the activated labour line in the time entry screen.
    void vsfgTime_DblClick();
    // The history tab, read when it is shown (and for the job shown while
    // it is); emptied otherwise, so a job's load does not read it.
    void LoadHistory();
    void SSTab1_Change();

    void setStatusColor(const QColor &color);
    void setDryingAlert(bool on);

    wip::WipRecord m_record;
    QStringList m_contractors; // the record's subcontractors as read
    wip::WipLists m_lists; // what the combos list, kept up to date by each save
    FieldTable<wip::WipRecord> m_fields;

    // Controls, named as their objectName.
    QComboBox *cmbWIP = nullptr;
    QComboBox *cmbWIPID = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnDryingLog = nullptr;
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

    QWidget *tabPhotos = nullptr;
    PhotoPanel *m_photos = nullptr;

    QWidget *tabHistory = nullptr;
    GridWidget *vsfgHistory = nullptr;
};
