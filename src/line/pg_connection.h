#pragma once
// A blocking libpq connection for the line server's own threads. Every statement is sent
// with its values apart from its text, so nothing from a URL ever becomes SQL.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

struct pg_conn;

namespace line {

// The server's text, or "unreachable"; never shown to a browser as it stands.
struct DbFailure {
    QString text;
};

using Row = QList<QByteArray>;  // each field as libpq's text; NULL as a null QByteArray

class PgConnection {
public:
    PgConnection() = default;
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects when not connected; throws DbFailure.
    void Ensure(const QString& url);
    bool IsOpen() const { return conn_ != nullptr; }
    void Close();
    // One statement with $1… bound to `values` (null QVariant → NULL); the rows.
    QList<Row> Query(const char* statement, const QVariantList& values = {});
    void Exec(const char* statement) { Query(statement); }

private:
    pg_conn* conn_ = nullptr;
    QString url_;
};

inline bool IsNull(const QByteArray& field) { return field.isNull(); }
inline double Number(const QByteArray& field) { return field.toDouble(); }

}  // namespace line
