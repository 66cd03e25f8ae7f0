#pragma once

#include "equipment/Rates.h"
#include "settings/CompanyEntry.h"
#include "widgets/FieldTable.h"
#include "widgets/Screen.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "Company Settings": edits the single Company row. Saving writes the row,
// closes the screen and puts the new values in force at once.
class frmCompanyInfo : public Screen
{
    Q_OBJECT
public:
    explicit frmCompanyInfo(AppContext &context);

protected:
    // Fills the state list and the boxes from the database.
    void load() override;

private:
    void buildForm();
    void buildFields();
    void selectState(const QString &state);
    void fillRates();
    // The rates as typed, or the first refused one (its cell focused).
    std::optional<QList<equipment::Rate>> readRates();

    void btnSave_Click();
    void btnExit_Click();
    void txtKeyPressDelay_LostFocus();

    // The row as loaded (texts of its boxes); empty for an empty table.
    CompanyTexts m_record;
    FieldTable<CompanyTexts> m_fields;
    // The equipment rates as loaded, one per type, in the table's row order.
    QList<equipment::Rate> m_rates;

    QLineEdit *txtCompany = nullptr;
    QLineEdit *txtAddress1 = nullptr;
    QLineEdit *txtAddress2 = nullptr;
    QLineEdit *txtCity = nullptr;
    QComboBox *cmbState = nullptr;
    QLineEdit *txtZip = nullptr;
    QLineEdit *txtPhone = nullptr;
    QLineEdit *txtFax = nullptr;
    QLineEdit *txtWebsite = nullptr;
    QLineEdit *txtEmail = nullptr;
    QLineEdit *txtKeyPressDelay = nullptr;
    QLineEdit *txtQBItem = nullptr;
    QLineEdit *txtQBDesc = nullptr;
    QLineEdit *txtQBAmount = nullptr;
    QLineEdit *txtBackupsToKeep = nullptr;
    QLineEdit *txtDryingDays = nullptr;
    QComboBox *cmbTemperatureUnit = nullptr;
    QCheckBox *chkDryingLogAlert = nullptr;
    QCheckBox *chkBillEquipmentDays = nullptr;
    QCheckBox *chkProgramBackups = nullptr;
    // Per equipment type: the type, its QuickBooks item and daily rate.
    QTableWidget *grdEquipmentRates = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
};
