#include "quickbooks/ui/dlgQBConnect.h"

#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("Connect to QuickBooks");
} // namespace

dlgQBConnect::dlgQBConnect(qb::SignIn &signIn, int timeoutMs, QWidget *parent)
    : QDialog(parent)
    , m_signIn(signIn)
    , m_deadline(timeoutMs)
{
    setObjectName(QStringLiteral("dlgQBConnect"));
    setWindowTitle(kTitle);
    setModal(true);

    lblConnectWait = build::label("lblConnectWait", {}, this);
    lblRedirect = build::label("lblRedirect", {}, this);
    lblRedirect->setWordWrap(true);
    lblRedirect->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtRedirectedUrl = build::textBox("txtRedirectedUrl", 8192, this);
    btnFinishConnect = build::button("btnFinishConnect", u"Finish", this);
    btnCancelConnect = build::button("btnCancelConnect", u"Cancel", this);

    const QString listener = signIn.listeningAt();
    QString where;
    if (!signIn.isConfigured())
        where = QStringLiteral("No RedirectUri is set in quickbooks.ini: the answer comes to %1, which QuickBooks "
                               "accepts only if it is registered for the app as it is. Register the app's redirect "
                               "address (for sandbox keys e.g. http://localhost:8765/callback) and set RedirectUri "
                               "to it.")
                    .arg(signIn.redirectUri());
    else if (!listener.isEmpty())
        where = QStringLiteral("The answer comes back through %1 to %2.").arg(signIn.redirectUri(), listener);
    else
        where = QStringLiteral("The answer comes back to %1.").arg(signIn.redirectUri());
    lblRedirect->setText(where);

    auto *paste = new QHBoxLayout;
    paste->addWidget(txtRedirectedUrl, 1);
    paste->addWidget(btnFinishConnect);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancelConnect);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblConnectWait);
    layout->addWidget(lblRedirect);
    layout->addWidget(
        build::caption(u"If the browser ends on a page that does not return here, paste the address it shows:",
            txtRedirectedUrl, this));
    layout->addLayout(paste);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    connect(&signIn, &qb::SignIn::answered, this, [this](const qb::SignInAnswer &answer) {
        m_answer = answer;
        m_outcome = Outcome::Answered;
        accept();
    });
    connect(btnFinishConnect, &QPushButton::clicked, this, &dlgQBConnect::btnFinishConnect_Click);
    connect(btnCancelConnect, &QPushButton::clicked, this, &QDialog::reject);
    connect(txtRedirectedUrl, &QLineEdit::returnPressed, this, &dlgQBConnect::btnFinishConnect_Click);
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &dlgQBConnect::showTimeLeft);
}

dlgQBConnect::Outcome dlgQBConnect::run()
{
    showTimeLeft();
    m_ticker.start();
    if (!m_outcome)
        exec();
    m_ticker.stop();
    return m_outcome.value_or(Outcome::Cancelled);
}

void dlgQBConnect::showTimeLeft()
{
    if (m_deadline.hasExpired()) {
        m_outcome = Outcome::TimedOut;
        reject();
        return;
    }
    const qint64 seconds = (m_deadline.remainingTime() + 999) / 1000;
    lblConnectWait->setText(QStringLiteral("Sign in to QuickBooks in the browser and choose the company. Waiting for "
                                           "its answer: %1:%2 left.")
                                .arg(seconds / 60)
                                .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void dlgQBConnect::btnFinishConnect_Click()
{
    const QString problem = m_signIn.takePasted(txtRedirectedUrl->text());
    if (!problem.isEmpty()) {
        Messages::show(this, problem, kTitle, Messages::Icon::Exclamation);
        txtRedirectedUrl->setFocus();
    }
}
