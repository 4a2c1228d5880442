#include "scope.h"

#include "reading_value.h"
#include "record_filter.h"

namespace stats {

namespace {
constexpr int kPageRows = 20000;

int FieldIndex(const QString& name)
{
    const QList<records::FieldDef>& fields = records::RecordFields();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return i;
    return -1;
}
}  // namespace

QString ScopeWords(const Scope& scope)
{
    QStringList words;
    if (!scope.filter) {
        words << QStringLiteral("全部");
    } else {
        words << scope.filter->dateText;
        if (scope.filter->sortText) words << QStringLiteral("分选结果") << *scope.filter->sortText;
        if (scope.filter->operatorNumber) words << QStringLiteral("工号") << *scope.filter->operatorNumber;
    }
    words << ModeSymbol(scope.mode);
    return words.join(u' ');
}

bool InScope(const QVariantList& values, const Scope& scope)
{
    static const int symbol = FieldIndex(QStringLiteral("符号"));
    const QVariant stored = values.value(symbol);
    return !stored.isNull() && stored.toString() == ModeSymbol(scope.mode) && records::Matches(values, scope.filter);
}

Reading ReadingOf(const QVariantList& values)
{
    static const int sort = FieldIndex(QStringLiteral("分选结果"));
    static const int reading = FieldIndex(QStringLiteral("测试数据"));
    return {SortClassOf(values.value(sort).toString()), records::ReadingValue(values.value(reading).toString())};
}

LotFigures Recount(const records::RecordStore& store, const Scope& scope, const BinLayout& layout)
{
    LotFigures figures(layout);
    const QString symbol = ModeSymbol(scope.mode);
    records::Bookmark from = 0;
    for (;;) {
        const QList<records::ScopeReading> page = store.ReadScope(scope.filter, symbol, from, kPageRows);
        for (const records::ScopeReading& row : page) figures.Add({SortClassOf(row.sortText), row.value});
        if (page.size() < kPageRows) break;
        from = page.back().id + 1;
    }
    return figures;
}

LotFigures Recount(const records::RecordStore& store, const Scope& scope, const Limits& limits)
{
    std::optional<double> min, max;
    if (!(limits.lower && limits.upper && *limits.lower < *limits.upper))
        if (const auto range = store.ScopeRange(scope.filter, ModeSymbol(scope.mode))) {
            min = range->first;
            max = range->second;
        }
    return Recount(store, scope, LayoutFor(limits, min, max));
}

}  // namespace stats
