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

// Beside a file that took the path: the records must not overwrite it.
QString SidePath(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().filePath(QStringLiteral("%1-%2.%3")
                                   .arg(info.completeBaseName(),
                                        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                        info.suffix().isEmpty() ? QStringLiteral("db") : info.suffix()));
}
}  // namespace

DatabaseWatch::DatabaseWatch(records::RecordStore& store, records::MeasurementRecorder& recorder, QObject* parent)
    : QObject(parent), store_(store), recorder_(recorder)
{
    connect(&timer_, &QTimer::timeout, this, &DatabaseWatch::Check);
    timer_.start(kLookMs);
}

void DatabaseWatch::SetOtherHolder(std::function<void()> release, std::function<void(const QString&)> reopen)
{
    release_ = std::move(release);
    reopen_ = std::move(reopen);
}

void DatabaseWatch::Check()
{
    if (lostPath_.isEmpty()) {
        if (store_.StillAtPath()) return;
        lostPath_ = store_.Path();
        target_ = QFileInfo::exists(lostPath_) ? SidePath(lostPath_) : lostPath_;
        copied_ = false;
        toldFailure_ = false;
        qCWarning(lcRecords).noquote() << QDir::toNativeSeparators(lostPath_)
                                       << "no longer names the open record file; writing it back to"
                                       << QDir::toNativeSeparators(target_);
        // Readings wait while the file changes hands; none is lost.
        recorder_.Hold();
    }
    try {
        WriteBack();
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "write-back failed, tried again shortly:" << error.Text();
        if (!std::exchange(toldFailure_, true)) emit WriteBackFailed(lostPath_, error.Text());
    }
}

// In steps that can each be tried again: copy beside the target, let the other
// holders go, close the old file (its journal names are still the old ones, so nothing
// of the new file is touched), move the copy into place and open it.
void DatabaseWatch::WriteBack()
{
    const QString copy = target_ + QStringLiteral(".writing");
    if (!copied_) {
        QFile::remove(copy);
        store_.CopyTo(copy);
        copied_ = true;
    }
    if (release_) release_();
    if (!QFileInfo::exists(target_) && !QFile::rename(copy, target_))
        throw PlatformError(QStringLiteral("%1: cannot be put in place").arg(QDir::toNativeSeparators(target_)));
    store_.Reopen(target_);
    if (reopen_) reopen_(target_);
    const QString lost = std::exchange(lostPath_, QString());
    recorder_.Release();
    qCInfo(lcRecords).noquote() << "records written back to" << QDir::toNativeSeparators(target_);
    emit WrittenBack(lost, target_);
}
