#pragma once
// What a statistics window or report covers: the whole table, a date, or a search, in
// one display mode, and the figures of that scope counted afresh from the store.

#include "figure_lines.h"
#include "record_store.h"

namespace stats {

struct Scope {
    std::optional<records::RecordFilter> filter;  // none: the whole table
    Mode mode = Mode::Resistance;
};

// "全部 R", "2026-12-10 R", "2026-12-10 分选结果 PASS %", "2026-12-10 工号 1001 R".
QString ScopeWords(const Scope& scope);
// The search's own rule for the filter, and the mode's symbol in 符号.
bool InScope(const QVariantList& values, const Scope& scope);
// A record of the table as the figures take it.
Reading ReadingOf(const QVariantList& values);

// Reads the scope in the table's order a page at a time; memory stays flat.
LotFigures Recount(const records::RecordStore& store, const Scope& scope, const BinLayout& layout);
// The whole table's figures from the file's per-day sums; none for another scope, or
// when the file has no sums to trust.
std::optional<LotFigures> RecountFromDaySums(const records::RecordStore& store, const Scope& scope,
                                             const Limits& limits);
// With bins from the limits, or else from the range of the scope's readings; from the
// per-day sums where they serve.
LotFigures Recount(const records::RecordStore& store, const Scope& scope, const Limits& limits);

}  // namespace stats
