// Lot statistics at scale, on a copy of a 1,000,000-record file: `--statistics` over the
// whole table and over one date (the program run as a process), the 统计 window opening
// with its figures and plots drawn, appends through the whole path with the window open
// against without it (alternating rounds), memory, and the upgrade of a file without
// the number column.
// Usage: bench_stats FILLED_DB  (from qmr4070-fill --db FILE 1000000)

#include "bench_program.h"
#include "control_settings.h"
#include "day_sums.h"
#include "login_window.h"
#include "main_window.h"
#include "plot_widget.h"
#include "radio_group.h"
#include "record_grid.h"
#include "record_store.h"
#include "record_table.h"
#include "statistics_window.h"
#include "window_set.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

long RssMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

double ReportMs(const QString& db, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QMR4070_DB"), db);
    process.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(QMR4070_PATH), QStringList{QStringLiteral("--statistics")} + arguments);
    process.waitForFinished(60000);
    const double ms = Ms(timer);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "--statistics failed: %s\n", process.readAllStandardError().data());
    return ms;
}

// A steady process around the filled file's centre: 100 mΩ, normally spread (σ 1.5 mΩ),
// so the rules see what they would at a bench in control (their few false alarms included).
QByteArray SteadyFrame()
{
    static std::mt19937 random(4070);
    static std::normal_distribution<double> spread(100.0, 1.5);
    const int hundredths = std::clamp(int(std::lround(spread(random) * 100)), 9000, 10999);
    const char h = char(hundredths / 10 % 10), u = char(hundredths % 10), ones = char(hundredths / 100 % 10);
    const char digits[6] = {1, 0, ones, 0x2E, h, u};
    const char below[6] = {9, ones, 0x2E, h, u, 0};
    QByteArray frame("\xAB", 1);
    frame.append(hundredths >= 10000 ? digits : below, 6);
    frame.append("\xA0\xB1\x00\xAF", 4);
    return frame;
}

struct Program : BenchProgram {
    explicit Program(const QString& database) : BenchProgram(database)
    {
        Main().show();
        Main().RadioGroup7->SetItemIndex(0);
        QApplication::processEvents();
    }
    // Reports through the line until the table holds the last one's record: readings in
    // control (as a steady process gives them), or the sawtooth of
    // Frame(), where rule 3 fires every nine readings. The rate, and the processor time
    // each record took (which the disk's waits on a shared machine do not blur).
    struct Rate {
        double perSecond, cpuMicroseconds;
    };
    Rate RecordRate(int frames, bool inControl)
    {
        const int target = Main().Table1->RecordCount() + frames;
        QByteArray stream;
        for (int i = 0; i < frames; ++i) stream += inControl ? SteadyFrame() : Frame(i);
        QElapsedTimer timer;
        timer.start();
        const double cpu = CpuSeconds();
        qsizetype at = 0;
        while (Main().Table1->RecordCount() < target) {
            WriteSome(stream, at);
            QApplication::processEvents();
            Drain();
        }
        QApplication::processEvents();  // the window's pending redraw belongs to the run
        return {frames / (Ms(timer) / 1000), (CpuSeconds() - cpu) * 1e6 / frames};
    }
};

double UpgradeMs(const QString& filled, const QString& copy)
{
    QFile::remove(copy);
    QFile::copy(filled, copy);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("strip"));
        db.setDatabaseName(copy);
        db.open();
        QSqlQuery strip(db);
        if (!strip.exec(QStringLiteral("ALTER TABLE data DROP COLUMN value")))
            std::fprintf(stderr, "no file without the number column: %s\n", qPrintable(strip.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("strip"));
    QElapsedTimer timer;
    timer.start();
    records::RecordStore store(copy);
    return Ms(timer);
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_stats FILLED_DB (from qmr4070-fill --db FILE 1000000)\n");
        return 2;
    }
    QTemporaryDir dir;
    // The rules' choice is written to the program's settings: not the user's.
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString big = dir.filePath(QStringLiteral("big.db"));
    QFile::copy(QString::fromLocal8Bit(argv[1]), big);
    {
        // A file from an older fill gets its numbers here, and the per-day sums the recording
        // program makes, before any timing.
        records::RecordStore store(big);
        QElapsedTimer timer;
        timer.start();
        records::EnsureDaySums(store);
        std::printf("per-day sums made for the whole file in %.0f ms\n", Ms(timer));
    }
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));

    std::vector<double> whole, oneDate;
    for (int i = 0; i < 5; ++i) {
        whole.push_back(ReportMs(big, {}));
        oneDate.push_back(ReportMs(big, {QStringLiteral("--date"), today}));
    }
    std::printf("--statistics, whole table: median %.0f ms (of 5: min %.0f, max %.0f)\n", Median(whole),
                *std::min_element(whole.begin(), whole.end()), *std::max_element(whole.begin(), whole.end()));
    std::printf("--statistics --date %s: median %.0f ms\n", qPrintable(today), Median(oneDate));

    {
        Program program(big);
        const long rssBefore = RssMb();
        stats::StatisticsWindow& window = program.windows->Statistics();
        std::vector<double> openDate, openWhole;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            program.windows->OpenStatistics(false);
            window.repaint();
            openDate.push_back(Ms(timer));
            timer.restart();
            window.ScopeBox->setCurrentIndex(1);
            window.repaint();
            openWhole.push_back(Ms(timer));
            window.close();
        }
        std::printf(
            "统计 opened with figures and plots drawn: one date median %.0f ms, whole table (%lld records) "
            "median %.0f ms\n",
            Median(openDate), static_cast<long long>(program.Main().Table1->RecordCount()), Median(openWhole));
        program.windows->OpenStatistics(false);
        window.ScopeBox->setCurrentIndex(1);
        std::vector<double> paints;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer timer;
            timer.start();
            const QImage picture = window.Plot->Picture(QSize(900, 760));
            paints.push_back(Ms(timer));
        }
        window.close();
        std::printf("both plots drawn (900 x 760): median %.1f ms\n", Median(paints));
        std::printf("resident memory: %ld MB before the window, %ld MB after five openings on the whole table\n",
                    rssBefore, RssMb());

        // Alternating rounds: the window closed and no run rule on, against the window open
        // on today's date (every new record is in scope) with all eight rules on.
        const int frames = 1000;
        stats::ControlSettings& control = program.windows->Control();
        for (const bool inControl : {true, false}) {
            std::vector<double> closed, open, closedCpu, openCpu;
            for (int round = 0; round < 6; ++round) {
                window.close();
                control.SetRules(stats::RuleChoice::FromBits(0));
                const auto without = program.RecordRate(frames, inControl);
                control.SetRules(stats::RuleChoice::FromBits(0xff));
                program.windows->OpenStatistics(false);
                const auto with = program.RecordRate(frames, inControl);
                closed.push_back(without.perSecond);
                open.push_back(with.perSecond);
                closedCpu.push_back(without.cpuMicroseconds);
                openCpu.push_back(with.cpuMicroseconds);
            }
            std::printf(
                "appends through the whole path (%s), %d a round, medians of 6 alternating rounds: window closed "
                "and rules off %.0f/s (%.0f µs of processor a record), window open and rules 1-8 on %.0f/s "
                "(%.0f µs), ratio %.2f (processor time %.2f)\n",
                inControl ? "readings in control" : "an alarm every 9 readings", frames, Median(closed),
                Median(closedCpu), Median(open), Median(openCpu), Median(open) / Median(closed),
                Median(closedCpu) / Median(openCpu));
        }
        std::printf("the window counted %s records at the end; resident memory %ld MB\n",
                    qPrintable(window.Shown(QStringLiteral("记录数"))), RssMb());
        if (program.boxes.shown) std::fprintf(stderr, "boxes shown during the run\n");
    }

    std::vector<double> upgrades;
    for (int i = 0; i < 3; ++i)
        upgrades.push_back(UpgradeMs(QString::fromLocal8Bit(argv[1]), dir.filePath(QStringLiteral("old.db"))));
    std::printf("upgrade of the 1M file without the number column: median %.0f ms (of 3)\n", Median(upgrades));
    return 0;
}
