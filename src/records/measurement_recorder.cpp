#include "measurement_recorder.h"

#include "log_categories.h"
#include "platform_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace records {

namespace {
constexpr int kRetryMs = 250;
// A lock held for a moment (another connection's commit) is not worth a box.
constexpr int kTellAfterMs = 1000;
// Small enough that the window stays responsive while a long backlog is committed.
constexpr int kBatch = 2000;

// Repeated texts share one copy while they wait, so an hour of readings stays small.
void Share(QString& text, const QString& previous)
{
    if (text == previous) text = previous;
}
}  // namespace

MeasurementRecorder::MeasurementRecorder(RecordStore& store, QObject* parent) : QObject(parent), store_(store)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MeasurementRecorder::Retry);
}

MeasurementRecorder::~MeasurementRecorder()
{
    // A file no longer at its path would take them, and they would go with it.
    while (!waiting_.empty() && store_.StillAtPath()) {
        const auto end = waiting_.begin() + std::min<size_t>(waiting_.size(), kBatch);
        if (!TryCommit(QList<NewRecord>(waiting_.begin(), end))) break;
        waiting_.erase(waiting_.begin(), end);
    }
    if (!waiting_.empty()) ListUnsaved();
}

// One line per reading, beside the records (or in the temporary folder when their folder
// is gone), so they can be entered again by hand.
void MeasurementRecorder::ListUnsaved() const
{
    const QDir folder = QFileInfo(store_.Path()).absoluteDir();
    const QString name =
        QStringLiteral("unsaved-%1.txt").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = folder.exists() ? folder.filePath(name) : QDir::temp().filePath(name);
    QFile file(path);
    const bool open = file.open(QIODevice::WriteOnly | QIODevice::Text);
    for (const NewRecord& record : waiting_) {
        const QString line = QStringList{QString::number(record.number),
                                         record.operatorNumber,
                                         record.dateText,
                                         record.modeSymbol,
                                         record.readingText,
                                         record.sortText,
                                         record.takenAt.toString(Qt::ISODateWithMs)}
                                 .join(u'\t');
        if (open)
            file.write(line.toUtf8() + '\n');
        else
            qCCritical(lcRecords).noquote() << "reading not saved:" << line;
    }
    qCCritical(lcRecords).noquote() << waiting_.size() << "readings, numbers" << waiting_.front().number << "to"
                                    << waiting_.back().number << "could not be saved before the program ended"
                                    << (open && file.flush()
                                            ? QStringLiteral("; listed in ") + QDir::toNativeSeparators(path)
                                            : QString());
}

void MeasurementRecorder::Append(const MeasurementValues& values)
{
    ++counter_;
    NewRecord record{counter_,           values.operatorNumber, values.dateText, values.modeSymbol,
                     values.readingText, values.sortText,       values.takenAt};
    if (waiting_.empty() && !held_ && TryCommit({record})) return;
    Keep(std::move(record));
}

void MeasurementRecorder::Keep(NewRecord record)
{
    if (int(waiting_.size()) >= kMaxWaiting) {
        qCWarning(lcRecords) << "record" << record.number << "not kept:" << waiting_.size() << "readings already wait";
        if (!std::exchange(full_, true)) emit WaitingFull(int(waiting_.size()));
        return;
    }
    if (waiting_.empty()) waitingSince_ = QDateTime::currentDateTime();
    if (!waiting_.empty()) {
        const NewRecord& last = waiting_.back();
        Share(record.operatorNumber, last.operatorNumber);
        Share(record.dateText, last.dateText);
        Share(record.modeSymbol, last.modeSymbol);
        Share(record.sortText, last.sortText);
    }
    waiting_.push_back(std::move(record));
    if (told_) emit WaitingChanged(Waiting());
    if (!held_ && !retry_.isActive()) retry_.start(kRetryMs);
}

bool MeasurementRecorder::TryCommit(const QList<NewRecord>& batch)
{
    try {
        store_.AppendAll(batch);
        return true;
    } catch (const PlatformError& error) {
        if (error.Text() != lastError_)
            qCWarning(lcRecords).noquote() << "records wait, the file takes none:" << error.Text();
        lastError_ = error.Text();
        return false;
    }
}

bool MeasurementRecorder::Flush()
{
    while (!waiting_.empty()) {
        const auto end = waiting_.begin() + std::min<size_t>(waiting_.size(), kBatch);
        const QList<NewRecord> batch(waiting_.begin(), end);
        if (!TryCommit(batch)) return false;
        waiting_.erase(waiting_.begin(), end);
        if (told_) emit WaitingChanged(Waiting());
        if (!waiting_.empty()) return false;  // the rest on the next turn of the event loop
    }
    qCInfo(lcRecords) << "every waiting reading committed";
    lastError_.clear();
    full_ = false;
    if (std::exchange(told_, false)) emit WaitingChanged(0);
    return true;
}

void MeasurementRecorder::Retry()
{
    if (held_ || waiting_.empty()) return;
    const size_t before = waiting_.size();
    if (Flush()) return;
    const bool moving = waiting_.size() < before;
    if (!moving && !told_ && waitingSince_.msecsTo(QDateTime::currentDateTime()) >= kTellAfterMs) {
        told_ = true;
        emit SavingStalled(lastError_);
        emit WaitingChanged(Waiting());
    }
    retry_.start(moving ? 0 : kRetryMs);
}

void MeasurementRecorder::Hold()
{
    held_ = true;
    retry_.stop();
}

void MeasurementRecorder::Release()
{
    held_ = false;
    if (!waiting_.empty()) retry_.start(0);
}

}  // namespace records
