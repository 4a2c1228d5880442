#include "line_server.h"

#include "line_queries.h"
#include "line_service.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTcpSocket>
#include <QUrlQuery>

namespace line {

namespace {

const QByteArray kCookie = "qmr4070_line";
const QByteArray kJson = "application/json; charset=utf-8";
const QByteArray kText = "text/plain; charset=utf-8";

Answer Plain(int status, const char* text) { return {status, kText, QByteArray(text) + '\n', {}}; }
Answer NotFound() { return Plain(404, "没有这一页 (404)"); }
Answer Bad() { return Plain(400, "地址有误 (400)"); }
Answer Unreachable() { return {503, kJson, R"({"error":"archive unreachable"})", {}}; }

Answer File(const QString& name, const QByteArray& type)
{
    QFile file(QStringLiteral(":/page/") + name);
    if (!file.open(QIODevice::ReadOnly)) return NotFound();
    return {200, type, file.readAll(), {}};
}

// A path segment as UTF-8 text; none when it is not valid UTF-8.
std::optional<QString> Decoded(const QString& encoded)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArray::fromPercentEncoding(encoded.toLatin1()));
    if (utf8.hasError()) return std::nullopt;
    return text;
}

// A bench name as a bench could have sent it: printable, at most 200 characters.
bool PlausibleBench(const QString& name)
{
    if (name.isEmpty() || name.size() > 200) return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool SameSecret(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

QByteArray CookieValue(const QByteArray& cookies)
{
    for (const QByteArray& part : cookies.split(';')) {
        const QByteArray pair = part.trimmed();
        if (pair.startsWith(kCookie + '=')) return QByteArray::fromPercentEncoding(pair.mid(kCookie.size() + 1));
    }
    return {};
}

QHttpServerResponder::StatusCode Status(int code) { return static_cast<QHttpServerResponder::StatusCode>(code); }

}  // namespace

LineServer::LineServer(const LineConfig& config, const LineWorker& worker, QObject* parent)
    : QAbstractHttpServer(parent), config_(config), worker_(worker)
{
}

bool LineServer::Admitted(const QUrlQuery& query, const QByteArray& cookies, bool& setCookie) const
{
    setCookie = false;
    if (config_.token.isEmpty()) return true;
    const QByteArray token = config_.token.toUtf8();
    if (query.hasQueryItem(QStringLiteral("token"))) {
        setCookie = SameSecret(query.queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded).toUtf8(), token);
        return setCookie;
    }
    return SameSecret(CookieValue(cookies), token);
}

Answer LineServer::Respond(const QByteArray& target, const QByteArray& cookies)
{
    const QUrl url = QUrl::fromEncoded(target, QUrl::StrictMode);
    if (!url.isValid() || !url.path(QUrl::FullyEncoded).startsWith(u'/')) return Bad();
    const QUrlQuery query(url.query(QUrl::FullyEncoded));
    bool setCookie = false;
    if (!Admitted(query, cookies, setCookie)) return Plain(401, "需要访问令牌：请在地址后加 ?token=… (401)");
    if (setCookie) {
        // Once in the cookie, the token leaves the address (and the history) at once.
        QUrlQuery rest = query;
        rest.removeAllQueryItems(QStringLiteral("token"));
        QUrl clean = url;
        clean.setQuery(rest);
        Answer answer{303, kText, clean.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority), {}};
        answer.cookie =
            kCookie + '=' + config_.token.toUtf8().toPercentEncoding() + "; Path=/; HttpOnly; SameSite=Strict";
        return answer;
    }
    try {
        return Route(url.path(QUrl::FullyEncoded), query);
    } catch (const DbFailure& failure) {
        qCWarning(lcLine).noquote() << "archive query failed:" << failure.text;
        db_.Close();
        return Unreachable();
    }
}

Answer LineServer::Route(const QString& path, const QUrlQuery& query)
{
    if (path == u"/") return File(QStringLiteral("index.html"), "text/html; charset=utf-8");
    if (path == u"/api/line") return {200, kJson, worker_.Line(), {}};
    if (path == u"/api/benches") return Benches();
    static const QRegularExpression file(QStringLiteral("^/([a-z]+)\\.(js|css)$"));
    if (const QRegularExpressionMatch match = file.match(path); match.hasMatch())
        return File(match.captured(1) + u'.' + match.captured(2),
                    match.captured(2) == u"js" ? "text/javascript; charset=utf-8" : "text/css; charset=utf-8");
    for (const QString& prefix : {QStringLiteral("/bench/"), QStringLiteral("/api/bench/")}) {
        if (!path.startsWith(prefix)) continue;
        const std::optional<QString> name = Decoded(path.mid(prefix.size()));
        if (!name || !PlausibleBench(*name)) return Bad();
        db_.Ensure(config_.url);
        if (!BenchKnown(db_, *name)) return NotFound();
        if (prefix == u"/bench/") return File(QStringLiteral("bench.html"), "text/html; charset=utf-8");
        return Bench(*name, query);
    }
    return NotFound();
}

Answer LineServer::Bench(const QString& name, const QUrlQuery& query)
{
    QDate day = QDate::currentDate();
    if (query.hasQueryItem(QStringLiteral("date"))) {
        static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        const QString text = query.queryItemValue(QStringLiteral("date"), QUrl::FullyDecoded);
        day = QDate::fromString(text, Qt::ISODate);
        if (!form.match(text).hasMatch() || !day.isValid()) return Bad();
    }
    const std::optional<QJsonObject> json = BenchDayJson(db_, name, day);
    if (!json) return {404, kJson, R"({"error":"no records that day"})", {}};
    return {200, kJson, QJsonDocument(*json).toJson(QJsonDocument::Compact), {}};
}

Answer LineServer::Benches()
{
    db_.Ensure(config_.url);
    QJsonArray names;
    for (const Row& row : db_.Query("SELECT DISTINCT bench FROM qmr4070_line_hours ORDER BY bench"))
        names.append(QString::fromUtf8(row[0]));
    return {200, kJson, QJsonDocument(names).toJson(QJsonDocument::Compact), {}};
}

bool LineServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    Answer answer;
    if (request.method() != QHttpServerRequest::Method::Get && request.method() != QHttpServerRequest::Method::Head)
        answer = Plain(405, "只接受 GET (405)");
    else
        answer = Respond(request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority), request.value("cookie"));
    responder.writeStatusLine(Status(answer.status));
    responder.writeHeader("Content-Type", answer.type);
    responder.writeHeader("Content-Length", QByteArray::number(answer.body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    responder.writeHeader("Content-Security-Policy", "default-src 'self'; img-src 'self' data:");
    if (answer.status == 303) responder.writeHeader("Location", answer.body.trimmed());
    if (!answer.cookie.isEmpty()) responder.writeHeader("Set-Cookie", answer.cookie);
    responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray() : answer.body);
    return true;
}

void LineServer::missingHandler(const QHttpServerRequest&, QTcpSocket*) {}

}  // namespace line
