#include "photos/ui/frmPhotoViewer.h"

#include "base/Formats.h"
#include "photos/PhotoFile.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr double kZoomStep = 1.25;
constexpr double kMinScale = 0.05;

} // namespace

frmPhotoViewer::frmPhotoViewer(AppContext &context)
    : Screen(context, QStringLiteral("frmPhotoViewer"), QStringLiteral("Photo Viewer"))
{
    lblPhoto = build::named(new QLabel, "lblPhoto");
    lblPhoto->setAlignment(Qt::AlignCenter);
    scrPhoto = build::named(new QScrollArea, "scrPhoto");
    scrPhoto->setWidget(lblPhoto);
    scrPhoto->setAlignment(Qt::AlignCenter);
    scrPhoto->setBackgroundRole(QPalette::Dark);
    scrPhoto->setMinimumSize(480, 360);
    lblPhoto->setTextFormat(Qt::PlainText);
    lblPhotoInfo = build::valueLabel("lblPhotoInfo");
    lblPhotoInfo->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    const auto add = [buttons](const char *name, QStringView caption) {
        QPushButton *button = build::button(name, caption);
        buttons->addWidget(button);
        return button;
    };
    btnPrevious = add("btnPrevious", u"< Previous");
    btnNext = add("btnNext", u"Next >");
    buttons->addSpacing(16);
    btnZoomOut = add("btnZoomOut", u"Zoom Out");
    btnZoomIn = add("btnZoomIn", u"Zoom In");
    btnFit = add("btnFit", u"Fit");
    buttons->addStretch(1);
    btnExit = add("btnExit", u"Exit");
    auto *main = new QVBoxLayout(this);
    main->addWidget(scrPhoto, 1);
    main->addWidget(lblPhotoInfo);
    main->addLayout(buttons);

    connect(btnPrevious, &QPushButton::clicked, this, &frmPhotoViewer::btnPrevious_Click);
    connect(btnNext, &QPushButton::clicked, this, &frmPhotoViewer::btnNext_Click);
    connect(btnZoomIn, &QPushButton::clicked, this, [this] { zoomBy(kZoomStep); });
    connect(btnZoomOut, &QPushButton::clicked, this, [this] { zoomBy(1 / kZoomStep); });
    connect(btnFit, &QPushButton::clicked, this, &frmPhotoViewer::btnFit_Click);
    connect(btnExit, &QPushButton::clicked, this, &frmPhotoViewer::closeScreen);
    showCurrent();
}

void frmPhotoViewer::showFile(const photos::Owner &owner, qint64 fileId)
{
    guarded([&] {
        QList<photos::FileEntry> entries;
        for (photos::FileEntry &entry : photos::listFiles(context().db(), owner)) {
            if (entry.kind != photos::Kind::Photo)
                continue;
            entry.thumbnail.clear();
            entries << entry;
        }
        m_entries = std::move(entries);
        const auto at = std::find_if(
            m_entries.cbegin(), m_entries.cend(), [&](const photos::FileEntry &e) { return e.id == fileId; });
        m_index = at == m_entries.cend() ? (m_entries.isEmpty() ? -1 : 0) : int(at - m_entries.cbegin());
    });
    m_fit = true;
    showCurrent();
}

void frmPhotoViewer::showCurrent()
{
    m_image = QImage();
    if (m_index >= 0 && m_index < m_entries.size()) {
        const photos::FileEntry entry = m_entries.at(m_index);
        guarded([&] {
            const std::optional<QByteArray> content = photos::loadContent(context().db(), entry.id);
            if (!content) {
                Messages::show(this, QStringLiteral("%1 has been deleted meanwhile.").arg(entry.fileName),
                    QStringLiteral("Photos"), Messages::Icon::Exclamation);
                return;
            }
            m_image = photos::decodeUpright(*content);
        });
        QStringList info { entry.fileName };
        if (!entry.caption.isEmpty())
            info << entry.caption;
        info << QStringLiteral("taken %1").arg(Formats::dateTime(entry.takenAt))
             << QStringLiteral("%1 of %2").arg(m_index + 1).arg(m_entries.size());
        lblPhotoInfo->setText(info.join(QStringLiteral(" — ")));
        setWindowTitle(QStringLiteral("Photo Viewer - %1").arg(entry.fileName));
    } else {
        lblPhotoInfo->setText(QStringLiteral("No photo"));
    }
    btnPrevious->setEnabled(m_index > 0);
    btnNext->setEnabled(m_index >= 0 && m_index + 1 < m_entries.size());
    for (QPushButton *b : { btnZoomIn, btnZoomOut, btnFit })
        b->setEnabled(!m_image.isNull());
    render();
}

void frmPhotoViewer::render()
{
    if (m_image.isNull()) {
        lblPhoto->setPixmap(QPixmap());
        lblPhoto->setText(m_index >= 0 ? QStringLiteral("This photo cannot be shown.") : QString());
        lblPhoto->adjustSize();
        return;
    }
    if (m_fit) {
        // The whole photo inside the visible area, never enlarged past its
        // own size.
        const QSize room = scrPhoto->viewport()->size() - QSize(2, 2);
        m_scale = std::min({ 1.0, double(room.width()) / m_image.width(), double(room.height()) / m_image.height() });
    }
    // What is drawn is bounded by its size, not by a factor of the photo's.
    m_scale = std::min(m_scale, maxScale());
    const QSize size(std::max(1, qRound(m_image.width() * m_scale)), std::max(1, qRound(m_image.height() * m_scale)));
    lblPhoto->setPixmap(QPixmap::fromImage(m_image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    lblPhoto->resize(size);
    btnZoomIn->setEnabled(m_scale < maxScale());
    btnZoomOut->setEnabled(m_scale > kMinScale);
}

double frmPhotoViewer::maxScale() const
{
    return photos::maxViewScale(m_image.size());
}

void frmPhotoViewer::zoomBy(double factor)
{
    if (m_image.isNull())
        return;
    m_fit = false;
    m_scale = std::clamp(m_scale * factor, std::min(kMinScale, maxScale()), maxScale());
    // The point in the middle of the view stays there.
    QScrollBar *across = scrPhoto->horizontalScrollBar();
    QScrollBar *down = scrPhoto->verticalScrollBar();
    const double x = (across->value() + across->pageStep() / 2.0) / std::max(1, lblPhoto->width());
    const double y = (down->value() + down->pageStep() / 2.0) / std::max(1, lblPhoto->height());
    render();
    across->setValue(qRound(x * lblPhoto->width() - across->pageStep() / 2.0));
    down->setValue(qRound(y * lblPhoto->height() - down->pageStep() / 2.0));
}

void frmPhotoViewer::btnPrevious_Click()
{
    if (m_index <= 0)
        return;
    --m_index;
    m_fit = true;
    showCurrent();
}

void frmPhotoViewer::btnNext_Click()
{
    if (m_index + 1 >= m_entries.size())
        return;
    ++m_index;
    m_fit = true;
    showCurrent();
}

void frmPhotoViewer::btnFit_Click()
{
    m_fit = true;
    render();
}

void frmPhotoViewer::resizeEvent(QResizeEvent *event)
{
    Screen::resizeEvent(event);
    if (m_fit)
        render();
}

void frmPhotoViewer::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        btnPrevious_Click();
        return;
    case Qt::Key_Right:
    case Qt::Key_PageDown:
        btnNext_Click();
        return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(kZoomStep);
        return;
    case Qt::Key_Minus:
        zoomBy(1 / kZoomStep);
        return;
    default:
        Screen::keyPressEvent(event);
    }
}
