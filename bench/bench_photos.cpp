// The WIP entry's photos tab on a job of 500 photos, against reading the
// same thumbnails' bytes.
//
//   BM_PhotosTab          the tab's panel shown on the job: its files listed
//                         (thumbnails, never the originals), the model built
//                         and the first screenful of icons decoded and painted
//   BM_PhotosTabBaseline  the listing's statement, each thumbnail's bytes read
//
// Each photo stores a 256-pixel thumbnail and an original of 256 KB: a list
// that read the originals would show at once. JT_BENCH_DB names the database
// (the job is added to it once, the schema too when it is empty); the
// default is a temporary SQLite file.
#include "data/Database.h"
#include "data/Schema.h"
#include "photos/JobFiles.h"
#include "photos/ui/PhotoModel.h"
#include "photos/ui/PhotoPanel.h"
#include "shell/AppContext.h"
#include "widgets/Messages.h"

#include "BenchData.h"
#include "MedianReporter.h"
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPhotos = 500;
const QString kCustomer = QStringLiteral("Photo bench");

data::Connection *g_db = nullptr;
PhotoPanel *g_panel = nullptr;
qint64 g_job = 0;

// A thumbnail as a camera photo gives one: 256x192, with detail enough that
// JPEG does not squeeze it to nothing.
QByteArray thumbnail(int n)
{
    QImage image(256, 192, QImage::Format_RGB32);
    QRandomGenerator random(quint32(n + 1));
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x + n) % 256, (y * 2 + n) % 256, int(random.bounded(64)) + 96);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

// The job with its photos, added once to a shared database.
qint64 photoJob(data::Connection &db)
{
    const QVariant found = db.scalar(QStringLiteral("SELECT MAX(ID) FROM WIP WHERE Customer = ?"), { kCustomer });
    if (found.isValid() && !found.isNull()
        && db.scalar(QStringLiteral("SELECT COUNT(*) FROM JobFile WHERE WIPID = ?"), { found }).toInt() == kPhotos)
        return found.toLongLong();
    const qint64 job = db.insertRow(QStringLiteral("WIP"),
        { { QStringLiteral("Customer"), kCustomer }, { QStringLiteral("JobType"), QStringLiteral("Water") } });
    QByteArray original(256 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(original.data()), original.size() / 4);
    const QDateTime first(QDate(2026, 3, 2), QTime(9, 0));
    for (int n = 0; n < kPhotos; ++n) {
        photos::PreparedFile file;
        file.fileName = QStringLiteral("IMG_%1.JPG").arg(n + 1000);
        file.content = original;
        file.thumbnail = thumbnail(n);
        file.takenAt = first.addSecs(qint64(n) * 437);
        file.width = 4032;
        file.height = 3024;
        photos::storeFile(db, { job, 0, 0 }, file, { QStringLiteral("bench"), first });
    }
    if (db.dialect().kind() == data::DbKind::PostgreSQL)
        db.execScript(QStringLiteral("ANALYZE JobFile"));
    return job;
}

void BM_PhotosTab(benchmark::State &state)
{
    auto *list = g_panel->findChild<QListView *>(QStringLiteral("lstPhotos"));
    for (auto _ : state) {
        g_panel->showOwner({ g_job, 0, 0 });
        // The first screenful painted: its icons decoded.
        const QPixmap shown = list->viewport()->grab();
        benchmark::DoNotOptimize(shown.cacheKey());
    }
    state.counters["photos"] = g_panel->model()->rowCount();
}

void BM_PhotosTabBaseline(benchmark::State &state)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        data::Rows rows = g_db->exec(
            QStringLiteral("SELECT Thumbnail FROM JobFile WHERE WIPID = ? ORDER BY TakenAt, ID"), { g_job });
        while (rows.next())
            bytes += rows.value(0).toByteArray().size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["thumbnail_KiB"] = double(bytes) / 1024.0;
}

void printSummary(const Medians &medians)
{
    const auto tab = medians.find("BM_PhotosTab");
    const auto base = medians.find("BM_PhotosTabBaseline");
    if (tab == medians.end() || base == medians.end() || base->second.real <= 0)
        return;
    std::printf("\nPhotos tab, %d photos: %.2f %s against %.2f %s reading the thumbnails, ratio %.2f\n", kPhotos,
        tab->second.real, tab->second.unit.c_str(), base->second.real, base->second.unit.c_str(),
        tab->second.real / base->second.real);
}

} // namespace

BENCHMARK(BM_PhotosTab)->Apply(medianOf<7, 10>);
BENCHMARK(BM_PhotosTabBaseline)->Apply(medianOf<7, 10>);

int main(int argc, char **argv)
{
    benchdata::headless(true);
    QApplication app(argc, argv);
    Messages::setRecording(true);
    QTemporaryDir dir;
    data::Connection db;
    AppContext context(db);
    std::unique_ptr<PhotoPanel> panel;
    try {
        const QString shared = benchdata::sharedDb();
        if (!shared.isEmpty()) {
            db.open(shared, {});
            if (!data::hasTable(db, QStringLiteral("WIP")))
                data::createSchema(db);
        } else {
            db.open(QStringLiteral("Provider=SQLite;Data Source=photos.db"), dir.path(), data::OpenOptions { true });
            data::createSchema(db);
        }
        context.setUser({ 1, QStringLiteral("bench"), QStringLiteral("Admin") });
        g_db = &db;
        g_job = photoJob(db);
        panel = std::make_unique<PhotoPanel>(context, PhotoPanel::Names {});
        panel->resize(1000, 700);
        panel->show();
        g_panel = panel.get();
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    runBenchmarks(argc, argv, printSummary);
    return 0;
}
