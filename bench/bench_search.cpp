// Searches on a 1,000,000-record table: each search from its click to the result's first
// rows drawn; appends through the whole path with no result, with the hidden start-up
// result of every record and with a search for today open; "删除" of 1,000 records and
// "清空" in the same three states.
// Usage: bench_search FILLED_DB  (from qmr4070-fill --db FILE 1000000: 1,000 a day)

#include "bench_program.h"
#include "login_window.h"
#include "main_window.h"
#include "message_boxes.h"
#include "radio_group.h"
#include "record_grid.h"
#include "record_query.h"
#include "record_table.h"
#include "search_results_window.h"
#include "window_set.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>

namespace {

enum class State { NoResult, StartUpResult, TodayResult };
const char* Name(State state)
{
    return state == State::NoResult        ? "no result"
           : state == State::StartUpResult ? "hidden start-up result"
                                           : "today's result";
}

struct Program : BenchProgram {
    explicit Program(const QString& database) : BenchProgram(database)
    {
        Main().show();
        QApplication::processEvents();
    }
    TForm4& Results() { return windows->SearchResults(); }
    void Enter(State state)
    {
        records::RecordQuery& query = *Results().Query1;
        query.Close();
        if (state == State::StartUpResult) {
            query.SQL() = QStringList{QStringLiteral("select * from data")};
            query.Params().clear();
            query.Open();
            Results().hide();
        } else if (state == State::TodayResult) {
            Main().DateTimePicker1->setDate(QDate::currentDate());
            Main().Button8->click();
        }
        QApplication::processEvents();
    }
    // Milliseconds from the click to the result's rows drawn.
    double Search(QPushButton* button)
    {
        QElapsedTimer timer;
        timer.start();
        button->click();
        Results().RecordGrid1->viewport()->repaint();
        return Ms(timer);
    }
    // Milliseconds per report through the line until the main grid's model shows its record.
    double AppendMs(int frames)
    {
        Main().RadioGroup7->SetItemIndex(0);
        grid::RecordModel& model = Main().RecordGrid1->Model();
        model.Flush();
        const int target = model.rowCount() + frames;
        QByteArray stream;
        for (int i = 0; i < frames; ++i) stream += Frame(i);
        char drain[4096];
        QElapsedTimer timer;
        timer.start();
        qsizetype at = 0;
        while (model.rowCount() < target) {
            WriteSome(stream, at);
            QApplication::processEvents();
            while (::read(master, drain, sizeof drain) > 0) {}
            if (at >= stream.size() && Main().Table1->RecordCount() >= target) model.Flush();
        }
        return Ms(timer) / frames;
    }
};

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_search FILLED_DB (from qmr4070-fill --db FILE 1000000)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.db"));
    auto freshCopy = [&] {
        QFile::remove(big);
        QFile::copy(QString::fromLocal8Bit(argv[1]), big);
    };
    int boxes = 0;
    {
        freshCopy();
        QElapsedTimer timer;
        timer.start();
        Program program(big);
        program.Main().RecordGrid1->viewport()->repaint();
        std::printf("start-up with %d records, the hidden result holding %d: %.0f ms\n",
                    program.Main().Table1->RecordCount(), program.Results().Query1->RecordCount(), Ms(timer));

        TForm1& w = program.Main();
        QList<double> byDate, bySort, byOperator;
        int found[3] = {};
        for (int round = 0; round < 7; ++round) {
            w.DateTimePicker1->setDate(QDate::currentDate().addDays(-101 * (round + 1)));
            byDate << program.Search(w.Button8);
            found[0] += program.Results().Query1->RecordCount();
            w.ComboBox1->setEditText(QStringLiteral("PASS"));
            bySort << program.Search(w.Button5);
            found[1] += program.Results().Query1->RecordCount();
            w.Edit2->setText(QStringLiteral("1001"));
            byOperator << program.Search(w.Button9);
            found[2] += program.Results().Query1->RecordCount();
        }
        std::printf(
            "click to rows drawn, median / worst of 7 dates: 按日期检索 %.1f / %.1f ms, "
            "日期分选检索 %.1f / %.1f ms, 日期工号检索 %.1f / %.1f ms (found %d, %d, %d records in all)\n",
            Median(byDate), *std::max_element(byDate.begin(), byDate.end()), Median(bySort),
            *std::max_element(bySort.begin(), bySort.end()), Median(byOperator),
            *std::max_element(byOperator.begin(), byOperator.end()), found[0], found[1], found[2]);

        // Appends: the three states taken in turn, so drifts of the disk hit each alike.
        const int frames = 100;
        QMap<State, QList<double>> perAppend;
        for (int round = 0; round < 4; ++round)
            for (State state : {State::NoResult, State::StartUpResult, State::TodayResult}) {
                program.Enter(state);
                perAppend[state] << program.AppendMs(frames);
            }
        const double base = Median(perAppend[State::NoResult]);
        for (State state : {State::NoResult, State::StartUpResult, State::TodayResult})
            std::printf("append through the whole path, %s: %.3f ms (median of 4 x %d), %.2f x\n", Name(state),
                        Median(perAppend[state]), frames, Median(perAppend[state]) / base);
        std::printf("today's result after the appends: %d records\n", program.Results().Query1->RecordCount());
        boxes += program.boxes.shown;
    }

    // Each on a fresh copy, the states taken forth and back three times.
    QMap<State, QList<double>> deleteMs, clearMs;
    QList<State> order;
    for (int round = 0; round < 3; ++round)
        order << State::NoResult << State::StartUpResult << State::TodayResult << State::TodayResult
              << State::StartUpResult << State::NoResult;
    for (State state : order) {
        freshCopy();
        Program program(big);
        program.Enter(state);
        grid::TRecordGrid& grid = *program.Main().RecordGrid1;
        const QList<records::Bookmark> bookmarks = program.Main().Table1->Bookmarks();
        // Scattered over the table, and today's last ones, which today's result holds.
        for (int i = 0; i < 990; ++i) grid.SelectedRowList().Add(bookmarks[i * 997]);
        for (int i = 1; i <= 10; ++i) grid.SelectedRowList().Add(bookmarks[bookmarks.size() - i]);
        QElapsedTimer timer;
        timer.start();
        program.Main().Button3->click();
        grid.viewport()->repaint();
        program.Results().RecordGrid1->viewport()->repaint();
        deleteMs[state] << Ms(timer);
        timer.restart();
        program.Main().Button7->click();
        grid.viewport()->repaint();
        program.Results().RecordGrid1->viewport()->repaint();
        clearMs[state] << Ms(timer);
        boxes += program.boxes.shown;
    }
    for (State state : {State::NoResult, State::StartUpResult, State::TodayResult})
        std::printf("%s: 删除 of 1000 %.0f ms (%.2f x), 清空 of 1M %.0f ms (%.2f x), medians of 6\n", Name(state),
                    Median(deleteMs[state]), Median(deleteMs[state]) / Median(deleteMs[State::NoResult]),
                    Median(clearMs[state]), Median(clearMs[state]) / Median(clearMs[State::NoResult]));
    if (boxes) std::fprintf(stderr, "boxes shown during the run\n");
    return 0;
}
