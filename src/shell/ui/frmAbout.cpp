#include "shell/ui/frmAbout.h"

#include "shell/SysInfo.h"
#include "shell/ui/frmMDIBackgroundImage.h"
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

QLabel *label(QWidget *parent, const QString &name, const QString &text)
{
    auto *result = new QLabel(text, parent);
    result->setObjectName(name);
    return result;
}

} // namespace

frmAbout::frmAbout(AppContext &context)
    : Screen(context, QStringLiteral("frmAbout"), QStringLiteral("About Screen"))
{
    auto *image = new LogoPicture(this);
    image->setObjectName(QStringLiteral("Image1"));

    QLabel *title = label(this, QStringLiteral("lblTitle"), QStringLiteral("Varnholt of Brackwell"));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel *version = label(this, QStringLiteral("lblVersion"), QStringLiteral("Version 1.1 3/30/2011"));
    QLabel *description = label(this, QStringLiteral("lblDescription"), QStringLiteral("Designed and Written By:"));

    const QStringList credits { QStringLiteral("Mara Ellison"), QStringLiteral("14 Quarry Lane"),
        QStringLiteral("Brackwell, OH 44120"), QStringLiteral("Phone: (216) 555-0142"),
        QStringLiteral("Fax: (216) 555-0143"), QStringLiteral("www.example.com") };
    auto *creditBlock = new QVBoxLayout;
    creditBlock->setSpacing(0);
    creditBlock->setContentsMargins(16, 0, 0, 0);
    for (qsizetype i = 0; i < credits.size(); ++i)
        creditBlock->addWidget(label(this, QStringLiteral("lblCredits_%1").arg(i), credits.at(i)));

    auto *cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    setDefaultButton(cmdOK);
    auto *cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
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

    setTabOrder(cmdOK, cmdSysInfo);
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
