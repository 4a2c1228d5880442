#pragma once
// Where a bench sends its records: the settings file's archive/url and archive/bench,
// overridden by QMR4070_ARCHIVE and QMR4070_BENCH. No URL: nothing is archived.

#include <QString>

namespace archive {

struct Config {
    QString url;    // a libpq URI or keyword string, handed to libpq as it stands
    QString bench;  // the bench's name; the host name when none is set
    bool Enabled() const { return !url.isEmpty(); }
};

Config LoadConfig();

// The server as a person may see it: every connection setting but the password.
QString ShownServer(const QString& url);

// The text with every form of the URL's password replaced, for libpq's messages,
// which can echo parts of the connection string.
QString WithoutSecret(QString text, const QString& url);

}  // namespace archive
