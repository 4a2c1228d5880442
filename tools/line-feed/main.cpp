// qmr4070-line-feed: benches for the line page without meters. Each bench is a record file
// of its own with its own forwarder to the archive, as in the program; readings around a
// nominal value arrive at the given rate, with the limits the meter would report.

#include "forwarder.h"
#include "limit_log.h"
#include "record_store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTimer>
#include <cmath>
#include <memory>
#include <vector>

namespace {

struct Bench {
    std::unique_ptr<records::RecordStore> store;
    std::unique_ptr<archive::ArchiveThread> forwarder;
    double nominal = 0, drift = 0;
    int number = 0;
};

QString Sort(double value, double lower, double upper)
{
    return value > upper ? QStringLiteral("HIGH") : value < lower ? QStringLiteral("LOW") : QStringLiteral("PASS");
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated benches forwarding to the archive at URL: record files in FOLDER, named bench-1 … bench-N."));
    parser.addHelpOption();
    const QCommandLineOption benches(QStringLiteral("benches"), QStringLiteral("how many (3)"), QStringLiteral("n"),
                                     QStringLiteral("3"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("readings a second per bench (5)"),
                                  QStringLiteral("r"), QStringLiteral("5"));
    parser.addOptions({benches, rate});
    parser.addPositionalArgument(QStringLiteral("URL"), QStringLiteral("the archive (libpq URL)"));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("where the record files go"));
    parser.process(app);
    if (parser.positionalArguments().size() != 2) parser.showHelp(2);
    const QString url = parser.positionalArguments()[0];
    const QDir folder(parser.positionalArguments()[1]);

    std::vector<Bench> line;
    for (int i = 1; i <= parser.value(benches).toInt(); ++i) {
        Bench bench;
        const QString path = folder.filePath(QStringLiteral("bench-%1.db").arg(i));
        bench.store = std::make_unique<records::RecordStore>(path);
        bench.nominal = 10.0 * i;
        const double half = bench.nominal * 0.001;
        records::NoteLimits(*bench.store,
                            {{QStringLiteral("R"), bench.nominal - half, bench.nominal + half, bench.nominal}},
                            QDateTime::currentDateTime());
        bench.forwarder =
            std::make_unique<archive::ArchiveThread>(archive::Config{url, QStringLiteral("线1-台%1").arg(i)}, path);
        bench.forwarder->Follow(*bench.store);
        line.push_back(std::move(bench));
    }
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&line] {
        QRandomGenerator& random = *QRandomGenerator::global();
        for (size_t i = 0; i < line.size(); ++i) {
            Bench& bench = line[i];
            // The last bench drifts slowly upwards, so its yield falls as the demo runs.
            if (i + 1 == line.size()) bench.drift += bench.nominal * 2e-6;
            const double sigma = bench.nominal * 0.0003;
            const double value = bench.nominal + bench.drift +
                                 sigma * std::sqrt(-2 * std::log(1 - random.generateDouble())) *
                                     std::cos(2 * M_PI * random.generateDouble());
            const QDateTime now = QDateTime::currentDateTime();
            const double half = bench.nominal * 0.001;
            bench.store->Append({++bench.number, QStringLiteral("A7"), now.toString(QStringLiteral("yyyy-MM-dd")),
                                 QStringLiteral("R"), QString::number(value, 'f', 4) + QStringLiteral("Ω"),
                                 Sort(value, bench.nominal - half, bench.nominal + half), now});
        }
    });
    tick.start(std::max(1, int(1000 / parser.value(rate).toDouble())));
    return app.exec();
}
