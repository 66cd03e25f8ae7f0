#include "quickbooks/ui/frmQBSync.h"

#include "data/Database.h"
#include "grid/GridValues.h"
#include "quickbooks/QbSettings.h"
#include "quickbooks/QbSync.h"
#include "quickbooks/QboAuth.h"
#include "quickbooks/SignIn.h"
#include "quickbooks/ui/dlgQBConnect.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/GridWidget.h"
#include "widgets/Messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The sign-in waits for the user in the browser.
constexpr int kConnectTimeoutMs = 180000;

const QString kTitle = QStringLiteral("Quickbooks Sync");
const QString kSuccessful = QStringLiteral("Successful");

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

} // namespace

// A QuickBooks call under way: the hourglass shows and the program takes no
// input (windows still repaint), until it ends.
class frmQBSync::Busy
{
public:
    explicit Busy(frmQBSync *screen)
        : m_screen(screen)
    {
        m_screen->m_busy = true;
        qApp->installEventFilter(m_screen);
    }
    ~Busy()
    {
        qApp->removeEventFilter(m_screen);
        m_screen->m_busy = false;
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    frmQBSync *m_screen;
    WaitCursor m_wait;
};

frmQBSync::frmQBSync(AppContext &context)
    : Screen(context, QStringLiteral("frmQBSync"), kTitle)
    , m_browser([](const QUrl &url) { QDesktopServices::openUrl(url); })
    , m_runTag(qb::newRunTag())
{
    buildUi();
    connect(btnNewSelectAll, &QPushButton::clicked, this, &frmQBSync::btnNewSelectAll_Click);
    connect(btnNewSelectNone, &QPushButton::clicked, this, &frmQBSync::btnNewSelectNone_Click);
    connect(btnRefreshNew, &QPushButton::clicked, this, &frmQBSync::btnRefreshNew_Click);
    connect(btnSendNewInvoices, &QPushButton::clicked, this, &frmQBSync::btnSendNewInvoices_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmQBSync::btnExit_Click);
    connect(btnConnectQB, &QPushButton::clicked, this, &frmQBSync::btnConnectQB_Click);
}

frmQBSync::~frmQBSync() = default;

void frmQBSync::buildUi()
{
    btnNewSelectAll = build::button("btnNewSelectAll", u"Select All", this);
    btnNewSelectNone = build::button("btnNewSelectNone", u"Select None", this);
    btnRefreshNew = build::button("btnRefreshNew", u"Refresh", this);
    btnSendNewInvoices = build::button("btnSendNewInvoices", u"Update/Txfr", this);
    btnExit = build::button("btnExit", u"Exit", this);
    btnConnectQB = build::button("btnConnectQB", u"Connect to QuickBooks...", this);
    lblQBConnection = build::label("lblQBConnection", {}, this);
    lblQBConnection->setTextInteractionFlags(Qt::TextSelectableByMouse);

    vsfgNew = build::named(new GridWidget(this), "vsfgNew");

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : { btnNewSelectAll, btnNewSelectNone, btnRefreshNew, btnSendNewInvoices, btnExit })
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(btnConnectQB);

    // The connection's state under the list; a long text never widens the window.
    lblQBConnection->setWordWrap(true);
    lblQBConnection->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(vsfgNew, 1);
    layout->addWidget(lblQBConnection);

    build::tabOrder(
        { btnNewSelectAll, btnNewSelectNone, btnRefreshNew, btnSendNewInvoices, btnExit, btnConnectQB, vsfgNew });
}

QSize frmQBSync::sizeHint() const
{
    // The window opens 14760 by 7095 twips.
    return { vsfgNew->twipsToPixels(14760), vsfgNew->twipsToPixels(7095) };
}

void frmQBSync::load()
{
    LoadNewWIPs();
    showConnection();
}

void frmQBSync::LoadNewWIPs()
{
    const QList<QStringList> rows = qb::LoadNewWIPs(context().db());
    vsfgNew->setRows(0);
    vsfgNew->setCols(qb::ColumnCount);
    vsfgNew->setRows(int(rows.size()) + 1);
    const QStringList headers = qb::headers();
    for (int c = 0; c < qb::ColumnCount; ++c)
        vsfgNew->setTextMatrix(0, c, headers.at(c));
    // Cell by cell: a value may hold a tab.
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < qb::ColumnCount; ++c)
            vsfgNew->setTextMatrix(r + 1, c, rows.at(r).at(c));
    for (int c = 0; c < qb::ColumnCount; ++c)
        vsfgNew->setColAlignmentCenter(c);
    vsfgNew->setColDataType(qb::ColUpdate, GridWidget::DataType::Boolean);
    vsfgNew->setColEditable(qb::ColUpdate);
    vsfgNew->setColFormat(qb::ColAmount, QStringLiteral("$#,##0.00"));
    vsfgNew->autoSize(0, qb::ColumnCount - 1);
    vsfgNew->setFixedRows(1);
    vsfgNew->setFixedCols(0);
    vsfgNew->redraw();
}

// ---- buttons

void frmQBSync::tickAll(bool on)
{
    for (int r = 1; r < vsfgNew->rows(); ++r)
        vsfgNew->setTextMatrix(r, qb::ColUpdate, on ? QStringLiteral("True") : QStringLiteral("False"));
}

void frmQBSync::btnNewSelectAll_Click()
{
    tickAll(true);
}

void frmQBSync::btnNewSelectNone_Click()
{
    tickAll(false);
}

void frmQBSync::btnRefreshNew_Click()
{
    guarded([this] { LoadNewWIPs(); });
}

void frmQBSync::btnExit_Click()
{
    closeScreen();
}

void frmQBSync::btnSendNewInvoices_Click()
{
    if (m_busy || !maySave())
        return;
    {
        const Busy busy(this);
        for (int r = 1; r < vsfgNew->rows(); ++r) {
            const bool ticked = GridValues::toBool(vsfgNew->textMatrix(r, qb::ColUpdate)).value_or(false);
            if (!ticked || vsfgNew->textMatrix(r, qb::ColResult) == kSuccessful)
                continue;
            if (!sendRow(r))
                break; // later rows wait for the next press
        }
        vsfgNew->autoSize(0, qb::ColumnCount - 1);
        vsfgNew->setFixedRows(1);
        vsfgNew->setFixedCols(0);
        vsfgNew->redraw();
    }
    showConnection();
}

bool frmQBSync::sendRow(int r)
{
    auto cell = [&](int c) { return vsfgNew->textMatrix(r, c); };
    QString outcome;
    try {
        bool ok = false;
        const qint64 wipId = cell(qb::ColID).toLongLong(&ok);
        if (!ok)
            throw std::runtime_error("The row has no WIP number");
        const QString qbId = cell(qb::ColQBID).trimmed();
        if (!qbId.isEmpty()) {
            // Invoiced before: read its amount back.
            const qb::SentInvoice invoice = qb::refreshInvoice(context().db(), gateway(), wipId, qbId);
            vsfgNew->setTextMatrix(r, qb::ColAmount, qb::groupedAmount(invoice.amount));
        } else {
            const qb::CustomerDetails customer { cell(qb::ColCustomer), cell(qb::ColAddress), cell(qb::ColCity),
                cell(qb::ColState), cell(qb::ColZip), cell(qb::ColPhone) };
            const std::optional<QDateTime> start = GridValues::toDateTime(cell(qb::ColStartDate));
            const CompanyRow &company = context().company();
            const QList<qb::InvoiceLine> lines = qb::invoiceLines(context().db(), wipId,
                { company.qbItemName, company.qbItemDescription, company.qbItemAmount }, company.billEquipmentDays,
                QDateTime::currentDateTime());
            // A new attempt, a new requestid; its retries keep it.
            const int attempt = ++m_attempts[wipId];
            const qb::SentInvoice invoice = qb::sendNewInvoice(context().db(), gateway(), wipId, customer,
                start ? start->date() : QDate(), lines, qb::requestId(m_runTag, wipId, attempt));
            vsfgNew->setTextMatrix(r, qb::ColInvoice, invoice.number);
            vsfgNew->setTextMatrix(r, qb::ColAmount, qb::amountText(invoice.amount));
            vsfgNew->setTextMatrix(r, qb::ColQBID, invoice.qbId);
        }
        vsfgNew->setTextMatrix(r, qb::ColResult, kSuccessful);
        vsfgNew->redraw();
        return true;
    } catch (const qb::AccountingError &e) {
        if (e.kind() == qb::AccountingError::Kind::NotConnected)
            dropGateway(); // read the settings again next time
        outcome = qb::errorText(e);
    } catch (const data::DbError &e) {
        outcome = e.message();
    } catch (const std::exception &e) {
        outcome = QStringLiteral("Error 0: ") + QString::fromStdString(e.what());
    }
    vsfgNew->setTextMatrix(r, qb::ColResult, outcome);
    return false;
}

void frmQBSync::btnConnectQB_Click()
{
    if (m_busy || !maySave())
        return;
    QString problem;
    try {
        gateway();
        m_auth->requireClient();
        qb::SignIn signIn(m_auth->settings());
        m_browser(signIn.consentUrl());
        // The user works in the browser meanwhile: a dialog that can be
        // cancelled, not the busy state that takes no input.
        dlgQBConnect wait(signIn, kConnectTimeoutMs, this);
        const dlgQBConnect::Outcome outcome = wait.run();
        const qb::SignInAnswer &answer = wait.answer();
        if (outcome == dlgQBConnect::Outcome::Cancelled)
            return;
        if (outcome == dlgQBConnect::Outcome::TimedOut)
            problem = QStringLiteral("No answer came from the QuickBooks sign-in within %1 minutes; nothing was "
                                     "changed.")
                          .arg(kConnectTimeoutMs / 60000);
        else if (answer.kind == qb::SignInAnswer::Kind::Refused)
            problem = QStringLiteral("Access to QuickBooks was refused.");
        else if (answer.kind == qb::SignInAnswer::Kind::Failed)
            problem = QStringLiteral("QuickBooks did not complete the sign-in (%1).").arg(answer.error);
        else
            problem = finishConnect(signIn, answer);
    } catch (const qb::AccountingError &e) {
        problem = e.message();
    } catch (const std::exception &e) {
        problem = QString::fromStdString(e.what());
    }
    showConnection();
    if (problem.isEmpty())
        Messages::show(this, QStringLiteral("Connected to QuickBooks."), kTitle, Messages::Icon::Information);
    else
        Messages::show(this, problem, kTitle, Messages::Icon::Exclamation);
}

QString frmQBSync::finishConnect(qb::SignIn &signIn, const qb::SignInAnswer &answer)
{
    QString problem;
    {
        const Busy busy(this);
        try {
            m_auth->exchangeCode(answer.code, signIn.redirectUri(), m_auth->settings().timeoutSeconds * 1000);
            qb::ConnectionSettings settings = m_auth->settings();
            if (!answer.realmId.isEmpty() && answer.realmId != settings.realmId) {
                // The company chosen on the consent page is the one to use.
                settings.realmId = answer.realmId;
                qb::writeSettings(settingsFile(), settings);
                dropGateway();
            }
        } catch (const qb::AccountingError &e) {
            problem = e.message();
        } catch (const std::exception &e) {
            problem = QString::fromStdString(e.what());
        }
    }
    signIn.finish(problem.isEmpty(), problem);
    return problem;
}

// ---- the connection

QString frmQBSync::settingsFile() const
{
    const QString folder = context().config.folder;
    return qb::settingsPath(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder);
}

void frmQBSync::setRetryPolicy(const qb::RetryPolicy &policy)
{
    m_policy = policy;
    m_policySet = true;
    dropGateway();
}

qb::AccountingGateway &frmQBSync::gateway()
{
    if (!m_gateway) {
        const qb::ConnectionSettings settings = qb::readSettings(settingsFile());
        if (!m_secrets)
            m_secrets = qb::openSecretStore(settingsFile());
        m_auth = std::make_unique<qb::QboAuth>(settings, *m_secrets);
        qb::RetryPolicy policy = m_policy;
        if (!m_policySet)
            policy.timeoutMs = settings.timeoutSeconds * 1000;
        m_gateway = std::make_unique<qb::QboGateway>(*m_auth, policy);
    }
    return *m_gateway;
}

void frmQBSync::dropGateway()
{
    m_gateway.reset();
    m_auth.reset();
}

void frmQBSync::showConnection()
{
    QString text;
    try {
        const qb::ConnectionSettings settings = qb::readSettings(settingsFile());
        if (!m_secrets)
            m_secrets = qb::openSecretStore(settingsFile());
        if (settings.clientId.isEmpty())
            text = QStringLiteral("QuickBooks is not set up (%1).").arg(QDir::toNativeSeparators(settingsFile()));
        else if (m_secrets->read(qb::kRefreshToken).isEmpty())
            text = QStringLiteral("Not connected to QuickBooks.");
        else
            text = QStringLiteral("Connected to QuickBooks company %1.").arg(settings.realmId);
        text += u' ' + m_secrets->describe();
    } catch (const std::exception &e) {
        // Secrets others can read are not used, whatever the file says.
        text = QString::fromStdString(e.what());
    }
    lblQBConnection->setText(text);
}

// ---- while busy

void frmQBSync::closeEvent(QCloseEvent *event)
{
    // A call under way finishes first; its outcome goes to its row.
    if (m_busy) {
        event->ignore();
        return;
    }
    Screen::closeEvent(event);
}

bool frmQBSync::eventFilter(QObject *watched, QEvent *event)
{
    if (m_busy && isUserInput(event->type()))
        return true;
    return Screen::eventFilter(watched, event);
}
