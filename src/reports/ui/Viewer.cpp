#include "reports/ui/Viewer.h"

#include "reports/ReportData.h"
#include "reports/ReportRenderer.h"
#include "reports/ui/modReports.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

// The pictures of the photo section: on screen at about the preview's
// scale (every page of the preview is held in memory), on paper sharp.
constexpr qreal kPreviewPhotoDpi = 110;
constexpr qreal kPaperPhotoDpi = 200;

// A file name from the report's name: no characters a file system refuses.
QString fileNameFor(const reports::Document &report)
{
    static const QRegularExpression refused(QStringLiteral("[\\\\/:*?\"<>|]+"));
    QString name = report.name.isEmpty() ? report.title : report.name;
    name.replace(refused, QStringLiteral(" "));
    return name.simplified() + QStringLiteral(".pdf");
}

} // namespace

Viewer::Viewer(AppContext &context)
    : Screen(context, QStringLiteral("Viewer"), QStringLiteral("Report Viewer"))
{
    m_previewPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    CRViewer = build::named(new QPrintPreviewWidget(m_previewPrinter.get(), this), "CRViewer");
    connect(CRViewer, &QPrintPreviewWidget::paintRequested, this, &Viewer::CRViewer_PaintRequested);
    connect(CRViewer, &QPrintPreviewWidget::previewChanged, this, &Viewer::showPageNumber);

    btnFirstPage = build::button("btnFirstPage", u"First", QKeySequence(Qt::CTRL | Qt::Key_Home), this);
    btnPreviousPage = build::button("btnPreviousPage", u"Previous", QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
    btnNextPage = build::button("btnNextPage", u"Next", QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
    btnLastPage = build::button("btnLastPage", u"Last", QKeySequence(Qt::CTRL | Qt::Key_End), this);
    lblPage = build::label("lblPage", {}, this);
    lblPage->setMinimumWidth(lblPage->fontMetrics().horizontalAdvance(QStringLiteral("Page 0000 of 0000")));
    lblPage->setAlignment(Qt::AlignCenter);
    btnZoomOut = build::button("btnZoomOut", u"Zoom Out", QKeySequence::ZoomOut, this);
    btnZoomIn = build::button("btnZoomIn", u"Zoom In", QKeySequence::ZoomIn, this);
    chkPhotos = build::checkBox("chkPhotos", u"Include p&hotos", this);
    btnPrint = build::button("btnPrint", u"&Print...", QKeySequence::Print, this);
    btnSavePdf = build::button("btnSavePdf", u"&Save as PDF...", QKeySequence::Save, this);
    connect(btnFirstPage, &QPushButton::clicked, this, &Viewer::btnFirstPage_Click);
    connect(btnPreviousPage, &QPushButton::clicked, this, &Viewer::btnPreviousPage_Click);
    connect(btnNextPage, &QPushButton::clicked, this, &Viewer::btnNextPage_Click);
    connect(btnLastPage, &QPushButton::clicked, this, &Viewer::btnLastPage_Click);
    connect(btnZoomOut, &QPushButton::clicked, this, &Viewer::btnZoomOut_Click);
    connect(btnZoomIn, &QPushButton::clicked, this, &Viewer::btnZoomIn_Click);
    connect(btnPrint, &QPushButton::clicked, this, &Viewer::btnPrint_Click);
    connect(btnSavePdf, &QPushButton::clicked, this, &Viewer::btnSavePdf_Click);
    connect(chkPhotos, &QCheckBox::toggled, this, &Viewer::chkPhotos_Click);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(6, 6, 6, 0);
    for (QWidget *w :
        std::initializer_list<QWidget *> { btnFirstPage, btnPreviousPage, lblPage, btnNextPage, btnLastPage })
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(btnZoomOut);
    bar->addWidget(btnZoomIn);
    bar->addSpacing(16);
    bar->addWidget(chkPhotos);
    bar->addStretch();
    bar->addWidget(btnPrint);
    bar->addWidget(btnSavePdf);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addLayout(bar);
    layout->addWidget(CRViewer, 1);
    build::tabOrder({ btnFirstPage, btnPreviousPage, btnNextPage, btnLastPage, btnZoomOut, btnZoomIn, chkPhotos,
        btnPrint, btnSavePdf, CRViewer });
    resize(900, 720);
    showPageNumber();
}

Viewer::~Viewer() = default;

void Viewer::showReport(reports::Document report)
{
    const WaitCursor wait;
    m_report = std::make_unique<reports::Document>(std::move(report));
    m_report->photos.dpi = kPreviewPhotoDpi;
    const qsizetype photos = m_report->photos.photos.size();
    {
        const QSignalBlocker block(chkPhotos);
        chkPhotos->setChecked(m_report->printPhotos && photos > 0);
    }
    chkPhotos->setEnabled(photos > 0);
    chkPhotos->setToolTip(photos > 0 ? QStringLiteral("Adds the report's photos (%1), six to a page").arg(photos)
                                     : QStringLiteral("This report has no photos"));
    m_previewPrinter->setPageLayout(reports::pageLayout(*m_report));
    m_previewPrinter->setDocName(m_report->title);
    CRViewer->updatePreview();
    CRViewer->setCurrentPage(1);
    CRViewer->setZoomFactor(1.0);
    showPageNumber();
}

void Viewer::resizeEvent(QResizeEvent *event)
{
    Screen::resizeEvent(event);
    CRViewer->setZoomFactor(1.0);
}

void Viewer::CRViewer_PaintRequested(QPrinter *printer)
{
    if (!m_report)
        return;
    // Nothing may escape into the preview's paint; a failure shows as a
    // message and an empty preview.
    reportGuarded(this, m_report->title, [&] { reports::render(*m_report, *printer); });
}

void Viewer::chkPhotos_Click()
{
    if (!m_report)
        return;
    const WaitCursor wait;
    m_report->printPhotos = chkPhotos->isChecked();
    const int page = CRViewer->currentPage();
    CRViewer->updatePreview();
    CRViewer->setCurrentPage(std::min(page, CRViewer->pageCount()));
    showPageNumber();
}

void Viewer::renderForPaper(const std::function<void()> &work)
{
    m_report->photos.dpi = kPaperPhotoDpi;
    const auto restore = qScopeGuard([this] { m_report->photos.dpi = kPreviewPhotoDpi; });
    work();
}

void Viewer::showPageNumber()
{
    const int pages = m_report ? CRViewer->pageCount() : 0;
    const int page = pages > 0 ? CRViewer->currentPage() : 0;
    lblPage->setText(pages > 0 ? QStringLiteral("Page %1 of %2").arg(page).arg(pages) : QString());
    btnFirstPage->setEnabled(page > 1);
    btnPreviousPage->setEnabled(page > 1);
    btnNextPage->setEnabled(page < pages);
    btnLastPage->setEnabled(page < pages);
    btnPrint->setEnabled(pages > 0);
    btnSavePdf->setEnabled(pages > 0);
}

void Viewer::btnFirstPage_Click()
{
    CRViewer->setCurrentPage(1);
    showPageNumber();
}

void Viewer::btnPreviousPage_Click()
{
    CRViewer->setCurrentPage(CRViewer->currentPage() - 1);
    showPageNumber();
}

void Viewer::btnNextPage_Click()
{
    CRViewer->setCurrentPage(CRViewer->currentPage() + 1);
    showPageNumber();
}

void Viewer::btnLastPage_Click()
{
    CRViewer->setCurrentPage(CRViewer->pageCount());
    showPageNumber();
}

void Viewer::btnZoomIn_Click()
{
    CRViewer->zoomIn();
}

void Viewer::btnZoomOut_Click()
{
    CRViewer->zoomOut();
}

void Viewer::btnPrint_Click()
{
    if (!m_report)
        return;
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        m_printer->setPageLayout(reports::pageLayout(*m_report));
    }
    // The paper and printer the user chose last time stay; the orientation is
    // the report's.
    m_printer->setPageOrientation(m_report->orientation);
    m_printer->setDocName(m_report->title);
    m_printer->setPageRanges({});
    if (!Messages::printDialog(this, *m_printer, CRViewer->pageCount()))
        return;
    reportGuarded(
        this, QStringLiteral("Print"), [&] { renderForPaper([&] { reports::render(*m_report, *m_printer); }); });
}

void Viewer::btnSavePdf_Click()
{
    if (!m_report)
        return;
    if (m_pdfFolder.isEmpty())
        m_pdfFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString path = Messages::saveFileName(this, QStringLiteral("Save as PDF"),
        QDir(m_pdfFolder).filePath(fileNameFor(*m_report)), QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    // The dialog asked about replacing the name as typed; a name it gets
    // here is asked about again, before anything is written.
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        path += QLatin1String(".pdf");
        if (QFileInfo::exists(path)
            && Messages::show(this,
                   QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QDir::toNativeSeparators(path)),
                   QStringLiteral("Save as PDF"), Messages::Icon::Exclamation, QMessageBox::Yes | QMessageBox::No,
                   QMessageBox::No)
                != QMessageBox::Yes)
            return;
    }
    if (reportGuarded(
            this, QStringLiteral("Save as PDF"), [&] { renderForPaper([&] { reports::writePdf(*m_report, path); }); }))
        m_pdfFolder = QFileInfo(path).absolutePath();
}
