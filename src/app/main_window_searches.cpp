// The three searches: each shows the results window and replaces its query's statement.
// The values are bound to the statement, never written into it, so a quote or any SQL
// text typed in the boxes is searched for as it stands.

#include "main_window.h"
#include "record_filter.h"
#include "record_query.h"
#include "search_results_window.h"
#include "window_set.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

void TForm1::Search(const std::function<void(records::RecordFilter&)>& condition)
{
    Guarded([&] {
        records::RecordFilter filter{records::DateText(DateTimePicker1->date()), {}, {}};
        TForm4& results = windows_.SearchResults();
        results.show();
        results.raise();
        results.activateWindow();
        records::RecordQuery& query = *results.Query1;
        query.Close();
        query.SQL().clear();
        condition(filter);
        const records::Statement statement = records::SearchStatement(filter);
        query.SQL().append(statement.text);
        query.Params() = statement.values;
        query.Open();
    });
}

void TForm1::Button8Click()
{
    Search([](records::RecordFilter&) {});
}

void TForm1::Button5Click()
{
    Search([this](records::RecordFilter& filter) { filter.sortText = ComboBox1->currentText(); });
}

void TForm1::Button9Click()
{
    Search([this](records::RecordFilter& filter) { filter.operatorNumber = Edit2->text(); });
}
