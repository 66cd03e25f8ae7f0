// backends: sqlite postgres
// Photos and documents of a job: preparing files (EXIF date and orientation,
// refusals), storing and listing them, captions, the WIP entry screen's tab
// with the viewer, the drying log's photo pane, and the printed photo section.
#include "app/Screens.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Upgrade.h"
#include "drying/DryingLog.h"
#include "drying/ui/frmDryingLog.h"
#include "photos/JobFiles.h"
#include "photos/PhotoFile.h"
#include "photos/ui/PhotoPanel.h"
#include "photos/ui/frmPhotoViewer.h"
#include "reports/ReportRenderer.h"
#include "reports/Reports.h"
#include "reports/crptDryingLog.h"
#include "reports/ui/modReports.h"
#include "shell/ui/MDI.h"
#include "support/TestDb.h"
#include "support/TestHelpers.h"
#include "wip/ui/frmWIPEntry.h"

#include "widgets/GridWidget.h"
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <QtEndian>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QDateTime kModified(QDate(2026, 2, 3), QTime(8, 30));
const QDateTime kShot(QDate(2025, 7, 14), QTime(16, 32, 5));

// A JPEG as a camera writes one: the picture stored sideways (wider than
// high, red on the left) with an Exif block that says to turn it a quarter
// clockwise (Orientation 6) and when it was taken (DateTimeOriginal).
QByteArray cameraJpeg(QSize size = QSize(80, 40))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, size.width() / 4, size.height(), Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);

    // TIFF, big-endian: IFD0 (Orientation, pointer to the Exif IFD), the
    // Exif IFD (DateTimeOriginal) and the date's 20 bytes.
    QByteArray tiff;
    const auto u16 = [&](quint16 v) { tiff += char(v >> 8), tiff += char(v & 0xFF); };
    const auto u32 = [&](quint32 v) { u16(quint16(v >> 16)), u16(quint16(v & 0xFFFF)); };
    tiff += "MM";
    u16(42);
    u32(8);
    u16(2); // IFD0 at 8
    u16(0x0112), u16(3), u32(1), u16(6), u16(0);
    u16(0x8769), u16(4), u32(1), u32(38);
    u32(0);
    u16(1); // Exif IFD at 38
    u16(0x9003), u16(2), u32(20), u32(56);
    u32(0);
    tiff += kShot.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toLatin1() + '\0'; // at 56
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray app1("\xFF\xE1", 2);
    app1 += char((payload.size() + 2) >> 8);
    app1 += char((payload.size() + 2) & 0xFF);
    return jpeg.left(2) + app1 + payload + jpeg.mid(2);
}

QByteArray png(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(0, 0, size.width() / 2, size.height(), Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray kPdf("%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");

// The test file of a kind by its name: its bytes, or a sparse file of the
// given size for "sparse".
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &kind, qint64 sparseSize = 0)
{
    const QString path = dir.filePath(name);
    // What is not a regular file under a photo's name.
    if (kind == "device")
        return QStringLiteral("/dev/null");
    if (kind == "fifo") {
        if (::mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("cannot make the pipe %s", qPrintable(path));
        return path;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    if (kind == "camera")
        file.write(cameraJpeg());
    else if (kind == "cut") {
        const QByteArray whole = cameraJpeg(QSize(400, 300));
        file.write(whole.left(whole.size() / 2));
    } else if (kind == "png")
        file.write(png(QSize(30, 20)));
    else if (kind == "bigpng")
        file.write(png(QSize(1000, 500)));
    else if (kind == "widepng")
        file.write(png(QSize(3000, 1500)));
    else if (kind == "pdf")
        file.write(kPdf);
    else if (kind == "text")
        file.write("Moisture readings to follow.\n");
    else if (kind == "sparse")
        file.resize(sparseSize);
    else if (kind.startsWith("ppm ")) // "ppm 30000": a square image's header, no pixels
        file.write("P6\n" + kind.mid(4) + ' ' + kind.mid(4) + "\n255\n" + QByteArray(64, '\0'));
    file.flush();
    file.setFileTime(kModified, QFileDevice::FileModificationTime);
    return path;
}

QImage imageOf(const QByteArray &bytes)
{
    return QImage::fromData(bytes);
}

photos::PreparedFile prepared(const QByteArray &kind, const QString &name, const QDateTime &takenAt)
{
    QTemporaryDir dir;
    auto result = photos::prepareFile(writeFile(dir, name, kind));
    if (!std::holds_alternative<photos::PreparedFile>(result))
        qFatal("%s", qPrintable(std::get<QString>(result)));
    auto file = std::get<photos::PreparedFile>(std::move(result));
    file.takenAt = takenAt;
    return file;
}

qint64 addJob(const QString &customer)
{
    return testdb::insertRow("WIP", { { "Customer", customer }, { "JobType", "Water" } });
}

// A job with a photo and a document of its own, the affected Kitchen (first
// in the log) with a photo and a point with one, and the Hall, whose photo
// was taken first; then `extra` more of the job's own.
struct PhotoJob
{
    qint64 job = 0, kitchen = 0, hall = 0, point = 0;
};

PhotoJob photoJob(data::Connection &c, int extra = 0)
{
    PhotoJob j;
    j.job = addJob("Smith");
    j.kitchen = testdb::insertRow("DryingRoom", { { "WIPID", j.job }, { "Name", "Kitchen" }, { "Affected", true } });
    j.hall = testdb::insertRow("DryingRoom", { { "WIPID", j.job }, { "Name", "Hall" }, { "Affected", false } });
    j.point = testdb::insertRow(
        "MoisturePoint", { { "RoomID", j.kitchen }, { "Material", "Drywall" }, { "Location", "north wall" } });
    const auto store = [&](const photos::Owner &owner, const QByteArray &kind, const QString &name, int day) {
        return photos::storeFile(c, owner, prepared(kind, name, kShot.addDays(day)), { "admin", kModified });
    };
    store({ j.job, 0, 0 }, "png", "arrival.png", 0);
    store({ j.job, 0, 0 }, "pdf", "scope.pdf", 0);
    store({ 0, j.hall, 0 }, "png", "hall.png", 1);
    store({ 0, j.kitchen, 0 }, "png", "kitchen.png", 2);
    store({ 0, 0, j.point }, "camera", "wall.jpg", 3);
    testdb::exec("UPDATE JobFile SET Caption = ? WHERE FileName = ?", { "Cabinets removed", "kitchen.png" });
    testdb::exec("UPDATE JobFile SET Caption = ? WHERE FileName = ?", { "North wall at 4 ft", "wall.jpg" });
    for (int i = 1; i <= extra; ++i)
        store({ j.job, 0, 0 }, "bigpng", QStringLiteral("extra%1.png").arg(i), 3 + i);
    return j;
}

} // namespace

class TestPhotos : public QObject
{
    Q_OBJECT
    std::unique_ptr<MDI> m_mdi;
    frmWIPEntry *m_entry = nullptr;
    QTemporaryDir m_files;

    template <typename T = QWidget> T *child(const char *name) { return findControl<T>(m_entry, name); }
    QListView *list() { return child<QListView>("lstPhotos"); }

    // The entry screen on the job, its photos tab chosen.
    void openJob(qint64 job)
    {
        testdb::logIn(1, "admin", "Admin");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        QApplication::setActiveWindow(m_mdi.get());
        m_entry = qobject_cast<frmWIPEntry *>(m_mdi->openScreen("frmWIPEntry"));
        QVERIFY(m_entry);
        auto *tabs = child<QTabWidget>("SSTab1");
        QVERIFY(!tabs->isTabEnabled(tabs->indexOf(child("tabPhotos"))));
        m_entry->LoadWIP(QString::number(job));
        QVERIFY(tabs->isTabEnabled(tabs->indexOf(child("tabPhotos"))));
        tabs->setCurrentWidget(child("tabPhotos"));
    }

    // "kind:name" specs written as files.
    QStringList files(const QStringList &specs)
    {
        QStringList paths;
        for (const QString &spec : specs) {
            const QString kind = spec.section(u':', 0, 0);
            paths << writeFile(m_files, spec.section(u':', 1), kind.toLatin1(), qint64(30) << 20);
        }
        return paths;
    }

    // Drops the files on the list as a file manager does.
    void drop(const QStringList &paths)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        QWidget *viewport = list()->viewport();
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &dropped);
        QVERIFY(dropped.isAccepted());
    }

    QStringList listed() { return itemTexts(list()); }

    // Double-clicks the list's row: a photo opens in the viewer.
    frmPhotoViewer *activate(int row)
    {
        list()->setCurrentIndex(list()->model()->index(row, 0));
        emit list()->activated(list()->currentIndex());
        return qobject_cast<frmPhotoViewer *>(m_mdi->findChild<QWidget *>("frmPhotoViewer"));
    }

    QStringList storedNames(qint64 job)
    {
        QStringList names;
        data::Rows q = testdb::exec("SELECT FileName FROM JobFile WHERE WIPID = ? ORDER BY TakenAt, ID", { job });
        while (q.next())
            names << q.value(0).toString();
        return names;
    }

private slots:
    void init() { resetTestState(); }
    void cleanup()
    {
        m_entry = nullptr;
        m_mdi.reset();
    }

    // What a file becomes, or the message that refuses it. Sizes are as
    // shown: the camera's sideways 80x40 stands upright as 40x80.
    void prepare_data()
    {
        columns<QByteArray, QString, qint64, QString, QString, QDateTime, QSize, QSize>(
            { "kind", "name", "size", "message", "stored", "takenAt", "shown", "thumbnail" });
        const QSize none(0, 0);
        row("camera photo: EXIF date, turned upright", QByteArray("camera"), QString("IMG_0001.JPG"), qint64(0),
            QString(), QString("photo"), kShot, QSize(40, 80), QSize(40, 80));
        row("photo without EXIF: the file's time", QByteArray("png"), QString("sketch.png"), qint64(0), QString(),
            QString("photo"), kModified, QSize(30, 20), QSize(30, 20));
        row("large photo: thumbnail within 256", QByteArray("bigpng"), QString("wall.png"), qint64(0), QString(),
            QString("photo"), kModified, QSize(1000, 500), QSize(256, 128));
        row("PDF: a document, no thumbnail", QByteArray("pdf"), QString("authorization.pdf"), qint64(0), QString(),
            QString("document"), kModified, QSize(0, 0), none);
        const auto refused
            = [](const char *tag, const char *kind, const QString &name, qint64 size, const QString &why) {
                  row(tag, QByteArray(kind), name, size, name + ' ' + why + "; it was not added.", QString(),
                      QDateTime(), QSize(0, 0), QSize(0, 0));
              };
        const QString neither("is neither a photo nor a PDF document");
        refused("not a photo", "text", "notes.txt", 0, neither);
        refused("cut-off JPEG", "cut", "IMG_0002.JPG", 0, "is damaged: it cannot be read as a JPEG image");
        refused("over 25 MB", "sparse", "video.mov", qint64(30) << 20, "is 30 MB, larger than the 25 MB a file may be");
        refused("25 MB exactly is read", "sparse", "zeros.bin", photos::kMaxFileBytes, neither);
        // Told from the header, never decoded; the limit itself is taken.
        refused("over 100 megapixels", "ppm 30000", "huge.ppm", 0,
            "is 30000 × 30000 pixels, larger than the 100 megapixels a photo may be");
        refused("100 megapixels is read", "ppm 10000", "full.ppm", 0, "is damaged: it cannot be read as a PPM image");
        // Refused by name without being opened: reading a pipe waits for good.
        const QString notAFile("is not a file but a pipe, device or socket");
        refused("a pipe", "fifo", "fifo.jpg", 0, notAFile);
        refused("a device", "device", "null", 0, notAFile); // else read as empty
    }

    void prepare()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        QFETCH(QDateTime, takenAt);
        QFETCH(QSize, shown);
        QFETCH(QSize, thumbnail);
        QTemporaryDir dir;
        const QString path = writeFile(dir, name, kind, size);
        QFuture<std::variant<photos::PreparedFile, QString>> future
            = QtConcurrent::run([path] { return photos::prepareFile(path); });
        if (!QTest::qWaitFor([&] { return future.isFinished(); }, 20000)) {
            // Stuck on the pipe: a writer that comes and goes lets it go.
            ::close(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK));
            future.waitForFinished();
            QFAIL("Reading the file did not end.");
        }
        const auto result = future.result();
        if (!message.isEmpty()) {
            QVERIFY(std::holds_alternative<QString>(result));
            QCOMPARE(std::get<QString>(result), message);
            return;
        }
        if (const auto *refused = std::get_if<QString>(&result))
            QFAIL(qPrintable(*refused));
        const photos::PreparedFile &file = std::get<photos::PreparedFile>(result);
        QCOMPARE(file.fileName, name);
        QCOMPARE(photos::kindText(file.kind), stored);
        QCOMPARE(file.takenAt, takenAt);
        QCOMPARE(QSize(file.width, file.height), shown);
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(file.content, original.readAll());
        QCOMPARE(imageOf(file.thumbnail).size(), thumbnail);
        if (kind == "camera") {
            // Upright: the red band, on the left as stored, is now on top.
            const QImage thumb = imageOf(file.thumbnail);
            QVERIFY(qRed(thumb.pixel(20, 5)) > 200 && qBlue(thumb.pixel(20, 5)) < 60);
            QVERIFY(qBlue(thumb.pixel(20, 70)) > 200);
            QCOMPARE(photos::decodeUpright(file.content).size(), shown);
        }
    }

    // Where a file belongs, and whose lists show it: a job's list holds its
    // rooms' and points' files, a room's its points'. An owner that is not
    // the job's stores nothing.
    void owners_data()
    {
        columns<QString, QString, QStringList>({ "storeFor", "listFor", "listed" });
        const QStringList all { "arrival.pdf", "wall.jpg", "kitchen.jpg", "dry.jpg" };
        row("the job lists all, by date", QString("job"), QString("job"), all + QStringList { "new.jpg" });
        row("the room its own and its points'", QString("room"), QString("room"),
            QStringList { "wall.jpg", "kitchen.jpg", "new.jpg" });
        row("the point its own", QString("point"), QString("point"), QStringList { "wall.jpg", "new.jpg" });
        row("another job's room is refused", QString("other job's room"), QString("job"), all);
        row("a point given with another room is refused", QString("point in the wrong room"), QString("job"), all);
        row("a job that is gone is refused", QString("no job"), QString("job"), all);
    }

    void owners()
    {
        QFETCH(QString, storeFor);
        QFETCH(QString, listFor);
        QFETCH(QStringList, listed);
        JT_FRESH_DB(db);
        auto &c = db.connection();
        const data::Stamp stamp { "kwhitfield", kModified };
        const qint64 job = addJob("Smith");
        const qint64 other = addJob("Jones");
        const qint64 room = testdb::insertRow("DryingRoom", { { "WIPID", job }, { "Name", "Kitchen" } });
        const qint64 hall = testdb::insertRow("DryingRoom", { { "WIPID", job }, { "Name", "Hall" } });
        const qint64 otherRoom = testdb::insertRow("DryingRoom", { { "WIPID", other }, { "Name", "Den" } });
        const qint64 point = testdb::insertRow("MoisturePoint", { { "RoomID", room }, { "Material", "Drywall" } });
        // Stored out of date order; equal dates keep the order added.
        photos::storeFile(c, { job, 0, 0 }, prepared("png", "dry.jpg", kShot.addDays(9)), stamp);
        photos::storeFile(c, { 0, 0, point }, prepared("camera", "wall.jpg", kShot.addDays(1)), stamp);
        photos::storeFile(c, { job, room, 0 }, prepared("png", "kitchen.jpg", kShot.addDays(1)), stamp);
        photos::storeFile(c, { job, 0, 0 }, prepared("pdf", "arrival.pdf", kShot), stamp);

        const QHash<QString, photos::Owner> owners { { "job", { job, 0, 0 } }, { "room", { 0, room, 0 } },
            { "point", { 0, 0, point } }, { "other job's room", { job, otherRoom, 0 } },
            { "point in the wrong room", { job, hall, point } }, { "no job", { other + 100, 0, 0 } } };
        const photos::PreparedFile added = prepared("camera", "new.jpg", kShot.addDays(20));
        try {
            const qint64 id = photos::storeFile(c, owners.value(storeFor), added, stamp);
            QVERIFY(!storeFor.contains(u' '));
            const photos::FileEntry entry = *photos::loadEntry(c, id);
            QCOMPARE(entry.wipId, job);
            QCOMPARE(entry.roomId, storeFor == u"job" ? 0 : room);
            QCOMPARE(entry.addedBy, QString("kwhitfield"));
            QCOMPARE(entry.addedAt, kModified);
            QCOMPARE(entry.size, qint64(added.content.size()));
            QCOMPARE(*photos::loadContent(c, id), added.content);
        } catch (const data::DbError &e) {
            QVERIFY2(storeFor.contains(u' '), qPrintable(e.message()));
        }
        QStringList names;
        for (const photos::FileEntry &entry : photos::listFiles(c, owners.value(listFor))) {
            names << entry.fileName;
            // The list carries thumbnails, never the originals.
            QCOMPARE(entry.thumbnail.isEmpty(), entry.kind == photos::Kind::Document);
        }
        QCOMPARE(names, listed);
    }

    // Deleting a moisture point or a room never deletes the evidence: the
    // point's files stay with its room, the room's with the job.
    void filesOutliveTheirPlace_data()
    {
        QTest::addColumn<bool>("roomDeleted");
        QTest::newRow("point deleted") << false;
        QTest::newRow("room deleted") << true;
    }
    void filesOutliveTheirPlace()
    {
        QFETCH(bool, roomDeleted);
        JT_FRESH_DB(db);
        auto &c = db.connection();
        const qint64 job = addJob("Smith");
        const qint64 room = testdb::insertRow("DryingRoom", { { "WIPID", job }, { "Name", "Kitchen" } });
        const qint64 point = testdb::insertRow("MoisturePoint", { { "RoomID", room }, { "Material", "Drywall" } });
        const qint64 id = photos::storeFile(
            c, { 0, 0, point }, prepared("camera", "wall.jpg", kShot), data::Stamp { "kwhitfield", kModified });
        if (roomDeleted)
            QVERIFY(!drying::deleteRoom(c, room));
        else
            drying::deletePoint(c, point);
        const photos::FileEntry entry = *photos::loadEntry(c, id);
        QCOMPARE(entry.pointId, 0);
        QCOMPARE(entry.roomId, roomDeleted ? 0 : room);
        QCOMPARE(photos::listFiles(c, { job, 0, 0 }).size(), 1);
    }

    // A document's stored name, as another program may have written it, is
    // only ever a plain PDF name on disk.
    void documentFileName_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << QStringLiteral("Claim Letter.PDF") << QStringLiteral("Claim Letter.PDF");
        QTest::newRow("folders climbed") << QStringLiteral("../../.config/autostart/run.desktop")
                                         << QStringLiteral("run.desktop.pdf");
        QTest::newRow("windows path") << QStringLiteral("C:\\Users\\ann\\scope.pdf") << QStringLiteral("scope.pdf");
        QTest::newRow("dots only") << QStringLiteral("..") << QStringLiteral("document.pdf");
        QTest::newRow("control characters") << QStringLiteral("line\nbreak.pdf") << QStringLiteral("linebreak.pdf");
    }
    void documentFileName()
    {
        QFETCH(QString, stored);
        QFETCH(QString, written);
        QCOMPARE(photos::documentFileName(stored), written);
    }

    // A caption is saved while nobody changed the file since it was listed;
    // also on a database the upgrade gave the table.
    void caption_data()
    {
        columns<bool, QString, bool, QString>({ "upgraded", "caption", "staleVersion", "refusal" });
        row("saved, trimmed", false, QString("  Kitchen wall, north  "), false, QString());
        row("saved after the upgrade", true, QString("Kitchen wall, north"), false, QString());
        row("changed by someone else", false, QString("Mine"), true, QString("changed"));
        row("changed by someone else after the upgrade", true, QString("Mine"), true, QString("changed"));
        row("too long", false, QString(251, u'x'), false,
            QString("Photos: A caption takes at most 250 characters; this one has 251."));
    }

    void caption()
    {
        QFETCH(bool, upgraded);
        QFETCH(QString, caption);
        QFETCH(bool, staleVersion);
        QFETCH(QString, refusal);
        JT_FRESH_DB(db);
        auto &c = db.connection();
        if (upgraded) {
            testdb::execScript(c.dialect().kind() == data::DbKind::PostgreSQL
                    ? QStringLiteral("DROP TRIGGER TR_JobFile_RowVersion ON JobFile")
                    : QStringLiteral("DROP TRIGGER TR_JobFile_RowVersion"));
            testdb::execScript("DROP TABLE JobFile");
            testdb::exec("UPDATE SchemaVersion SET Version = ?", { 10 });
            QCOMPARE(data::upgradeSchema(c).to, data::kSchemaVersion);
            QVERIFY(data::checkSchema(c).complete());
        }
        const qint64 id
            = photos::storeFile(c, { addJob("Smith"), 0, 0 }, prepared("png", "a.png", kShot), { "admin", kModified });
        const QVariant listed = photos::loadEntry(c, id)->rowVersion;
        if (staleVersion)
            QVERIFY(!std::holds_alternative<FieldProblem>(photos::setCaption(c, id, "Theirs", QString(), listed)));
        try {
            const auto result = photos::setCaption(c, id, caption, QString(), listed);
            if (const auto *problem = std::get_if<FieldProblem>(&result)) {
                QCOMPARE(problem->title + ": " + problem->text, refusal);
                QCOMPARE(photos::loadEntry(c, id)->caption, QString());
                return;
            }
            QVERIFY(refusal.isEmpty());
            QCOMPARE(photos::loadEntry(c, id)->caption, caption.trimmed());
            // The version returned is the one a next save must name.
            QCOMPARE(std::get<QVariant>(result), photos::loadEntry(c, id)->rowVersion);
            QVERIFY(std::get<QVariant>(result) != listed);
        } catch (const data::ChangedByOtherError &) {
            QCOMPARE(refusal, QString("changed"));
            QCOMPARE(photos::loadEntry(c, id)->caption, QString("Theirs"));
        }
    }

    // Adding through the dialog or a drop: the files are stored in date
    // order; each refused one gets its message naming it, and the rest of
    // the same drop is kept.
    void add_data()
    {
        columns<bool, QStringList, QStringList, QStringList>({ "byDrop", "files", "stored", "messages" });
        row("several through Add…", false,
            QStringList { "pdf:authorization.pdf", "camera:IMG_0001.JPG", "png:sketch.png" },
            QStringList { "IMG_0001.JPG", "authorization.pdf", "sketch.png" }, QStringList());
        row("a drop with bad files among good ones", true,
            QStringList {
                "cut:IMG_0002.JPG", "camera:IMG_0001.JPG", "sparse:clip.mov", "text:notes.txt", "png:sketch.png" },
            QStringList { "IMG_0001.JPG", "sketch.png" },
            QStringList { "Photos: IMG_0002.JPG is damaged: it cannot be read as a JPEG image; it was not added. (!)",
                "Photos: clip.mov is 30 MB, larger than the 25 MB a file may be; it was not added. (!)",
                "Photos: notes.txt is neither a photo nor a PDF document; it was not added. (!)" });
        row("Add… cancelled", false, QStringList(), QStringList(), QStringList());
    }

    void add()
    {
        QFETCH(bool, byDrop);
        QFETCH(QStringList, files);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, messages);
        JT_FRESH_DB(db);
        const qint64 job = addJob("Smith");
        openJob(job);
        // The empty tab says how to fill it; a drop lands through the text.
        auto *hint = child<QLabel>("lblNoPhotos");
        QVERIFY(hint->isVisible());
        QCOMPARE(hint->text(), QString("No photos or documents yet: drop photos or PDF documents here, or click Add…"));
        const QStringList paths = this->files(files);
        QSignalSpy added(m_entry->findChild<PhotoPanel *>(), &PhotoPanel::filesChanged);
        if (byDrop) {
            drop(paths);
            QTRY_COMPARE(storedNames(job), stored);
        } else {
            Messages::setNextFileName(paths.join(u'\n'));
            QTest::mouseClick(child<QPushButton>("btnAddPhotos"), Qt::LeftButton);
        }
        // The adding goes on after the click or the drop has returned.
        QTRY_COMPARE(added.count(), files.isEmpty() ? 0 : 1);
        QTRY_COMPARE(shownMessages(), messages);
        QCOMPARE(storedNames(job), stored);
        QCOMPARE(listed().size(), stored.size());
        QCOMPARE(hint->isVisible(), stored.isEmpty());
        for (int i = 0; i < stored.size(); ++i)
            QVERIFY2(listed().at(i).startsWith(stored.at(i) + u'\n'), qPrintable(listed().at(i)));
        // The user who added them is stamped.
        if (!stored.isEmpty())
            QCOMPARE(testdb::scalar("SELECT MIN(AddedBy) FROM JobFile").toString(), QString("admin"));
    }

    // The caption saved when the box is left, a second user's change meanwhile
    // refused; a delete asked first, its default No keeping the file.
    void editAndDelete_data()
    {
        columns<QString, QStringList, QString, QStringList>({ "action", "stored", "caption", "messages" });
        const QStringList all { "a.png", "b.png", "c.png" };
        row("caption saved", QString("caption"), all, QString("North wall at 4 ft"), QStringList());
        row("caption changed by someone else", QString("caption meanwhile"), all, QString("Theirs"),
            QStringList { "Changed by Someone Else" });
        row("delete, the default answer", QString("delete default"), all, QString(),
            QStringList { "Delete: Delete the photo b.png? It cannot be brought back. (buttons)" });
        row("delete answered Yes", QString("delete yes"), QStringList { "a.png", "c.png" }, QString(),
            QStringList { "Delete: Delete the photo b.png? It cannot be brought back. (buttons)" });
    }

    void editAndDelete()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, stored);
        QFETCH(QString, caption);
        QFETCH(QStringList, messages);
        JT_FRESH_DB(db);
        const qint64 job = addJob("Smith");
        for (int i = 0; i < 3; ++i)
            photos::storeFile(db.connection(), { job, 0, 0 },
                prepared("png", QStringLiteral("%1.png").arg(QChar(u'a' + i)), kShot.addDays(i)),
                { "admin", kModified });
        openJob(job);
        list()->setCurrentIndex(list()->model()->index(1, 0));
        auto *box = child<QLineEdit>("txtCaption");
        if (action.startsWith(u"caption")) {
            if (action.endsWith(u"meanwhile"))
                testdb::exec("UPDATE JobFile SET Caption = ? WHERE FileName = ?", { "Theirs", "b.png" });
            box->setFocus();
            QTest::keyClicks(box, "North wall at 4 ft");
            child<QPushButton>("btnAddPhotos")->setFocus();
            QCOMPARE(testdb::scalar("SELECT Caption FROM JobFile WHERE FileName = ?", { "b.png" }).toString(), caption);
            // The list shows what is stored.
            QVERIFY2(listed().at(1).startsWith(caption + u'\n'), qPrintable(listed().at(1)));
            // The box keeps what was typed, saved or not.
            QCOMPARE(box->text(), QString("North wall at 4 ft"));
        } else {
            // Unanswered, the question takes its default button.
            if (action.endsWith(u"yes"))
                Messages::setNextAnswer(QMessageBox::Yes);
            QTest::mouseClick(child<QPushButton>("btnDeletePhoto"), Qt::LeftButton);
        }
        QStringList shown = shownMessages();
        for (QString &text : shown)
            text = text.section(u':', 0, 0) == u"Changed by Someone Else" ? text.section(u':', 0, 0) : text;
        QCOMPARE(shown, messages);
        QCOMPARE(storedNames(job), stored);
        QCOMPARE(listed().size(), stored.size());
    }

    // A double-click opens a photo in the viewer, which steps through the
    // job's photos (not its documents) and zooms; a document opens in the
    // desktop's program from a copy of its bytes.
    void open()
    {
        JT_FRESH_DB(db);
        const qint64 job = addJob("Smith");
        const photos::Owner owner { job, 0, 0 };
        const data::Stamp stamp { "admin", kModified };
        photos::storeFile(db.connection(), owner, prepared("camera", "IMG_0001.JPG", kShot), stamp);
        photos::storeFile(db.connection(), owner, prepared("pdf", "scope.pdf", kShot.addDays(1)), stamp);
        photos::storeFile(db.connection(), owner, prepared("bigpng", "wall.png", kShot.addDays(2)), stamp);
        openJob(job);
        QCOMPARE(list()->model()->rowCount(), 3);

        activate(1);
        QCOMPARE(Messages::dialogs().size(), 1);
        const QString copy = Messages::dialogs().first().mid(6);
        QVERIFY2(copy.endsWith(u"/scope.pdf"), qPrintable(copy));
        QFile written(copy);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), kPdf);

        frmPhotoViewer *viewer = activate(2);
        QVERIFY(viewer);
        const auto info = [&] { return findControl<QLabel>(viewer, "lblPhotoInfo")->text(); };
        const auto shownSize = [&] { return findControl<QLabel>(viewer, "lblPhoto")->pixmap().size(); };
        QVERIFY2(info().startsWith("wall.png — taken ") && info().endsWith(" — 2 of 2"), qPrintable(info()));
        // Fitted into the window: the 1000x500 original drawn smaller.
        QVERIFY(viewer->fitted() && viewer->scale() < 1);
        QCOMPARE(shownSize(), QSize(qRound(1000 * viewer->scale()), qRound(500 * viewer->scale())));
        QVERIFY(!findControl<QPushButton>(viewer, "btnNext")->isEnabled());

        QTest::mouseClick(findControl<QPushButton>(viewer, "btnPrevious"), Qt::LeftButton);
        QVERIFY2(info().startsWith("IMG_0001.JPG — taken ") && info().endsWith(" — 1 of 2"), qPrintable(info()));
        // The original, upright, at its own size (smaller than the window).
        QCOMPARE(shownSize(), QSize(40, 80));
        QTest::mouseClick(findControl<QPushButton>(viewer, "btnZoomIn"), Qt::LeftButton);
        QCOMPARE(shownSize(), QSize(50, 100));
        QVERIFY(!viewer->fitted());
        QTest::mouseClick(findControl<QPushButton>(viewer, "btnFit"), Qt::LeftButton);
        QCOMPARE(shownSize(), QSize(40, 80));
        QCOMPARE(shownMessages(), QStringList());
    }

    // Zoomed in, the viewer draws no more than photos::kMaxViewPixels, and
    // no side over photos::kMaxViewSide, however large the photo; past its
    // own size still.
    void zoomIsBoundBySize()
    {
        JT_FRESH_DB(db);
        const qint64 job = addJob("Smith");
        photos::storeFile(
            db.connection(), { job, 0, 0 }, prepared("widepng", "wide.png", kShot), { "admin", kModified });
        openJob(job);
        frmPhotoViewer *viewer = activate(0);
        QVERIFY(viewer);
        auto *zoomIn = findControl<QPushButton>(viewer, "btnZoomIn");
        const double most = photos::maxViewScale(QSize(3000, 1500));
        QVERIFY(most > 1 && most < 8);
        for (int i = 0; i < 40 && zoomIn->isEnabled(); ++i) {
            QTest::mouseClick(zoomIn, Qt::LeftButton);
            QVERIFY2(viewer->scale() <= most, qPrintable(QString::number(viewer->scale())));
        }
        QVERIFY(!zoomIn->isEnabled());
        QCOMPARE(viewer->scale(), most);
        const QSize drawn = findControl<QLabel>(viewer, "lblPhoto")->pixmap().size();
        QCOMPARE(drawn, QSize(qRound(3000 * most), qRound(1500 * most)));
        QVERIFY(qint64(drawn.width()) * drawn.height() <= photos::kMaxViewPixels + drawn.width() + drawn.height());
        QVERIFY(drawn.width() <= photos::kMaxViewSide);
    }

    // A caption or file name holding markup shows as it was typed in the
    // viewer's information line, the list's tool tip and the delete
    // question: nothing is drawn from it (a local picture, a label 30,000
    // pixels wide).
    void shownAsTyped_data()
    {
        columns<QString>({ "surface" });
        row("the viewer's information line", QString("viewer"));
        row("the list's tool tip", QString("tooltip"));
        row("the delete question", QString("delete"));
    }
    void shownAsTyped()
    {
        QFETCH(QString, surface);
        const QString markup = QStringLiteral("<img src=\"/etc/hostname\" width=\"30000\"> &amp; <b>bold</b>");
        JT_FRESH_DB(db);
        const qint64 job = addJob("Smith");
        const auto file = photos::prepareBytes(markup + ".png", png(QSize(30, 20)), kModified);
        photos::storeFile(db.connection(), { job, 0, 0 }, std::get<photos::PreparedFile>(file), { "admin", kModified });
        testdb::exec("UPDATE JobFile SET Caption = ?", { "Caption " + markup });
        openJob(job);
        if (surface == "viewer") {
            auto *info = findControl<QLabel>(activate(0), "lblPhotoInfo");
            QCOMPARE(info->textFormat(), Qt::PlainText);
            QVERIFY2(
                info->text().startsWith(markup + ".png — Caption " + markup + " — taken "), qPrintable(info->text()));
        } else if (surface == "tooltip") {
            // What a tool tip shows: markup read as such, else the text.
            const QString tip = list()->model()->index(0, 0).data(Qt::ToolTipRole).toString();
            QTextDocument shown;
            if (Qt::mightBeRichText(tip))
                shown.setHtml(tip);
            else
                shown.setPlainText(tip);
            QVERIFY2(
                shown.toPlainText().startsWith("Caption " + markup + '\n' + markup + ".png\nTaken "), qPrintable(tip));
        } else {
            list()->setCurrentIndex(list()->model()->index(0, 0));
            QTest::mouseClick(child<QPushButton>("btnDeletePhoto"), Qt::LeftButton);
            QCOMPARE(Messages::shown().size(), 1);
            QCOMPARE(Messages::shown().first().text,
                QString("Delete the photo %1.png? It cannot be brought back.").arg(markup));
            QCOMPARE(Messages::shown().first().textFormat, Qt::PlainText);
        }
    }

    // The drying log shows the photos of the chosen room (its points' too) or
    // of the point chosen on the points' tab, never the job's others; a photo
    // added there belongs to what is shown; the viewer steps through them.
    void dryingLog_data()
    {
        columns<QString, QStringList, QString>({ "chosen", "listed", "label" });
        const QStringList kitchen { "Cabinets removed", "North wall at 4 ft", "new.png" };
        row("a room: its own and its points'", QString("Kitchen"), kitchen, QString("Kitchen"));
        row("a point on the points' tab: its own", QString("point"), QStringList { "North wall at 4 ft", "new.png" },
            QString("Kitchen \u00b7 point Drywall, north wall"));
        row("a point chosen, another tab shown: the room's", QString("point, other tab"), kitchen, QString("Kitchen"));
        row("another room", QString("Hall"), QStringList { "hall.png", "new.png" }, QString("Hall"));
    }

    void dryingLog()
    {
        QFETCH(QString, chosen);
        QFETCH(QStringList, listed);
        QFETCH(QString, label);
        JT_FRESH_DB(db);
        const PhotoJob j = photoJob(db.connection());
        testdb::logIn(1, "admin", "Admin");
        m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
        m_mdi->show();
        auto *log = qobject_cast<frmDryingLog *>(m_mdi->openScreen("frmDryingLog"));
        QVERIFY(log);
        log->LoadDryingLog(QString::number(j.job));
        auto *rooms = findControl<QListWidget>(log, "lstRooms");
        rooms->setCurrentItem(rooms->findItems(chosen == u"Hall" ? "Hall" : "Kitchen", Qt::MatchExactly).value(0));
        auto *tabs = findControl<QTabWidget>(log, "tabLog");
        if (chosen.startsWith(u"point")) {
            tabs->setCurrentWidget(findControl(log, "tabMoisture"));
            QVERIFY(findControl<GridWidget>(log, "vsfgPoints")->setRow(1));
            if (chosen.endsWith(u"tab"))
                tabs->setCurrentWidget(findControl(log, "tabAtmosphere"));
        }
        findControl<QTabWidget>(log, "tabLower")->setCurrentWidget(findControl(log, "tabRoomPhotos"));
        QCOMPARE(findControl<QLabel>(log, "lblRoomPhotos")->text(), label);
        QSignalSpy added(log->findChild<PhotoPanel *>(), &PhotoPanel::filesChanged);
        Messages::setNextFileName(files({ "png:new.png" }).join(u'\n'));
        QTest::mouseClick(findControl<QPushButton>(log, "btnAddRoomPhotos"), Qt::LeftButton);
        QTRY_COMPARE(added.count(), 1);
        auto *view = findControl<QListView>(log, "lstRoomPhotos");
        QStringList shown;
        for (const QString &text : itemTexts(view))
            shown << text.section(u'\n', 0, 0);
        QCOMPARE(shown, listed);
        QCOMPARE(testdb::scalar("SELECT COUNT(*) FROM JobFile WHERE FileName = ? AND WIPID = ? AND RoomID = ? AND "
                                "COALESCE(PointID, 0) = ?",
                     { "new.png", j.job, chosen == u"Hall" ? j.hall : j.kitchen, chosen == u"point" ? j.point : 0 })
                     .toInt(),
            1);

        view->setCurrentIndex(view->model()->index(0, 0));
        emit view->activated(view->currentIndex());
        const QString info = findControl<QLabel>(m_mdi.get(), "lblPhotoInfo")->text();
        QVERIFY2(info.endsWith(QStringLiteral(" \u2014 1 of %1").arg(listed.size())), qPrintable(info));
        QCOMPARE(shownMessages(), QStringList());
    }

    // The photo section after the report, only when asked for: six to a page,
    // each photo's caption (or file name), date and place, never a document;
    // the drying log's only its rooms' and points', room by room. Each picture
    // is read once, upright and as small as its place needs.
    void printed_data()
    {
        columns<QString, QString, int, int, QStringList, QStringList>(
            { "report", "via", "extra", "pages", "inOrder", "absent" });
        const QStringList all { "PHOTOS", "arrival.png", "Taken ", "hall.png", "Hall", "Cabinets removed", "Kitchen",
            "North wall at 4 ft", "Kitchen \u00b7 point Drywall, north wall", "extra1.png" };
        row("work order: seven over two pages, by date", QString("work-order"), QString("pdf"), 3, 2,
            all + QStringList { "extra2.png", "PHOTOS (CONTINUED)", "extra3.png" }, QStringList { "scope.pdf" });
        row("work order: six fill one page", QString("work-order"), QString("pdf"), 2, 1, all,
            QStringList { "(CONTINUED)" });
        row("drying log: its rooms' and points' only, room by room", QString("drying-log"), QString("pdf"), 3, 1,
            QStringList { "PHOTOS", "Cabinets removed", "North wall at 4 ft", "hall.png", "Hall" },
            QStringList { "arrival.png", "extra1.png" });
        row("a photo deleted after the report was made", QString("work-order"), QString("pdf, one deleted"), 0, 1,
            QStringList { "hall.png", "Cabinets removed", "The picture cannot be read.", "North wall at 4 ft" },
            QStringList());
        row("the viewer's check box", QString("work-order"), QString("viewer"), 3, 2, QStringList(), QStringList());
        row("the admin tool's --photos", QString("drying-log"), QString("admin"), 3, 1,
            QStringList { "PHOTOS", "Cabinets removed", "hall.png" }, QStringList { "arrival.png" });
    }

    void printed()
    {
        QFETCH(QString, report);
        QFETCH(QString, via);
        QFETCH(int, extra);
        QFETCH(int, pages);
        QFETCH(QStringList, inOrder);
        QFETCH(QStringList, absent);
        JT_FRESH_DB(db);
        auto &c = db.connection();
        const qint64 job = photoJob(c, extra).job;
        const QString pdf = m_files.filePath("printed.pdf");
        int without = 0, with = 0;
        if (via == u"viewer") {
            testdb::logIn(1, "admin", "Admin");
            m_mdi = std::make_unique<MDI>(testdb::context(), screenRegistry());
            QVERIFY(modReports::PrintWIPDetailReport(testdb::context(), m_mdi.get(), QString::number(job)));
            auto *box = findControl<QCheckBox>(m_mdi.get(), "chkPhotos");
            QVERIFY(box->isEnabled() && !box->isChecked());
            without = findControl<QPrintPreviewWidget>(m_mdi.get(), "CRViewer")->pageCount();
            QTest::mouseClick(box, Qt::LeftButton);
            QCOMPARE(findControl<QPrintPreviewWidget>(m_mdi.get(), "CRViewer")->pageCount() - without, pages);
            return;
        }
        if (via == u"admin") {
            static const QRegularExpression written(QStringLiteral("\\((\\d+) pages?\\)"));
            for (const QString &photos : { QString(), QString("--photos") }) {
                QProcess admin;
                admin.start(JT_ADMIN_PATH,
                    { "--config", db.folder() + "/config.txt", "report", report, "--wip", QString::number(job), "--pdf",
                        pdf, photos.isEmpty() ? "--user=admin" : photos });
                admin.waitForFinished(60000);
                (photos.isEmpty() ? without : with)
                    = written.match(QString::fromUtf8(admin.readAllStandardOutput())).captured(1).toInt();
            }
        } else {
            reports::Document document = report == u"work-order"
                ? reports::workOrder(c, job, {}, kModified.date())
                : reports::dryingLog(c, job, {}, kModified.date(), QStringLiteral("F"));
            int reads = 0, upright = 0, widest = 0;
            const reports::PhotoReader read = document.photos.read;
            document.photos.read = [&](qint64 id, const QSize &size) {
                const QImage image = read(id, size);
                ++reads;
                upright += image.height() > image.width(); // the camera's, sideways as stored
                widest = std::max(widest, size.width());
                return image;
            };
            without = reports::writePdf(document, pdf);
            if (via.endsWith(u"deleted"))
                testdb::exec("DELETE FROM JobFile WHERE FileName = ?", { "wall.jpg" });
            document.printPhotos = true;
            with = reports::writePdf(document, pdf);
            // None read for the report without them, each once with them.
            QCOMPARE(reads, int(document.photos.photos.size()));
            QCOMPARE(upright, via.endsWith(u"deleted") ? 0 : 1);
            // Under four inches wide at 200 dpi, not the original's 1000 pixels.
            QVERIFY2(widest <= 800, qPrintable(QString::number(widest)));
        }
        QCOMPARE(with - without, pages);
        QProcess pdftotext;
        pdftotext.start("pdftotext", { "-raw", pdf, "-" });
        QVERIFY(pdftotext.waitForFinished(60000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
        qsizetype at = 0;
        for (const QString &part : inOrder) {
            at = text.indexOf(part, at);
            QVERIFY2(at >= 0, qPrintable(QStringLiteral("%1 not in order in: %2").arg(part, text)));
        }
        for (const QString &part : absent)
            QVERIFY2(!text.contains(part), qPrintable(QStringLiteral("%1 in: %2").arg(part, text)));
    }
};

QTEST_MAIN(TestPhotos)
#include "tst_photos.moc"
