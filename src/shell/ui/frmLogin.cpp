#include "shell/ui/frmLogin.h"

#include "shell/AppContext.h"
#include "shell/Login.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"
#include "widgets/SelectAllOnFocus.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

frmLogin::frmLogin(AppContext &context)
    : Screen(context, QStringLiteral("frmLogin"), QStringLiteral("Login"))
{
    txtUsername = build::textBox("txtUsername", 32767, this);
    txtPassword = build::textBox("txtPassword", 32767, this);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    for (QLineEdit *box : { txtUsername, txtPassword }) {
        box->setMinimumWidth(180);
        SelectAllOnFocus(box);
    }

    m_lblUsername = build::label("lblLabels_0", u"&User Name:", this);
    m_lblUsername->setBuddy(txtUsername);
    m_lblPassword = build::label("lblLabels_1", u"&Password:", this);
    m_lblPassword->setBuddy(txtPassword);

    btnLogin = build::button("btnLogin", u"OK", this);
    btnCancel = build::button("btnCancel", u"Cancel", this);

    auto *fields = new QFormLayout;
    fields->addRow(m_lblUsername, txtUsername);
    fields->addRow(m_lblPassword, txtPassword);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnLogin);
    buttons->addWidget(btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    build::tabOrder({ txtUsername, txtPassword, btnLogin, btnCancel });
    setFocusProxy(txtUsername);

    tmrDelay = build::named(new QTimer(this), "tmrDelay");
    tmrDelay->setSingleShot(true);
    connect(tmrDelay, &QTimer::timeout, this, [this] {
        const QString username = std::exchange(m_pendingUsername, QString());
        const QString password = std::exchange(m_pendingPassword, QString());
        setWaiting(false);
        checkLogin(username, password);
    });

    setDefaultButton(btnLogin);
    connect(btnLogin, &QPushButton::clicked, this, &frmLogin::btnLogin_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmLogin::btnCancel_Click);
}

void frmLogin::keyPressEvent(QKeyEvent *event)
{
    // Escape is Cancel; Enter is the default button's (the base class).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btnCancel->click();
        return;
    }
    Screen::keyPressEvent(event);
}

void frmLogin::btnLogin_Click()
{
    if (txtUsername->text().isEmpty()) {
        Messages::show(this, QStringLiteral("You must enter a username"), QStringLiteral("Invalid Username"),
            Messages::Icon::Exclamation);
        txtUsername->setFocus();
        return;
    }
    if (txtPassword->text().isEmpty()) {
        Messages::show(this, QStringLiteral("You must enter a password"), QStringLiteral("Invalid Password"),
            Messages::Icon::Exclamation);
        txtPassword->setFocus();
        return;
    }

    const int delay = context().loginThrottle().delayBeforeCheck(txtUsername->text());
    if (delay <= 0) {
        checkLogin(txtUsername->text(), txtPassword->text());
        return;
    }
    m_pendingUsername = txtUsername->text();
    m_pendingPassword = txtPassword->text();
    setWaiting(true);
    tmrDelay->start(delay);
}

void frmLogin::setWaiting(bool waiting)
{
    txtUsername->setEnabled(!waiting);
    txtPassword->setEnabled(!waiting);
    btnLogin->setEnabled(!waiting);
    if (waiting) {
        setCursor(Qt::WaitCursor);
        btnCancel->setFocus();
    } else {
        unsetCursor();
    }
}

void frmLogin::checkLogin(const QString &username, const QString &password)
{
    AppContext &ctx = context();
    Messages::guarded(this, [&] {
        std::optional<Login::User> user;
        {
            WaitCursor wait;
            user = Login::authenticate(ctx.db(), username, password);
        }
        if (!user) {
            context().loginThrottle().failed(username);
            refuse();
            // Every attempt that reached the lookup is recorded; nobody is
            // logged in, so with ID 0.
            ctx.CallEmployeeLogin();
            return;
        }

        ctx.setUser(*user);
        try {
            ctx.CallEmployeeLogin();
        } catch (const std::exception &) {
            // Not recorded, not logged in: ShutDown must not log off a user
            // whose login never reached the database.
            ctx.clearUser();
            throw;
        }
        context().loginThrottle().succeeded(username);
        emit loggedIn(ctx.Username());
        closeScreen();
    });
}

void frmLogin::refuse()
{
    Messages::show(this, QStringLiteral("Your username and/or password is invalid."),
        QStringLiteral("Invalid Username/Password"), Messages::Icon::Exclamation);
    txtUsername->clear();
    txtPassword->clear();
    txtUsername->setFocus();
}

void frmLogin::btnCancel_Click()
{
    tmrDelay->stop();
    context().ShutDown();
}
