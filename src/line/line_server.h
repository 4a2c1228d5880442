#pragma once
// The line's HTTP answers: the page and its files (built in), /api/line from the worker's
// last answer, /api/bench/<name>?date= and /api/benches read on demand. Only GET and HEAD; an
// unknown path, bench or date is 404, a malformed one 400; an answer never carries a
// server's text. With a token set, a request needs it as ?token= (then kept as a cookie)
// or as that cookie.

#include "line_config.h"
#include "pg_connection.h"

#include <QAbstractHttpServer>
#include <QByteArray>

namespace line {

class LineWorker;

struct Answer {
    int status = 200;
    QByteArray type;
    QByteArray body;
    QByteArray cookie;  // a Set-Cookie value, when one is due
};

class LineServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    LineServer(const LineConfig& config, const LineWorker& worker, QObject* parent = nullptr);

    // The answer to a GET of `target` (path and query, as sent) with these Cookie headers.
    Answer Respond(const QByteArray& target, const QByteArray& cookies);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    Answer Route(const QString& path, const QUrlQuery& query);
    Answer Bench(const QString& name, const QUrlQuery& query);
    Answer Benches();
    bool Admitted(const QUrlQuery& query, const QByteArray& cookies, bool& setCookie) const;

    LineConfig config_;
    const LineWorker& worker_;
    PgConnection db_;  // for the on-demand answers, on the server's thread
};

}  // namespace line
