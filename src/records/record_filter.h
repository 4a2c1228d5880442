#pragma once
// The search condition in its two forms, kept equal: the statement a search hands to the
// query (its values bound, never spliced into the text), and the one test that says
// whether a record satisfies it, so an open result can follow the table without running
// the statement again.

#include "record_store.h"

#include <QDate>
#include <QVariantMap>

namespace records {

// The date text records carry and searches compare: "yyyy-mm-dd".
QString DateText(const QDate& date);

// Whether a record (its six field values, in field order) satisfies the filter as the
// statement's comparisons do: the stored text equal to the value, case and trailing
// blanks counting; a null field equals nothing. Without a filter every record does.
bool Matches(const QVariantList& values, const std::optional<RecordFilter>& filter);

struct Statement {
    QString text;
    QVariantMap values;  // by placeholder name, ":D"
};

// Every field of `data` where the fields equal the values, unsorted.
Statement SearchStatement(const std::optional<RecordFilter>& filter);
// The filter a statement stands for; PlatformError for a text no search makes or a value
// left unbound.
std::optional<RecordFilter> StatementFilter(const QString& text, const QVariantMap& values);

}  // namespace records
