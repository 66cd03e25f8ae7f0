#pragma once

#include "reports/ReportDocument.h"
#include "widgets/Screen.h"

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPrintPreviewWidget;
class QPrinter;
class QPushButton;

// The one report viewer: a child window of the main window that previews the
// report it was given, pages through it, prints it through the system print
// dialog and saves it as PDF. A second report replaces the first.
class Viewer : public Screen
{
    Q_OBJECT
public:
    explicit Viewer(AppContext &context);
    ~Viewer() override;

    // Shows the report in place of the one shown; its photos as the report
    // asks (the check box follows).
    void showReport(reports::Document report);
    // The report shown, or nullptr.
    const reports::Document *report() const { return m_report.get(); }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void CRViewer_PaintRequested(QPrinter *printer);
    void btnFirstPage_Click();
    void btnPreviousPage_Click();
    void btnNextPage_Click();
    void btnLastPage_Click();
    void btnZoomIn_Click();
    void btnZoomOut_Click();
    void btnPrint_Click();
    void btnSavePdf_Click();
    void chkPhotos_Click();
    // Renders the report for printing or a PDF: its pictures at full
    // resolution, not the preview's.
    void renderForPaper(const std::function<void()> &work);
    void showPageNumber();

    std::unique_ptr<reports::Document> m_report;
    std::unique_ptr<QPrinter> m_previewPrinter;
    // The printer last chosen in the print dialog, kept for the next print.
    std::unique_ptr<QPrinter> m_printer;
    QString m_pdfFolder;

    QPrintPreviewWidget *CRViewer = nullptr;
    QPushButton *btnFirstPage = nullptr;
    QPushButton *btnPreviousPage = nullptr;
    QPushButton *btnNextPage = nullptr;
    QPushButton *btnLastPage = nullptr;
    QLabel *lblPage = nullptr;
    QCheckBox *chkPhotos = nullptr;
    QPushButton *btnZoomOut = nullptr;
    QPushButton *btnZoomIn = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnSavePdf = nullptr;
};
