#pragma once

#include "widgets/Screen.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// Identifies the employee who works with the program. On success it puts the
// user into the context, records the login, emits loggedIn and closes;
// Cancel ends the program.
class frmLogin : public Screen
{
    Q_OBJECT
public:
    explicit frmLogin(AppContext &context);

signals:
    // The user name as stored in the database.
    void loggedIn(const QString &username);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void btnLogin_Click();
    void btnCancel_Click();
    // The lookup itself, for text captured when OK was pressed.
    void checkLogin(const QString &username, const QString &password);
    void refuse();
    // While a delayed attempt waits, only Cancel can be used.
    void setWaiting(bool waiting);

    QLabel *m_lblUsername = nullptr;
    QLabel *m_lblPassword = nullptr;
    QLineEdit *txtUsername = nullptr;
    QLineEdit *txtPassword = nullptr;
    QPushButton *btnLogin = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *tmrDelay = nullptr;
    QString m_pendingUsername;
    QString m_pendingPassword;
};
