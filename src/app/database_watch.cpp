#include "database_watch.h"

#include "log_categories.h"
#include "measurement_recorder.h"
#include "platform_error.h"
#include "record_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kLookMs = 2000;
constexpr int kSoonMs = 100;  // while waiting for the other holder to let go
// The archive forwarder may be inside a long batch or a call to a server that does not
// answer; the copy does not need it, so it is waited for no longer than this.
constexpr int kHolderPatienceMs = 2000;
const QString kWriting = QStringLiteral(".writing");
const QStringList kCompanions{QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// Beside a file that took the path: the records must not overwrite it.
QString SideName(const QFileInfo& info, int attempt)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString suffix = info.suffix().isEmpty() ? QStringLiteral("db") : info.suffix();
    const QString base = attempt == 0 ? QStringLiteral("%1-%2").arg(info.completeBaseName(), stamp)
                                      : QStringLiteral("%1-%2-%3").arg(info.completeBaseName(), stamp).arg(attempt);
    return info.dir().filePath(base + u'.' + suffix);
}
}  // namespace

DatabaseWatch::DatabaseWatch(records::RecordStore& store, records::MeasurementRecorder& recorder, QObject* parent)
    : QObject(parent), store_(store), recorder_(recorder)
{
    connect(&timer_, &QTimer::timeout, this, &DatabaseWatch::Check);
    timer_.start(kLookMs);
}

DatabaseWatch::~DatabaseWatch() { LastCheck(); }

void DatabaseWatch::SetOtherHolder(std::function<void()> askToLetGo, std::function<bool()> letGo,
                                   std::function<void(const QString&)> use)
{
    askToLetGo_ = std::move(askToLetGo);
    letGo_ = std::move(letGo);
    use_ = std::move(use);
}

void DatabaseWatch::Check()
{
    if (lostPath_.isEmpty()) {
        if (store_.StillAtPath()) return;
        Notice();
    }
    try {
        timer_.start(WriteBack(true) ? kLookMs : kSoonMs);
    } catch (const PlatformError& error) {
        Fail(error.Text());
    }
}

bool DatabaseWatch::LastCheck()
{
    if (lostPath_.isEmpty()) {
        if (store_.StillAtPath()) return true;
        Notice();
    }
    try {
        WriteBack(false);
        return true;
    } catch (const PlatformError& error) {
        qCCritical(lcRecords).noquote() << "the records of" << Shown(lostPath_)
                                        << "could not be written back before the program ended:" << error.Text();
        KeepAside();
        return false;
    }
}

void DatabaseWatch::Notice()
{
    lostPath_ = store_.Path();
    copy_.clear();
    placed_.clear();
    asked_.invalidate();
    folderMade_ = folderGone_ = toldFailure_ = false;
    qCWarning(lcRecords).noquote() << Shown(lostPath_) << "no longer names the open record file; writing it back";
    // Readings wait while the file changes hands; none is lost.
    recorder_.Hold();
}

void DatabaseWatch::Fail(const QString& text)
{
    qCWarning(lcRecords).noquote() << "write-back failed, tried again shortly:" << text;
    if (!std::exchange(toldFailure_, true)) emit WriteBackFailed(lostPath_, text, folderGone_);
    timer_.start(kLookMs);
}

// In steps that can each be tried again: make the folder again if it went; give the
// other holder a moment to let go; copy the whole file to a free place and only then
// release the lost file (its log emptied, its -wal and -shm taken from the path); move the
// copy into place; open it.
bool DatabaseWatch::WriteBack(bool waitForHolder)
{
    MakeFolder();
    if (copy_.isEmpty() && placed_.isEmpty()) {
        if (askToLetGo_ && !asked_.isValid()) {
            askToLetGo_();
            asked_.start();
        }
        if (waitForHolder && letGo_ && !letGo_() && asked_.elapsed() < kHolderPatienceMs) return false;
        const QString copy = FreePlace() + kWriting;
        RemoveWithCompanions(copy);
        store_.CopyTo(copy);
        store_.ReleaseLostFile();  // from here the records are in the copy only
        copy_ = copy;
    }
    if (placed_.isEmpty()) {
        QString target = copy_.chopped(kWriting.size());
        if (!IsFree(target)) target = FreePlace();
        if (!QFile::rename(copy_, target))
            throw PlatformError(QStringLiteral("%1: cannot be put in place").arg(Shown(target)));
        copy_.clear();
        placed_ = target;
    }
    store_.Reopen(placed_);
    const QString now = std::exchange(placed_, QString());
    if (use_) use_(now);
    const QString lost = std::exchange(lostPath_, QString());
    recorder_.Release();
    qCInfo(lcRecords).noquote() << "records written back to" << Shown(now);
    emit WrittenBack(lost, now, folderMade_);
    return true;
}

void DatabaseWatch::MakeFolder()
{
    const QString folder = QFileInfo(lostPath_).absolutePath();
    folderGone_ = false;
    if (QFileInfo::exists(folder)) return;
    if (!QDir().mkpath(folder)) {
        folderGone_ = true;
        throw PlatformError(QStringLiteral("%1: the folder cannot be made again").arg(Shown(folder)));
    }
    folderMade_ = true;
    qCWarning(lcRecords).noquote() << "the data folder" << Shown(folder) << "had gone and was made again";
}

// No file at `path`, and no log, shared-memory or journal file beside it but the lost
// file's own (which are taken away before anything is placed there).
bool DatabaseWatch::IsFree(const QString& path) const
{
    if (QFileInfo::exists(path)) return false;
    for (const QString& companion : kCompanions)
        if (QFileInfo::exists(path + companion) && !store_.OwnsCompanion(path + companion)) return false;
    return true;
}

QString DatabaseWatch::FreePlace() const
{
    if (IsFree(lostPath_)) return lostPath_;
    const QFileInfo info(lostPath_);
    for (int attempt = 0;; ++attempt)
        if (const QString side = SideName(info, attempt); IsFree(side) && !QFileInfo::exists(side + kWriting))
            return side;
}

void DatabaseWatch::RemoveWithCompanions(const QString& path)
{
    QFile::remove(path);
    for (const QString& companion : kCompanions) QFile::remove(path + companion);
}

// The records could not go back to their folder: a copy in the temporary folder at least,
// named in the log, so they can be recovered by hand.
void DatabaseWatch::KeepAside()
{
    const QString held = !placed_.isEmpty() ? placed_ : copy_;
    if (!held.isEmpty()) {
        qCCritical(lcRecords).noquote() << "the records are in" << Shown(held);
        return;
    }
    const QString aside = SideName(QFileInfo(QDir::temp().filePath(QFileInfo(lostPath_).fileName())), 0);
    try {
        store_.CopyTo(aside);
        qCCritical(lcRecords).noquote() << "the records are kept in" << Shown(aside);
    } catch (const PlatformError& error) {
        qCCritical(lcRecords).noquote() << "the records cannot be kept anywhere:" << error.Text();
    }
}
