#include "field/ui/frmFieldPage.h"

#include "base/Clock.h"
#include "field/ui/QrCode.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// About 260 pixels for the code: readable from a phone held at arm's length.
constexpr int kQrPixels = 260;

// A path as a shell takes it: quoted when it holds a blank or the like.
QString shellWord(const QString &path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=+-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return u'\'' + QString(path).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

QLineEdit *readOnlyBox(const char *name)
{
    QLineEdit *box = build::textBox(name);
    box->setReadOnly(true);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return box;
}

} // namespace

frmFieldPage::frmFieldPage(AppContext &context)
    : Screen(context, QStringLiteral("frmFieldPage"), QStringLiteral("Field Page"))
{
    lblFieldHowTo = build::label("lblFieldHowTo", {}, this);
    lblFieldHowTo->setWordWrap(true);
    // The commands can be copied from it.
    lblFieldHowTo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    txtFieldAddress = readOnlyBox("txtFieldAddress");
    lblAddressCaption = build::caption(u"Open on a phone:", txtFieldAddress, this);
    lblFieldQr = build::label("lblFieldQr", {}, this);
    lblFieldQr->setAlignment(Qt::AlignCenter);
    txtFieldFingerprint = readOnlyBox("txtFieldFingerprint");
    txtFieldFingerprint->setMinimumWidth(txtFieldFingerprint->fontMetrics().horizontalAdvance(QString(96, u'0')));
    lblFingerprintCaption = build::caption(u"Certificate (SHA-256):", txtFieldFingerprint, this);
    lblFingerprintHint = build::label("lblFingerprintHint",
        u"Before trusting the certificate on a phone, compare this fingerprint with the one the phone shows.", this);
    lblFingerprintHint->setWordWrap(true);
    btnRefresh = build::button("btnRefresh", u"&Refresh", this);
    btnClose = build::button("btnClose", u"&Close", this);
    setDefaultButton(btnRefresh);

    auto *grid = new QGridLayout;
    grid->addWidget(lblAddressCaption, 0, 0);
    grid->addWidget(txtFieldAddress, 0, 1);
    grid->addWidget(lblFieldQr, 1, 0, 1, 2);
    grid->addWidget(lblFingerprintCaption, 2, 0);
    grid->addWidget(txtFieldFingerprint, 2, 1);
    grid->addWidget(lblFingerprintHint, 3, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnRefresh);
    buttons->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblFieldHowTo);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttons);

    build::tabOrder({ txtFieldAddress, txtFieldFingerprint, btnRefresh, btnClose });
    setFocusProxy(btnRefresh);

    connect(btnRefresh, &QPushButton::clicked, this, &frmFieldPage::btnRefresh_Click);
    connect(btnClose, &QPushButton::clicked, this, [this] { closeScreen(); });
}

void frmFieldPage::load()
{
    showServer(field::runningServer(context().db(), Clock::now()));
}

void frmFieldPage::btnRefresh_Click()
{
    guarded([this] { load(); });
}

void frmFieldPage::showServer(const std::optional<field::ServerEntry> &server)
{
    const bool running = server && !server->address.isEmpty();
    const bool fingerprint = running && !server->fingerprint.isEmpty();
    lblFieldHowTo->setVisible(!running);
    lblFieldHowTo->setText(running ? QString() : howToStart());
    // Wide enough for each command on one line, where the screen allows.
    int widest = 0;
    for (const QString &line : lblFieldHowTo->text().split(u'\n'))
        widest = std::max(widest, lblFieldHowTo->fontMetrics().horizontalAdvance(line));
    lblFieldHowTo->setMinimumWidth(std::min(widest + 8, 900));
    for (QWidget *widget : { static_cast<QWidget *>(lblAddressCaption), static_cast<QWidget *>(txtFieldAddress),
             static_cast<QWidget *>(lblFieldQr) })
        widget->setVisible(running);
    for (QWidget *widget : { static_cast<QWidget *>(lblFingerprintCaption), static_cast<QWidget *>(txtFieldFingerprint),
             static_cast<QWidget *>(lblFingerprintHint) })
        widget->setVisible(fingerprint);
    txtFieldAddress->setText(running ? server->address : QString());
    txtFieldAddress->setCursorPosition(0);
    txtFieldFingerprint->setText(fingerprint ? server->fingerprint : QString());
    txtFieldFingerprint->setCursorPosition(0);

    QPixmap code;
    if (running) {
        // A whole number of pixels per module: a scaled code blurs.
        const QImage one = field::qrImage(server->address, 1);
        if (!one.isNull())
            code = QPixmap::fromImage(field::qrImage(server->address, std::max(2, kQrPixels / one.width())));
    }
    lblFieldQr->setPixmap(code);
}

QString frmFieldPage::howToStart() const
{
    // The commands as they read on this PC: the server beside this program
    // when there is one (a build), over this program's own config.txt.
    const QString besideUs = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("jobtracker-field"));
    const QString program = QFileInfo(besideUs).isExecutable() ? besideUs : QStringLiteral("jobtracker-field");
    const QString folder = context().config.folder;
    const QString config
        = folder.isEmpty() ? QStringLiteral("config.txt") : QDir(folder).filePath(QStringLiteral("config.txt"));
    return QStringLiteral("The field server is not running. Start it on the office PC:\n\n"
                          "    sudo systemctl start jobtracker-field\n\n"
                          "or by hand, with a certificate made by jobtracker-admin field-certificate:\n\n"
                          "    %1 --config %2 --listen 0.0.0.0:8443 --cert field.crt --key field.key\n\n"
                          "Then press Refresh.")
        .arg(shellWord(program), shellWord(config));
}
