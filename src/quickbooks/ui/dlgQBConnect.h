#pragma once

#include "quickbooks/SignIn.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// Waits for the browser's answer to a sign-in: the time left, Cancel, and a
// box for the address the browser ended on (the production redirect, whose
// hosted page may not reach this computer). The program stays responsive.
class dlgQBConnect : public QDialog
{
    Q_OBJECT
public:
    enum class Outcome { Answered, Cancelled, TimedOut };

    dlgQBConnect(qb::SignIn &signIn, int timeoutMs, QWidget *parent);

    // Shows the dialog until the answer, Cancel or the time-out.
    Outcome run();
    // The answer, when there was one.
    const qb::SignInAnswer &answer() const { return m_answer; }

private:
    void btnFinishConnect_Click();
    void showTimeLeft();

    qb::SignIn &m_signIn;
    QDeadlineTimer m_deadline;
    QTimer m_ticker;
    std::optional<Outcome> m_outcome;
    qb::SignInAnswer m_answer;

    QLabel *lblConnectWait = nullptr;
    QLabel *lblRedirect = nullptr;
    QLineEdit *txtRedirectedUrl = nullptr;
    QPushButton *btnFinishConnect = nullptr;
    QPushButton *btnCancelConnect = nullptr;
};
