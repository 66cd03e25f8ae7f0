#pragma once

#include "photos/JobFiles.h"

#include <QWidget>
#include <functional>
#include <memory>

class AppContext;
class PhotoModel;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The photos and documents of a job, a drying room or a moisture point:
// their thumbnails in date order, adding (the file dialog or a drop from the
// file manager), a caption, deleting, and the viewer on a double-click. The
// WIP entry screen and the drying log embed it, each with its own control
// names, and tell it whose files to show.
class PhotoPanel : public QWidget
{
    Q_OBJECT
public:
    // The object names of the panel's controls.
    struct Names
    {
        const char *list = "lstPhotos";
        const char *add = "btnAddPhotos";
        const char *remove = "btnDeletePhoto";
        const char *caption = "txtCaption";
        const char *hint = "lblNoPhotos";
    };

    PhotoPanel(AppContext &context, const Names &names);
    ~PhotoPanel() override;
    // Asked before anything is added, deleted or captioned: false (the user
    // told) when the screen may not change the job now (Screen::maySave()).
    void setWriteCheck(std::function<bool()> check) { m_mayWrite = std::move(check); }

    // Shows the owner's files (a wipId of 0: none, and nothing can be added).
    // They are read when the panel is shown, not before: a job is loaded
    // often, its photos looked at less often.
    void showOwner(const photos::Owner &owner);
    const photos::Owner &owner() const { return m_owner; }
    // Whether the panel shows anyone's files (a saved job, a room, a point).
    bool hasOwner() const { return m_owner.wipId > 0 || m_owner.roomId > 0 || m_owner.pointId > 0; }
    // Reads the owner's files again; throws.
    void reload();

    // Adds the files: each is read and thumbnailed on worker threads under a
    // progress dialog, then stored, and filesChanged() tells when all are.
    // A file refused gets its own message, naming it; the others are still
    // added. Nothing is started while files are being added.
    void addFiles(const QStringList &paths);

    PhotoModel *model() const { return m_model; }

signals:
    // Files were added (addFiles() has ended) or deleted.
    void filesChanged();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void currentChanged();
    void select(qint64 id);
    const photos::FileEntry *current() const;
    void openFile(int row);
    void addBatch();
    void batchPrepared(const QList<std::variant<photos::PreparedFile, QString>> &results);

    void btnAddPhotos_Click();
    void btnDeletePhoto_Click();
    void txtCaption_Finished();

    AppContext &m_context;
    std::function<bool()> m_mayWrite;
    photos::Owner m_owner;
    bool m_stale = false;
    PhotoModel *m_model = nullptr;
    struct Adding;
    std::unique_ptr<Adding> m_adding; // while addFiles() runs

    QListView *lstPhotos = nullptr;
    QPushButton *btnAddPhotos = nullptr;
    QPushButton *btnDeletePhoto = nullptr;
    QLineEdit *txtCaption = nullptr;
    QLabel *lblNoPhotos = nullptr; // over the empty list: how to add
};
