#include "command_line.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace app {

namespace {

struct OptionEntry {
    QStringList names;
    QString valueName;  // empty: a flag
    QString description;
    StartAction action;
    bool statisticsScope = false;  // only beside --statistics, which checks its value
};

// The program's own options, in the order --help lists them. An option that starts
// another kind of run (a report, a statistics print) adds its entry and action here.
const QList<OptionEntry>& ProgramOptions()
{
    static const QList<OptionEntry> options{
        {{QStringLiteral("h"), QStringLiteral("help")},
         {},
         QStringLiteral("print this text and exit"),
         StartAction::PrintHelp},
        {{QStringLiteral("v"), QStringLiteral("version")},
         {},
         QStringLiteral("print the version and exit"),
         StartAction::PrintVersion},
        {{QStringLiteral("archive-status")},
         {},
         QStringLiteral("print the state of forwarding to the shared archive and exit;\n"
                        "works while the program runs"),
         StartAction::PrintArchiveStatus},
        {{QStringLiteral("statistics")},
         {},
         QStringLiteral("print the lot statistics of the record table, one TAB-separated\n"
                        "line a figure (as 复制 in the 统计 window), and exit"),
         StartAction::PrintStatistics},
        {{QStringLiteral("date")},
         QStringLiteral("YYYY-MM-DD"),
         QStringLiteral("  only the records of that date (default: all)"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("sort")},
         QStringLiteral("TEXT"),
         QStringLiteral("  and of that sort result (HIGH, PASS, LOW, ...); needs --date"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("operator")},
         QStringLiteral("TEXT"),
         QStringLiteral("  or of that operator number; needs --date"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("mode")},
         QStringLiteral("R|%"),
         QStringLiteral("  resistance (R, default) or percentage (%) readings"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("lsl")},
         QStringLiteral("VALUE"),
         QStringLiteral("  lower limit (LSL) for Cp, Cpk, Pp, Ppk, in ohms (R) or percent (%)"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("usl")},
         QStringLiteral("VALUE"),
         QStringLiteral("  upper limit (USL), in ohms (R) or percent (%)"),
         StartAction::PrintStatistics,
         true},
        {{QStringLiteral("rules")},
         QStringLiteral("1,2,3,..."),
         QStringLiteral("  run rules (Nelson's 1-8) whose alarms are listed (default: those chosen in 统计)"),
         StartAction::PrintStatistics,
         true},
    };
    return options;
}

// Qt's own options reach QApplication as they stand; they are accepted here and not listed.
const QStringList kQtOptionsWithValue{
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("qmljsdebugger"),
};
const QStringList kQtFlags{QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                           QStringLiteral("dograb")};

const char* const kEnvironment =
    "Environment:\n"
    "  QMR4070_PORT     the device for serial port 1, e.g. /dev/ttyUSB0 for a USB adapter\n"
    "                   (default: port= under [link] in qmr4070.conf, picked in the program;\n"
    "                   else /dev/ttyS0, COM1 on Windows)\n"
    "  QMR4070_DB       the record database file (default qmr4070/data.db in the user's\n"
    "                   data folder, ~/.local/share/qmr4070/data.db on Linux)\n"
    "  QMR4070_ARCHIVE  the shared PostgreSQL archive (libpq URL or key=value list);\n"
    "                   overrides url= in qmr4070.conf\n"
    "  QMR4070_BENCH    this bench's name in the archive (default: the host name)\n";

QString OptionLabel(const OptionEntry& option)
{
    QStringList forms;
    for (const QString& name : option.names) forms << QLatin1String(name.size() == 1 ? "-" : "--") + name;
    QString label = forms.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty()) label += u' ' + option.valueName;
    return label;
}

}  // namespace

QString ProgramVersion() { return QStringLiteral(QMR4070_VERSION); }

QString VersionText() { return QStringLiteral("qmr4070 ") + ProgramVersion(); }

CommandLine ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionEntry& entry : ProgramOptions())
        parser.addOption(QCommandLineOption(entry.names, {}, entry.valueName));
    for (const QString& name : kQtOptionsWithValue) parser.addOption(QCommandLineOption(name, {}, QStringLiteral("v")));
    for (const QString& name : kQtFlags) parser.addOption(QCommandLineOption(name));

    if (!parser.parse(arguments)) return {StartAction::RefuseArguments, parser.errorText()};
    if (!parser.positionalArguments().isEmpty())
        return {StartAction::RefuseArguments,
                QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())};
    // The first entry of the table that was given decides: --help before everything.
    for (const OptionEntry& entry : ProgramOptions()) {
        if (!parser.isSet(entry.names.first())) continue;
        if (entry.statisticsScope && !parser.isSet(QStringLiteral("statistics")))
            return {StartAction::RefuseArguments,
                    QStringLiteral("--%1 goes with --statistics.").arg(entry.names.first())};
        return {entry.action, {}};
    }
    return {};
}

QString UsageText()
{
    QString text = QStringLiteral(
        "Usage: qmr4070 [options]\n"
        "The host program of the QMR4070 DC low-resistance meter. Without options it opens\n"
        "the login window and talks to the meter on serial port 1.\n\n"
        "Options:\n");
    constexpr int kDescriptionColumn = 22;
    for (const OptionEntry& option : ProgramOptions()) {
        const QString label = QStringLiteral("  ") + OptionLabel(option);
        const QString indent(kDescriptionColumn, u' ');
        text += label.leftJustified(kDescriptionColumn - 1) + u' ';
        text += option.description.split(u'\n').join(u'\n' + indent) + u'\n';
    }
    return text + u'\n' + QString::fromUtf8(kEnvironment);
}

int AnswerAtOnce(const CommandLine& command, QTextStream& out, QTextStream& err)
{
    switch (command.action) {
    case StartAction::PrintHelp: out << UsageText(); return 0;
    case StartAction::PrintVersion: out << VersionText() << '\n'; return 0;
    case StartAction::RefuseArguments: err << "qmr4070: " << command.error << "\n\n" << UsageText(); return 2;
    default: return -1;
    }
}

}  // namespace app
