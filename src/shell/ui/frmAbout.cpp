#include "shell/ui/frmAbout.h"

#include "shell/SysInfo.h"
#include "shell/ui/BackupUi.h"
#include "shell/ui/frmMDIBackgroundImage.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The logo, drawn small.
class LogoPicture : public QWidget
{
public:
    explicit LogoPicture(QWidget *parent)
        : QWidget(parent)
    {
        setFixedSize(186, 48);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        frmMDIBackgroundImage::paintLogo(painter, rect());
    }
};

} // namespace

frmAbout::frmAbout(AppContext &context)
    : Screen(context, QStringLiteral("frmAbout"), QStringLiteral("About Screen"))
{
    auto *image = build::named(new LogoPicture(this), "Image1");

    QLabel *title = build::label("lblTitle", u"Varnholt of Brackwell", this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel *version = build::label("lblVersion", u"Version 1.1 3/30/2011", this);
    QLabel *description = build::label("lblDescription", u"Designed and Written By:", this);
    QLabel *lastBackup = build::label("lblLastBackup", u"", this);
    lastBackup->setText(BackupUi::lastBackupText(context));

    const QStringList credits { QStringLiteral("Mara Ellison"), QStringLiteral("14 Quarry Lane"),
        QStringLiteral("Brackwell, OH 44120"), QStringLiteral("Phone: (216) 555-0142"),
        QStringLiteral("Fax: (216) 555-0143"), QStringLiteral("www.example.com") };
    auto *creditBlock = new QVBoxLayout;
    creditBlock->setSpacing(0);
    creditBlock->setContentsMargins(16, 0, 0, 0);
    for (qsizetype i = 0; i < credits.size(); ++i) {
        QLabel *credit = build::caption(credits.at(i), nullptr, this);
        credit->setObjectName(QStringLiteral("lblCredits_%1").arg(i));
        creditBlock->addWidget(credit);
    }

    auto *cmdOK = build::button("cmdOK", u"OK", this);
    setDefaultButton(cmdOK);
    auto *cmdSysInfo = build::button("cmdSysInfo", u"&System Info...", this);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addWidget(lastBackup);
    text->addSpacing(12);
    text->addWidget(description);
    text->addLayout(creditBlock);
    text->addStretch();

    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);

    auto *layout = new QGridLayout(this);
    layout->addWidget(image, 0, 0, Qt::AlignTop);
    layout->addLayout(text, 0, 1);
    layout->addLayout(buttons, 0, 2);
    layout->setColumnStretch(1, 1);

    build::tabOrder({ cmdOK, cmdSysInfo });
    setFocusProxy(cmdOK);

    connect(cmdOK, &QPushButton::clicked, this, [this] { closeScreen(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);
}

void frmAbout::StartSysInfo()
{
    if (SysInfo::start(SysInfo::findProgram()))
        return;
    Messages::show(
        this, QStringLiteral("System Information Is Unavailable At This Time"), QCoreApplication::applicationName());
}
