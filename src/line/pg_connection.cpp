#include "pg_connection.h"

#include "archive_config.h"

#include <libpq-fe.h>
#include <QDateTime>
#include <vector>

namespace line {

namespace {

// As the benches: keepalives find a dead server in about 25 s; a connection attempt
// gives up after 5 s; the server ends any statement of ours after 20 s.
const char* const kKeys[] = {
    "fallback_application_name", "keepalives",      "keepalives_idle", "keepalives_interval", "keepalives_count",
    "tcp_user_timeout",          "connect_timeout", "dbname",          "client_encoding",     nullptr};

QByteArray Text(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz+00")).toUtf8();
    if (value.typeId() == QMetaType::Double) return QByteArray::number(value.toDouble(), 'g', 17);
    return value.toString().toUtf8();
}

}  // namespace

PgConnection::~PgConnection() { Close(); }

void PgConnection::Close()
{
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

void PgConnection::Ensure(const QString& url)
{
    if (conn_ && url == url_ && PQstatus(conn_) == CONNECTION_OK) return;
    Close();
    url_ = url;
    const QByteArray conninfo = url.toUtf8();
    const char* const values[] = {"qmr4070-line",       "1",    "10",   "5", "3", "30000", "5",
                                  conninfo.constData(), "UTF8", nullptr};
    conn_ = PQconnectdbParams(kKeys, values, 1);
    if (PQstatus(conn_) != CONNECTION_OK) {
        const QString text = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
        Close();
        throw DbFailure{archive::WithoutSecret(text, url)};
    }
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);  // "already exists, skipping"
    Query("SELECT set_config('statement_timeout', '20s', false) WHERE current_setting('statement_timeout') = '0'");
}

QList<Row> PgConnection::Query(const char* statement, const QVariantList& values)
{
    if (!conn_) throw DbFailure{QStringLiteral("not connected")};
    std::vector<QByteArray> texts;
    std::vector<const char*> pointers;
    texts.reserve(size_t(values.size()));
    for (const QVariant& value : values) {
        texts.push_back(value.isNull() ? QByteArray() : Text(value));
        pointers.push_back(value.isNull() ? nullptr : texts.back().constData());
    }
    PGresult* result =
        PQexecParams(conn_, statement, int(pointers.size()), nullptr, pointers.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const QString text = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
        PQclear(result);
        if (PQstatus(conn_) != CONNECTION_OK) Close();
        throw DbFailure{archive::WithoutSecret(text.isEmpty() ? QStringLiteral("connection lost") : text, url_)};
    }
    QList<Row> rows;
    rows.reserve(PQntuples(result));
    for (int r = 0; r < PQntuples(result); ++r) {
        Row row;
        for (int c = 0; c < PQnfields(result); ++c)
            row << (PQgetisnull(result, r, c) ? QByteArray() : QByteArray(PQgetvalue(result, r, c)));
        rows << row;
    }
    PQclear(result);
    return rows;
}

}  // namespace line
