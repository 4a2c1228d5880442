// qmr4070-fill: writes plausible measurement records into a record database, for trying
// the program with a big table and for the benchmarks.

#include "platform_error.h"
#include "reading_value.h"
#include "record_store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace {

const char* const kDescription =
    "Appends N plausible measurement records to a QMR4070 record database (created when missing).\n"
    "Dates run over consecutive days ending today, --per-day records a day, each day numbered\n"
    "from 1 as a run of the program would; a few operator numbers (one of them empty), every\n"
    "sort result (HIGH, PASS, LOW, NULL and the empty one) and now and then a status text.\n"
    "The file is QMR4070_DB when set, else the program's own; --db names another.";

struct Fill {
    qint64 count = 0;
    int perDay = 1000;
    QString path;
};

QString Reading(QRandomGenerator& random, bool percent)
{
    const int roll = int(random.bounded(100));
    if (roll == 0) return QStringLiteral("--ERROR--");
    if (roll == 1) return QStringLiteral("︺︺︺︺︺");
    if (roll == 2) return QStringLiteral("︹︹︹︹︹");
    const double value = 100.0 + (random.generateDouble() - 0.5) * 8.0;
    if (percent) return QStringLiteral("%1%").arg(value - 100.0, 0, 'f', 3);
    return QStringLiteral("%1mΩ").arg(value, 0, 'f', 2);
}

QString Sort(QRandomGenerator& random)
{
    static const QStringList kSorts{"PASS", "PASS", "PASS", "PASS", "PASS", "PASS", "HIGH", "LOW", "NULL", ""};
    return kSorts[int(random.bounded(kSorts.size()))];
}

void Write(const Fill& fill)
{
    // The store creates or upgrades the file (and refuses one that is not ours).
    {
        records::RecordStore store(fill.path);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    db.setDatabaseName(fill.path);
    if (!db.open()) throw PlatformError(db.lastError().text());
    QSqlQuery query(db);
    query.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    static const QStringList kOperators{"1001", "1002", "2003", "A-17", ""};
    QRandomGenerator random(20261209);
    const qint64 days = (fill.count + fill.perDay - 1) / fill.perDay;
    const QDate first = QDate::currentDate().addDays(-(days - 1));
    db.transaction();
    query.prepare(
        QStringLiteral(R"(INSERT INTO data ("编号", "工号", "日期", "符号", "测试数据", "分选结果", taken_at, value) )"
                       R"(VALUES (?, ?, ?, ?, ?, ?, ?, ?))"));
    for (qint64 i = 0; i < fill.count; ++i) {
        const int inDay = int(i % fill.perDay);
        const QDate date = first.addDays(i / fill.perDay);
        const bool percent = random.bounded(10) == 0;
        const QDateTime moment = QDateTime(date, QTime(8, 0)).addMSecs(qint64(inDay) * 28'000);
        query.addBindValue(inDay + 1);
        query.addBindValue(kOperators[int((i / 250) % kOperators.size())]);
        query.addBindValue(date.toString(QStringLiteral("yyyy-MM-dd")));
        query.addBindValue(percent ? QStringLiteral("%") : QStringLiteral("R"));
        const QString reading = Reading(random, percent);
        const std::optional<double> value = records::ReadingValue(reading);
        query.addBindValue(reading);
        query.addBindValue(Sort(random));
        query.addBindValue(moment.toMSecsSinceEpoch());
        query.addBindValue(value ? QVariant(*value) : QVariant(QMetaType::fromType<double>()));
        if (!query.exec()) throw PlatformError(query.lastError().text());
        if ((i + 1) % 100'000 == 0) db.commit(), db.transaction();
    }
    if (!db.commit()) throw PlatformError(db.lastError().text());
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qmr4070-fill"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("N"), QStringLiteral("how many records to append"));
    const QCommandLineOption perDay(QStringLiteral("per-day"), QStringLiteral("records a day (default 1000)"),
                                    QStringLiteral("count"), QStringLiteral("1000"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("the database file"), QStringLiteral("path"));
    parser.addOption(perDay);
    parser.addOption(db);
    parser.process(application);

    Fill fill;
    bool ok = parser.positionalArguments().size() == 1;
    fill.count = ok ? parser.positionalArguments()[0].toLongLong(&ok) : 0;
    fill.perDay = parser.value(perDay).toInt();
    if (!ok || fill.count < 0 || fill.perDay < 1) {
        std::fputs(qPrintable(parser.helpText()), stderr);
        return 2;
    }
    fill.path = parser.isSet(db) ? parser.value(db) : records::DatabasePath();
    try {
        Write(fill);
    } catch (const PlatformError& error) {
        std::fprintf(stderr, "qmr4070-fill: %s\n", qPrintable(error.Text()));
        return 1;
    }
    std::printf("%lld records appended to %s\n", static_cast<long long>(fill.count),
                qPrintable(QDir::toNativeSeparators(fill.path)));
    return 0;
}
