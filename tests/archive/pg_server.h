#pragma once
// A private PostgreSQL server for one test: its own folder, listening only on a Unix
// socket in that folder. As root it runs as the postgres system user (initdb refuses root).
// Role "qmr" may connect without a password; role "guarded" needs its password.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testing_support {

class PgServer {
public:
    static constexpr const char* kGuardedPassword = "s3cret-Pw'd";

    PgServer();  // initialised and started; QFAIL-style abort when it cannot be
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    void Start();
    void Stop(const char* mode = "fast");  // "immediate" stops as a crash would

    // A keyword connection string for the role.
    QString Url(const QString& role = QStringLiteral("qmr")) const;
    // Runs one statement as qmr; the rows, each field as text ("" for NULL). Throws
    // std::runtime_error with the server's text on failure.
    QList<QStringList> Query(const QString& statement) const;
    qint64 Count(const QString& statement) const { return Query(statement).value(0).value(0).toLongLong(); }
    // The server's main process, which accepts the connections.
    qint64 PostmasterPid() const;

private:
    void Run(const QStringList& command) const;
    QTemporaryDir dir_;
    QString bin_;
    bool running_ = false;
};

}  // namespace testing_support
