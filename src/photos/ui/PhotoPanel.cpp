#include "photos/ui/PhotoPanel.h"

#include "data/Database.h"
#include "photos/ui/PhotoModel.h"
#include "photos/ui/frmPhotoViewer.h"
#include "shell/AppContext.h"
#include "widgets/Build.h"
#include "widgets/Messages.h"
#include "widgets/ScreenHost.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentMap>

namespace {

using Prepared = std::variant<photos::PreparedFile, QString>;

QString title()
{
    return QStringLiteral("Photos");
}

// The local files among a drop's URLs.
QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return paths;
}

// Where documents are written for the desktop's viewer: kept while the
// program runs, since the viewer reads the file after we hand it over.
QString documentFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

} // namespace

// Files being added, a few at a time: each batch is read and thumbnailed on
// the worker threads while this thread keeps the window painted, then stored
// here (the connection belongs to this thread). Only a batch's files are in
// memory at once.
struct PhotoPanel::Adding
{
    photos::Owner owner {}; // as shown when the files were given
    QStringList paths {};
    qsizetype start = 0; // the first path of the batch on the workers
    qsizetype batch = 0;
    QStringList refused {};
    qint64 lastAdded = 0;
    bool stopped = false;
    std::unique_ptr<QProgressDialog> progress {};
    QProgressBar *bar = nullptr;
};

PhotoPanel::PhotoPanel(AppContext &context, const Names &names)
    : m_context(context)
    , m_model(new PhotoModel(this))
{
    lstPhotos = build::named(new QListView, names.list);
    lstPhotos->setModel(m_model);
    lstPhotos->setViewMode(QListView::IconMode);
    lstPhotos->setMovement(QListView::Static);
    lstPhotos->setResizeMode(QListView::Adjust);
    lstPhotos->setIconSize(PhotoModel::iconSize());
    lstPhotos->setGridSize(PhotoModel::iconSize() + QSize(40, 48));
    m_model->setTextWidth(PhotoModel::iconSize().width() + 4, lstPhotos->font());
    // Every item is as large as the first: the view lays out hundreds of
    // them without asking each for its size (or decoding its thumbnail).
    lstPhotos->setUniformItemSizes(true);
    lstPhotos->setWordWrap(true);
    lstPhotos->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPhotos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstPhotos->setDragEnabled(false);
    // The files a file manager drops land on the viewport.
    lstPhotos->viewport()->setAcceptDrops(true);
    lstPhotos->viewport()->installEventFilter(this);

    // An empty list says how to fill it. It lets the mouse through, so that
    // a drop still lands on the list.
    lblNoPhotos = build::label(names.hint,
        u"No photos or documents yet: drop photos or PDF documents here, or click Add…", lstPhotos->viewport());
    lblNoPhotos->setAlignment(Qt::AlignCenter);
    lblNoPhotos->setWordWrap(true);
    lblNoPhotos->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblNoPhotos->setForegroundRole(QPalette::PlaceholderText);
    auto *hint = new QVBoxLayout(lstPhotos->viewport());
    hint->addWidget(lblNoPhotos);

    btnAddPhotos = build::button(names.add, u"Add…");
    btnDeletePhoto = build::button(names.remove, u"Delete");
    txtCaption = build::textBox(names.caption, photos::kCaptionWidth);
    txtCaption->setPlaceholderText(QStringLiteral("Caption of the chosen photo"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(build::caption(u"Caption:", txtCaption));
    controls->addWidget(txtCaption, 1);
    controls->addSpacing(12);
    controls->addWidget(btnAddPhotos);
    controls->addWidget(btnDeletePhoto);
    auto *main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->addWidget(lstPhotos, 1);
    main->addLayout(controls);

    connect(btnAddPhotos, &QPushButton::clicked, this, &PhotoPanel::btnAddPhotos_Click);
    connect(btnDeletePhoto, &QPushButton::clicked, this, &PhotoPanel::btnDeletePhoto_Click);
    connect(txtCaption, &QLineEdit::editingFinished, this, &PhotoPanel::txtCaption_Finished);
    connect(lstPhotos->selectionModel(), &QItemSelectionModel::currentChanged, this, &PhotoPanel::currentChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &PhotoPanel::currentChanged);
    connect(lstPhotos, &QListView::activated, this, [this](const QModelIndex &index) { openFile(index.row()); });
    currentChanged();
}

PhotoPanel::~PhotoPanel() = default;

void PhotoPanel::showOwner(const photos::Owner &owner)
{
    m_owner = owner;
    m_stale = true;
    if (isVisible())
        reload();
    else
        m_model->setEntries({});
}

void PhotoPanel::reload()
{
    m_stale = false;
    m_model->setEntries(hasOwner() ? photos::listFiles(m_context.db(), m_owner) : QList<photos::FileEntry> {});
}

void PhotoPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        Messages::guarded(this, [this] { reload(); });
}

bool PhotoPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != lstPhotos->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        if (btnAddPhotos->isEnabled() && !localFiles(drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (!btnAddPhotos->isEnabled() || paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        // After the drop has ended: the file manager waits for the answer.
        QMetaObject::invokeMethod(
            this, [this, paths] { addFiles(paths); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

const photos::FileEntry *PhotoPanel::current() const
{
    const int row = lstPhotos->currentIndex().row();
    return row >= 0 && row < m_model->entries().size() ? &m_model->entries().at(row) : nullptr;
}

void PhotoPanel::currentChanged()
{
    const photos::FileEntry *entry = current();
    btnAddPhotos->setEnabled(hasOwner());
    lblNoPhotos->setVisible(hasOwner() && m_model->rowCount() == 0);
    btnDeletePhoto->setEnabled(entry != nullptr);
    txtCaption->setEnabled(entry != nullptr);
    txtCaption->setText(entry ? entry->caption : QString());
    txtCaption->setModified(false);
}

void PhotoPanel::select(qint64 id)
{
    const int row = m_model->rowOf(id);
    if (row >= 0)
        lstPhotos->setCurrentIndex(m_model->index(row));
}

void PhotoPanel::addFiles(const QStringList &paths)
{
    if (paths.isEmpty() || m_adding || !btnAddPhotos->isEnabled() || (m_mayWrite && !m_mayWrite()))
        return;
    m_adding = std::make_unique<Adding>();
    Adding &adding = *m_adding;
    adding.owner = m_owner;
    adding.paths = paths;
    adding.batch = std::max(2, QThread::idealThreadCount() * 2);
    adding.progress = std::make_unique<QProgressDialog>(
        QStringLiteral("Adding %1 files…").arg(paths.size()), QStringLiteral("Stop"), 0, int(paths.size()), this);
    QProgressDialog &progress = *adding.progress;
    progress.setObjectName(QStringLiteral("dlgAddingPhotos"));
    progress.setWindowTitle(title());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    // The bar is moved by itself: the dialog's own setValue() runs the event
    // loop while a modal dialog shows.
    adding.bar = new QProgressBar;
    progress.setBar(adding.bar);
    progress.setRange(0, int(paths.size()));
    progress.setValue(0); // shows the dialog if the adding lasts
    // Stop ends the adding after the batch on the workers.
    connect(&progress, &QProgressDialog::canceled, this, [this] {
        if (m_adding)
            m_adding->stopped = true;
    });
    addBatch();
}

void PhotoPanel::addBatch()
{
    auto *watcher = new QFutureWatcher<Prepared>(this);
    connect(watcher, &QFutureWatcherBase::progressValueChanged, m_adding->bar,
        [this](int done) { m_adding->bar->setValue(int(m_adding->start) + done); });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        batchPrepared(watcher->future().results());
    });
    watcher->setFuture(QtConcurrent::mapped(m_adding->paths.mid(m_adding->start, m_adding->batch),
        [](const QString &path) { return photos::prepareFile(path); }));
}

void PhotoPanel::batchPrepared(const QList<Prepared> &results)
{
    Adding &adding = *m_adding;
    bool failed = false;
    for (const Prepared &result : results) {
        if (const auto *message = std::get_if<QString>(&result)) {
            adding.refused << *message;
            continue;
        }
        failed = !Messages::guarded(this, [&] {
            adding.lastAdded = photos::storeFile(
                m_context.db(), adding.owner, std::get<photos::PreparedFile>(result), m_context.stamp());
        });
        if (failed)
            break;
    }
    adding.start += adding.batch;
    if (!failed && !adding.stopped && adding.start < adding.paths.size()) {
        addBatch();
        return;
    }
    const std::unique_ptr<Adding> done = std::move(m_adding);
    done->progress->hide();
    Messages::guarded(this, [&] {
        reload();
        select(done->lastAdded);
    });
    emit filesChanged();
    for (const QString &message : done->refused)
        Messages::show(this, message, title(), Messages::Icon::Exclamation);
}

void PhotoPanel::openFile(int row)
{
    if (row < 0 || row >= m_model->entries().size())
        return;
    const photos::FileEntry entry = m_model->entries().at(row);
    if (entry.kind == photos::Kind::Photo) {
        ScreenHost *host = ScreenHost::of(this);
        if (auto *viewer
            = qobject_cast<frmPhotoViewer *>(host ? host->showScreen(QStringLiteral("frmPhotoViewer")) : nullptr))
            viewer->showFile(m_owner, entry.id);
        return;
    }
    // A document opens in the desktop's viewer, from a copy on disk.
    Messages::guarded(this, [&] {
        const std::optional<QByteArray> content = photos::loadContent(m_context.db(), entry.id);
        if (!content) {
            Messages::show(this, QStringLiteral("%1 has been deleted meanwhile.").arg(entry.fileName), title(),
                Messages::Icon::Exclamation);
            reload();
            return;
        }
        const QString folder = QDir(documentFolder()).filePath(QString::number(entry.id));
        QDir().mkpath(folder);
        QFile file(QDir(folder).filePath(photos::documentFileName(entry.fileName)));
        if (!file.open(QIODevice::WriteOnly) || file.write(*content) != content->size()) {
            Messages::show(this,
                QStringLiteral("%1 cannot be written for viewing: %2").arg(entry.fileName, file.errorString()), title(),
                Messages::Icon::Exclamation);
            return;
        }
        file.close();
        if (!Messages::openWithDesktop(file.fileName()))
            Messages::show(this, QStringLiteral("No program on this computer opens %1.").arg(entry.fileName), title(),
                Messages::Icon::Exclamation);
    });
}

void PhotoPanel::btnAddPhotos_Click()
{
    const QStringList paths
        = Messages::openFileNames(this, QStringLiteral("Add Photos and Documents"), QDir::homePath(),
            QStringLiteral("Photos and PDF documents (*.jpg *.jpeg *.png *.gif *.bmp *.tif *.tiff *.webp *.heic *.pdf "
                           "*.JPG *.JPEG *.PNG *.PDF);;All files (*)"));
    addFiles(paths);
}

void PhotoPanel::btnDeletePhoto_Click()
{
    const photos::FileEntry *entry = current();
    if (!entry || (m_mayWrite && !m_mayWrite()))
        return;
    const QString what = entry->kind == photos::Kind::Photo ? QStringLiteral("photo") : QStringLiteral("document");
    if (Messages::show(this, QStringLiteral("Delete the %1 %2? It cannot be brought back.").arg(what, entry->fileName),
            QStringLiteral("Delete"), Messages::Icon::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    const qint64 id = entry->id;
    const int row = lstPhotos->currentIndex().row();
    Messages::guarded(this, [&] {
        photos::deleteFile(m_context.db(), id);
        reload();
        // The next one (or the new last one) is chosen, ready for the next delete.
        if (m_model->rowCount() > 0)
            lstPhotos->setCurrentIndex(m_model->index(std::min(row, m_model->rowCount() - 1)));
    });
    emit filesChanged();
}

void PhotoPanel::txtCaption_Finished()
{
    const photos::FileEntry *entry = current();
    if (!entry || !txtCaption->isModified())
        return;
    txtCaption->setModified(false);
    if (m_mayWrite && !m_mayWrite())
        return;
    const qint64 id = entry->id;
    const int row = lstPhotos->currentIndex().row();
    const QString text = txtCaption->text();
    const QVariant version = entry->rowVersion;
    const QString listed = entry->caption;
    const bool saved = Messages::guarded(this, [&] {
        const auto result = photos::setCaption(m_context.db(), id, text, listed, version);
        if (const auto *problem = std::get_if<FieldProblem>(&result)) {
            Messages::showProblem(this, *problem, txtCaption, Messages::Icon::Exclamation);
            // Still to be saved once mended.
            txtCaption->setModified(true);
            return;
        }
        m_model->updateEntry(row, text.trimmed(), std::get<QVariant>(result));
    });
    if (!saved) {
        // Changed or deleted by someone else: the list shows what is stored
        // now, the box keeps what the user typed until edited again.
        Messages::guarded(this, [&] {
            reload();
            select(id);
        });
        if (m_model->rowOf(id) >= 0)
            txtCaption->setText(text);
    }
}
