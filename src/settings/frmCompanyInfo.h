#pragma once

#include "settings/CompanyEntry.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

// "Company Settings": edits the single Company row. Saving writes the row,
// closes the screen and puts the new values in force at once.
class frmCompanyInfo : public QWidget
{
    Q_OBJECT
public:
    explicit frmCompanyInfo(QWidget *parent = nullptr);

    // A loaded screen, or nullptr (after the error has been shown) when the
    // database could not be read.
    static frmCompanyInfo *create();

    // Fills the state list and the boxes from the database. False (after the
    // error has been shown) when the database could not be read.
    bool loadScreen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildForm();
    void fillStates();
    void loadCompanyFields();
    void showPhone(QLineEdit *box, const QString &stored);
    void selectState(const QString &state);
    CompanyTexts texts() const;
    QWidget *boxFor(CompanyEntry::Field field) const;

    void btnSave_Click();
    void btnExit_Click();
    void txtKeyPressDelay_LostFocus();

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
    QLineEdit *txtDryingDays = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
};
