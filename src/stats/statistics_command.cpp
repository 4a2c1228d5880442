#include "statistics_command.h"

#include "platform_error.h"
#include "record_filter.h"
#include "scope.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

namespace stats {

namespace {

const QString kStatistics = QStringLiteral("statistics");

struct Request {
    Scope scope;
    Limits limits;
};

struct BadArgument {
    QString text;
};

std::optional<double> LimitOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name)) return std::nullopt;
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw BadArgument{QStringLiteral("--%1: '%2' is not a number").arg(name, parser.value(name))};
    return value;
}

Request Parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOptions({{kStatistics, QStringLiteral("print the lot statistics")},
                       {QStringLiteral("date"), QStringLiteral("records of this date"), QStringLiteral("YYYY-MM-DD")},
                       {QStringLiteral("sort"), QStringLiteral("with this sort result"), QStringLiteral("TEXT")},
                       {QStringLiteral("operator"), QStringLiteral("of this operator number"), QStringLiteral("TEXT")},
                       {QStringLiteral("mode"), QStringLiteral("R (default) or %"), QStringLiteral("R|%")},
                       {QStringLiteral("lsl"), QStringLiteral("lower limit"), QStringLiteral("VALUE")},
                       {QStringLiteral("usl"), QStringLiteral("upper limit"), QStringLiteral("VALUE")}});
    if (!parser.parse(QStringList{QStringLiteral("qmr4070")} + arguments)) throw BadArgument{parser.errorText()};
    if (!parser.positionalArguments().isEmpty())
        throw BadArgument{QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first())};

    Request request;
    const QString mode =
        parser.isSet(QStringLiteral("mode")) ? parser.value(QStringLiteral("mode")) : QStringLiteral("R");
    const std::optional<Mode> known = ModeOf(mode);
    if (!known) throw BadArgument{QStringLiteral("--mode: '%1' is neither R nor %").arg(mode)};
    request.scope.mode = *known;
    if (parser.isSet(QStringLiteral("date"))) {
        const QString text = parser.value(QStringLiteral("date"));
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid() || records::DateText(date) != text)
            throw BadArgument{QStringLiteral("--date: '%1' is not a date YYYY-MM-DD").arg(text)};
        request.scope.filter = records::RecordFilter{text, {}, {}};
        if (parser.isSet(QStringLiteral("sort"))) request.scope.filter->sortText = parser.value(QStringLiteral("sort"));
        if (parser.isSet(QStringLiteral("operator")))
            request.scope.filter->operatorNumber = parser.value(QStringLiteral("operator"));
    } else if (parser.isSet(QStringLiteral("sort")) || parser.isSet(QStringLiteral("operator"))) {
        throw BadArgument{QStringLiteral("--sort and --operator search within a date: give --date too")};
    }
    request.limits = {LimitOption(parser, QStringLiteral("lsl")), LimitOption(parser, QStringLiteral("usl"))};
    if (!LimitsUsable(request.limits))
        throw BadArgument{QStringLiteral("--lsl %1 is not below --usl %2")
                              .arg(parser.value(QStringLiteral("lsl")), parser.value(QStringLiteral("usl")))};
    return request;
}

// Read only: the report never changes the file, nor waits on the recording program. A
// file of an older version is counted from an up-to-date copy in a temporary folder.
LotFigures CountFile(const QString& path, const Request& request, QTextStream& err)
{
    try {
        const records::RecordStore store(path, records::Access::Read);
        return Recount(store, request.scope, request.limits);
    } catch (const records::OlderFileError& older) {
        err << "qmr4070 --statistics: " << older.Text() << "; counted from a temporary copy\n";
        err.flush();
    }
    const QTemporaryDir folder;
    if (!folder.isValid())
        throw PlatformError(QStringLiteral("no temporary folder for a copy: %1").arg(folder.errorString()));
    const QString copy = folder.filePath(QStringLiteral("data.db"));
    records::CopyDatabase(path, copy);
    const records::RecordStore store(copy);
    return Recount(store, request.scope, request.limits);
}

}  // namespace

int RunStatisticsCommand(const QStringList& arguments, const QString& databasePath, QTextStream& out, QTextStream& err)
{
    Request request;
    try {
        request = Parse(arguments);
    } catch (const BadArgument& bad) {
        err << "qmr4070 --statistics: " << bad.text << '\n'
            << "usage: qmr4070 --statistics [--date YYYY-MM-DD] [--sort TEXT] [--operator TEXT] [--mode R|%] "
               "[--lsl VALUE] [--usl VALUE]\n";
        err.flush();
        return 2;
    }
    const QString shown = QDir::toNativeSeparators(databasePath);
    try {
        const LotFigures figures = CountFile(databasePath, request, err);
        for (const QString& line : FigureLines(ScopeWords(request.scope), figures, request.limits)) out << line << '\n';
        out.flush();
        return 0;
    } catch (const PlatformError& error) {
        err << "qmr4070 --statistics: " << error.Text() << '\n';
        err.flush();
        return 1;
    }
}

}  // namespace stats
