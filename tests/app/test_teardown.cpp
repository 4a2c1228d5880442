// The end of a run with a window open and an edit box holding the focus and a fresh
// entry: destroying the window set takes the focus from the box, which then signals.
// Nothing may reach a window already half destroyed (the sanitizer build catches it).

#include "app_fixture.h"
#include "direct_limits_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "search_results_window.h"
#include "statistics_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

class TeardownTest : public QObject {
    Q_OBJECT
private slots:
    void endsWithAnEditFocused()
    {
        using Pick = std::function<QWidget&(WindowSet&)>;
        const std::pair<const char*, Pick> windows[] = {
            {"login", [](WindowSet& w) -> QWidget& { return w.Login(); }},
            {"main", [](WindowSet& w) -> QWidget& { return w.Main(); }},
            {"direct limits", [](WindowSet& w) -> QWidget& { return w.DirectLimits(); }},
            {"percent limits", [](WindowSet& w) -> QWidget& { return w.PercentLimits(); }},
            {"search results", [](WindowSet& w) -> QWidget& { return w.SearchResults(); }},
            {"nominal value", [](WindowSet& w) -> QWidget& { return w.Nominal(); }},
            {"statistics",
             [](WindowSet& w) -> QWidget& {
                 w.OpenStatistics(false);
                 return w.Statistics();
             }},
        };
        int ended = 0;
        for (const auto& [name, pick] : windows) {
            for (int box = 0;; ++box) {
                AppFixture app;
                QWidget& window = pick(*app.windows);
                window.show();
                window.activateWindow();
                QApplication::setActiveWindow(&window);
                QList<QLineEdit*> edits;
                for (QLineEdit* edit : window.findChildren<QLineEdit*>())
                    if (edit->isVisible() && edit->isEnabled() && !edit->isReadOnly()) edits << edit;
                if (box >= edits.size()) break;
                edits[box]->setFocus();
                QVERIFY2(QTest::qWaitFor([&] { return edits[box]->hasFocus(); }), name);
                QTest::keyClicks(edits[box], QStringLiteral("1"));
                app.windows.reset();
                ++ended;
            }
        }
        QVERIFY(ended >= 7);
    }
};

QTEST_MAIN(TeardownTest)
#include "test_teardown.moc"
