#include "record_filter.h"

#include "platform_error.h"

namespace records {

namespace {

const QString kSelectAll = QStringLiteral("select * from data");
const QString kDate = QStringLiteral(":D");
const QString kSort = QStringLiteral(":S");
const QString kOperator = QStringLiteral(":W");

int FieldIndex(const QString& name)
{
    const QList<FieldDef>& fields = RecordFields();
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return i;
    return -1;
}

bool Equal(const QVariant& stored, const QString& value) { return !stored.isNull() && stored.toString() == value; }

QString Bound(const QVariantMap& values, const QString& name)
{
    const auto it = values.find(name);
    if (it == values.end()) throw PlatformError(QStringLiteral("Parameter '%1' has no value").arg(name.mid(1)));
    return it->toString();
}

}  // namespace

QString DateText(const QDate& date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

bool Matches(const QVariantList& values, const std::optional<RecordFilter>& filter)
{
    if (!filter) return true;
    static const int date = FieldIndex(QStringLiteral("日期"));
    static const int sort = FieldIndex(QStringLiteral("分选结果"));
    static const int operatorNumber = FieldIndex(QStringLiteral("工号"));
    return Equal(values.value(date), filter->dateText) &&
           (!filter->sortText || Equal(values.value(sort), *filter->sortText)) &&
           (!filter->operatorNumber || Equal(values.value(operatorNumber), *filter->operatorNumber));
}

Statement SearchStatement(const std::optional<RecordFilter>& filter)
{
    if (!filter) return {kSelectAll, {}};
    Statement statement{kSelectAll + QStringLiteral(" where 日期 = ") + kDate, {{kDate, filter->dateText}}};
    if (filter->sortText) {
        statement.text += QStringLiteral(" and 分选结果 = ") + kSort;
        statement.values.insert(kSort, *filter->sortText);
    }
    if (filter->operatorNumber) {
        statement.text += QStringLiteral(" and 工号 = ") + kOperator;
        statement.values.insert(kOperator, *filter->operatorNumber);
    }
    return statement;
}

std::optional<RecordFilter> StatementFilter(const QString& text, const QVariantMap& values)
{
    // The four statements the program makes, recognised by their shape; the values stay values.
    const QString shape = text.simplified();
    auto is = [&](const std::optional<RecordFilter>& kind) {
        return shape.compare(SearchStatement(kind).text, Qt::CaseInsensitive) == 0;
    };
    if (is(std::nullopt)) return std::nullopt;
    const bool bySort = is(RecordFilter{{}, QString(), {}});
    const bool byOperator = is(RecordFilter{{}, {}, QString()});
    if (!bySort && !byOperator && !is(RecordFilter{}))
        throw PlatformError(QStringLiteral("Unsupported statement: %1").arg(shape));
    RecordFilter filter{Bound(values, kDate), {}, {}};
    if (bySort) filter.sortText = Bound(values, kSort);
    if (byOperator) filter.operatorNumber = Bound(values, kOperator);
    return filter;
}

}  // namespace records
