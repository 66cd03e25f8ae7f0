#pragma once

#include "settings/WipStatus.h"
#include "widgets/Screen.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// "WIP Status Entry/Edit": the job statuses and the colours the board paints
// them in. Adds, renames and recolours; never deletes.
class frmWIPStatusEntry : public Screen
{
    Q_OBJECT
public:
    explicit frmWIPStatusEntry(AppContext &context);

    // The colour the swatch shows, 0x00BBGGRR (or a system colour).
    quint32 swatchColor() const { return m_color; }

protected:
    void load() override;

private:
    void buildForm();
    void LoadStatusList();
    void ClearStatusFields();
    void ShowStatus();
    void setSwatch(quint32 color);

    void cmbStatus_Click(int index);
    void btnSelectColor_Click();
    void btnNew_Click();
    void btnSave_Click();
    void btnExit_Click();

    quint32 m_color = 0;
    // The version of the status on the screen as read; invalid for a new one.
    QVariant m_rowVersion;
    data::Fields m_loaded; // the shown status's columns as read

    QComboBox *cmbStatus = nullptr;
    QComboBox *cmbStatusID = nullptr;
    QLineEdit *txtID = nullptr;
    QLineEdit *txtName = nullptr;
    QLineEdit *txtAlertDays = nullptr;
    QLineEdit *txtColor = nullptr;
    QLineEdit *txtColorCode = nullptr;
    QPushButton *btnSelectColor = nullptr;
    QPushButton *btnNew = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnExit = nullptr;
};
