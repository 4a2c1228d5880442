#include "statistics_command.h"

#include "alarm_log.h"
#include "control_lines.h"
#include "control_settings.h"
#include "platform_error.h"
#include "record_filter.h"
#include "scope.h"

#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>

namespace stats {

namespace {

const QString kStatistics = QStringLiteral("statistics");

struct Request {
    Scope scope;
    Limits limits;
    std::optional<RuleChoice> rules;  // none: the program's choice
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
                       {QStringLiteral("usl"), QStringLiteral("upper limit"), QStringLiteral("VALUE")},
                       {QStringLiteral("rules"), QStringLiteral("run rules, e.g. 1,2,3,5"), QStringLiteral("LIST")}});
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
    if (parser.isSet(QStringLiteral("rules"))) {
        request.rules = RuleChoice::Parse(parser.value(QStringLiteral("rules")));
        if (!request.rules)
            throw BadArgument{
                QStringLiteral("--rules: '%1' is not a list of rules 1-8").arg(parser.value(QStringLiteral("rules")))};
    }
    return request;
}

struct Report {
    LotFigures figures;
    QList<records::Alarm> alarms;
};

Report ReportOn(const records::RecordStore& store, const Request& request)
{
    const Scope& scope = request.scope;
    return {Recount(store, scope, request.limits),
            records::ReadAlarms(store, scope.filter ? std::optional(scope.filter->dateText) : std::nullopt,
                                ModeSymbol(scope.mode))};
}

// Read only: the report never changes the file, nor waits on the recording program. A
// file of an older version is counted from an up-to-date copy in a temporary folder.
Report ReportOnFile(const QString& path, const Request& request, QTextStream& err)
{
    try {
        const records::RecordStore store(path, records::Access::Read);
        return ReportOn(store, request);
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
    return ReportOn(store, request);
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
               "[--lsl VALUE] [--usl VALUE] [--rules 1,2,3,...]\n";
        err.flush();
        return 2;
    }
    try {
        const Report report = ReportOnFile(databasePath, request, err);
        const ControlSettings settings;
        const ControlFigures control =
            ControlFiguresOf(report.figures, request.limits, settings.Frozen(request.scope.mode),
                             request.rules.value_or(settings.Rules()), report.alarms);
        for (const QString& line :
             FigureLines(ScopeWords(request.scope), report.figures, request.limits) + ControlLines(control))
            out << line << '\n';
        out.flush();
        return 0;
    } catch (const PlatformError& error) {
        err << "qmr4070 --statistics: " << error.Text() << '\n';
        err.flush();
        return 1;
    }
}

}  // namespace stats
