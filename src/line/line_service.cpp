#include "line_service.h"

#include "hour_aggregates.h"
#include "line_queries.h"
#include "pg_connection.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace line {

namespace {
constexpr int kTickMs = 300;
constexpr int kStepBudgetMs = 250;  // catching up yields to a fresh answer this often
}  // namespace

LineWorker::LineWorker(QString url, qint64 chunkRows)
    : url_(std::move(url)), chunkRows_(chunkRows), db_(std::make_unique<PgConnection>())
{
    hours_ = std::make_unique<HourAggregates>(*db_);
    Publish(QJsonDocument(QJsonObject{{QStringLiteral("archive"), QJsonObject{{QStringLiteral("ok"), false}}},
                                      {QStringLiteral("benches"), QJsonArray{}}})
                .toJson(QJsonDocument::Compact));
}

LineWorker::~LineWorker() = default;

QByteArray LineWorker::Line() const
{
    const QMutexLocker lock(&mutex_);
    return line_;
}

void LineWorker::Publish(const QByteArray& json)
{
    const QMutexLocker lock(&mutex_);
    line_ = json;
}

void LineWorker::Start()
{
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &LineWorker::Tick);
    Tick();
}

void LineWorker::Tick()
{
    bool more = false;
    try {
        if (!db_->IsOpen()) prepared_ = false;
        db_->Ensure(url_);
        if (!prepared_) {
            hours_->Prepare();
            prepared_ = true;
        }
        const QDeadlineTimer budget(kStepBudgetMs);
        while ((more = hours_->Step(chunkRows_)) && !budget.hasExpired()) {}
        QJsonObject line = LineJson(*db_, QDateTime::currentDateTime());
        line.insert(QStringLiteral("archive"),
                    QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("behind"), more}});
        lastGood_ = QJsonDocument(line).toJson(QJsonDocument::Compact);
        Publish(lastGood_);
        if (!failure_.isEmpty()) qCInfo(lcLine) << "archive reachable again";
        failure_.clear();
        if (!more) emit CaughtUp();
    } catch (const DbFailure& failure) {
        db_->Close();
        if (failure_ != failure.text) qCWarning(lcLine).noquote() << "archive unreachable:" << failure.text;
        if (failure_.isEmpty()) failingSince_ = QDateTime::currentDateTime();
        failure_ = failure.text;
        // The last figures stay on the page, marked as old; the reason stays in the journal.
        QJsonObject line = QJsonDocument::fromJson(lastGood_).object();
        line.insert(
            QStringLiteral("archive"),
            QJsonObject{{QStringLiteral("ok"), false},
                        {QStringLiteral("since"),
                         failingSince_.toOffsetFromUtc(failingSince_.offsetFromUtc()).toString(Qt::ISODateWithMs)}});
        if (!line.contains(QStringLiteral("benches"))) line.insert(QStringLiteral("benches"), QJsonArray{});
        Publish(QJsonDocument(line).toJson(QJsonDocument::Compact));
    }
    timer_->start(more ? 0 : kTickMs);
}

LineService::LineService(const QString& url, qint64 chunkRows) : worker_(new LineWorker(url, chunkRows))
{
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::started, worker_, &LineWorker::Start);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("line"));
    thread_.start();
}

LineService::~LineService()
{
    thread_.quit();
    thread_.wait();
}

}  // namespace line
