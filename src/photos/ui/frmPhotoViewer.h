#pragma once

#include "photos/JobFiles.h"
#include "widgets/Screen.h"

#include <QImage>

class QLabel;
class QPushButton;
class QScrollArea;

// One photo at a time, as large as the window allows or zoomed, stepping
// through the photos of a job (or of a room or point). Only the photo shown
// is read from the database, when it is shown.
class frmPhotoViewer : public Screen
{
    Q_OBJECT
public:
    explicit frmPhotoViewer(AppContext &context);

    // Shows the file among the owner's photos (documents are not stepped
    // through); database errors are reported.
    void showFile(const photos::Owner &owner, qint64 fileId);

    // The scale the photo is drawn at (1: one pixel a pixel).
    double scale() const { return m_scale; }
    bool fitted() const { return m_fit; }

    // Large enough to look at a photo when it first opens.
    QSize sizeHint() const override { return { 960, 720 }; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showCurrent();
    void render();
    void zoomBy(double factor);
    // The largest scale the photo shown is drawn at.
    double maxScale() const;

    void btnPrevious_Click();
    void btnNext_Click();
    void btnFit_Click();

    QList<photos::FileEntry> m_entries; // the photos stepped through, without thumbnails
    int m_index = -1;
    QImage m_image; // the photo shown, upright
    bool m_fit = true;
    double m_scale = 1;

    QScrollArea *scrPhoto = nullptr;
    QLabel *lblPhoto = nullptr;
    QLabel *lblPhotoInfo = nullptr;
    QPushButton *btnPrevious = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnZoomIn = nullptr;
    QPushButton *btnZoomOut = nullptr;
    QPushButton *btnFit = nullptr;
    QPushButton *btnExit = nullptr;
};
