#pragma once

#include "field/ServerRegistry.h"
#include "widgets/Screen.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// File > Field Page…: where the phones open the field page (its address and
// a QR code of it) and the fingerprint of its certificate to compare before
// trusting it; how to start the server when none is running.
class frmFieldPage : public Screen
{
    Q_OBJECT
public:
    explicit frmFieldPage(AppContext &context);

protected:
    void load() override;

private:
    void btnRefresh_Click();
    // Shows the server found, or how to start one.
    void showServer(const std::optional<field::ServerEntry> &server);
    QString howToStart() const;

    QLabel *lblFieldHowTo;
    QLabel *lblAddressCaption;
    QLineEdit *txtFieldAddress;
    QLabel *lblFieldQr;
    QLabel *lblFingerprintCaption;
    QLineEdit *txtFieldFingerprint;
    QLabel *lblFingerprintHint;
    QPushButton *btnRefresh;
    QPushButton *btnClose;
};
