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
constexpr int kSoonMs = 100;  // while waiting for the archive to let go

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
        lostPath_ = store_.Path();
        target_ = QFileInfo::exists(lostPath_) ? SidePath(lostPath_) : lostPath_;
        copied_ = false;
        asked_ = false;
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

// In steps that can each be tried again: copy beside the target; wait until the other
// holder has let go of the old file; close it (SQLite then deletes its journal by name,
// so this comes before anything is opened at the path); move the copy into place and
// open it.
void DatabaseWatch::WriteBack()
{
    const QString copy = target_ + QStringLiteral(".writing");
    if (!copied_) {
        QFile::remove(copy);
        store_.CopyTo(copy);
        copied_ = true;
    }
    if (askToLetGo_ && !std::exchange(asked_, true)) askToLetGo_();
    if (letGo_ && !letGo_()) {
        timer_.start(kSoonMs);
        return;
    }
    if (!QFileInfo::exists(target_) && !QFile::rename(copy, target_))
        throw PlatformError(QStringLiteral("%1: cannot be put in place").arg(QDir::toNativeSeparators(target_)));
    store_.Reopen(target_);
    timer_.start(kLookMs);
    if (use_) use_(target_);
    const QString lost = std::exchange(lostPath_, QString());
    recorder_.Release();
    qCInfo(lcRecords).noquote() << "records written back to" << QDir::toNativeSeparators(target_);
    emit WrittenBack(lost, target_);
}
