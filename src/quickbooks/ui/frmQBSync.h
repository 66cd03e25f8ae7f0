#pragma once

#include "quickbooks/QboGateway.h"
#include "widgets/Screen.h"

#include <QHash>
#include <QUrl>
#include <functional>
#include <memory>

class GridWidget;
class QLabel;
class QPushButton;

namespace qb {
class QboAuth;
class SecretStore;
class SignIn;
struct SignInAnswer;
} // namespace qb

// QuickBooks sync: lists the open WIPs; the ticked ones are sent to
// QuickBooks Online as invoices (or, when invoiced before, their invoice's
// amount is read back), each row showing its outcome.
//
// While a call is under way the window keeps repainting, the hourglass
// shows and the program takes no input; each call has a time-out.
class frmQBSync : public Screen
{
    Q_OBJECT
public:
    explicit frmQBSync(AppContext &context);
    ~frmQBSync() override;

    // Refills the list from the database; ticks and results are lost.
    void LoadNewWIPs();

    // Whether a QuickBooks call is under way.
    bool isBusy() const { return m_busy; }

    QSize sizeHint() const override;

    // ---- seams for the tests
    // How the consent page is opened (the desktop's browser by default).
    void setBrowser(std::function<void(const QUrl &)> browser) { m_browser = std::move(browser); }
    void setRetryPolicy(const qb::RetryPolicy &policy);

protected:
    void load() override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class Busy;

    void buildUi();
    void btnNewSelectAll_Click();
    void btnNewSelectNone_Click();
    void btnRefreshNew_Click();
    void btnSendNewInvoices_Click();
    void btnExit_Click();
    void btnConnectQB_Click();
    // Exchanges the consent page's code and keeps the company it named;
    // empty when connected, else why not.
    QString finishConnect(qb::SignIn &signIn, const qb::SignInAnswer &answer);

    void tickAll(bool on);
    // Sends one ticked row; false when it failed (its Result says why).
    bool sendRow(int row);
    QString settingsFile() const;
    // The gateway on the settings as they are in the file now.
    qb::AccountingGateway &gateway();
    void dropGateway();
    void showConnection();

    GridWidget *vsfgNew = nullptr;
    QPushButton *btnNewSelectAll = nullptr;
    QPushButton *btnNewSelectNone = nullptr;
    QPushButton *btnRefreshNew = nullptr;
    QPushButton *btnSendNewInvoices = nullptr;
    QPushButton *btnExit = nullptr;
    QPushButton *btnConnectQB = nullptr;
    QLabel *lblQBConnection = nullptr;

    std::unique_ptr<qb::SecretStore> m_secrets;
    std::unique_ptr<qb::QboAuth> m_auth;
    std::unique_ptr<qb::QboGateway> m_gateway;
    qb::RetryPolicy m_policy;
    bool m_policySet = false;
    std::function<void(const QUrl &)> m_browser;

    bool m_busy = false;
    // Attempts at each WIP's invoice in this run, for its requestid.
    QHash<qint64, int> m_attempts;
    QString m_runTag;
};
