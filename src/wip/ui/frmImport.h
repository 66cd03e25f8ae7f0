#pragma once

#include "widgets/Screen.h"
#include "wip/ImportRules.h"

#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace wip {
class CustomerDirectory;
}

// "Ostrevan Import": finds a customer in the other application's customer
// file and hands its name, company, address and phone to the entry screen.
// The file is open from the screen's opening until it closes.
class frmImport : public Screen
{
    Q_OBJECT
public:
    explicit frmImport(AppContext &context);
    ~frmImport() override;

    // Fills the match list from the search box; the details are emptied.
    void LoadSearch();
    // Empties the detail boxes.
    void ClearData();

signals:
    // Import: the details as the boxes show them.
    void customerImported(const wip::ImportedCustomer &customer);
    // The screen closes, whichever way.
    void closed();

protected:
    // Opens the customer file and lists every customer. Throws
    // wip::CustomerFileError.
    void load() override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildUi();
    // LoadSearch, throwing.
    void fillMatches();
    void btnFind_Click();
    void cmbName_Click(int index);
    void btnImport_Click();
    void btnCancel_Click();

    std::unique_ptr<wip::CustomerDirectory> m_customers;

    QLineEdit *txtSearch = nullptr;
    QPushButton *btnFind = nullptr;
    QComboBox *cmbName = nullptr;
    QComboBox *cmbID = nullptr;
    QLineEdit *txtName = nullptr;
    QLineEdit *txtCompany = nullptr;
    QLineEdit *txtAddress = nullptr;
    QLineEdit *txtCity = nullptr;
    QLineEdit *txtState = nullptr;
    QLineEdit *txtZip = nullptr;
    QLineEdit *txtPhone = nullptr;
    QPushButton *btnImport = nullptr;
    QPushButton *btnCancel = nullptr;
};
