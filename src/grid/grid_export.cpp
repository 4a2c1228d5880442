#include "grid_export.h"

#include "log_categories.h"
#include "platform_error.h"

#include <QIODevice>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <cmath>

namespace grid {
namespace {

using records::TFieldType;

// A display format's first section: literal text around digit placeholders, '0' a digit
// always shown, '#' one shown when needed, ',' before the point groups thousands.
QString FormatWithDisplayFormat(double value, const QString& format)
{
    const QString section = format.section(u';', 0, 0);
    static const QRegularExpression placeholder(QStringLiteral("[0#]"));
    const qsizetype first = section.indexOf(placeholder);
    if (first < 0) return section;
    const qsizetype last = section.lastIndexOf(placeholder);
    const QString pattern = section.mid(first, last - first + 1);
    const qsizetype point = pattern.indexOf(u'.');
    const QString decimals = point < 0 ? QString() : pattern.mid(point + 1);
    const int required = int(decimals.count(u'0'));
    QLocale locale = QLocale::c();
    locale.setNumberOptions(pattern.left(point < 0 ? pattern.size() : point).contains(u',')
                                ? QLocale::NumberOptions()
                                : QLocale::OmitGroupSeparator);
    QString text = locale.toString(value, 'f', required + int(decimals.count(u'#')));
    if (text.contains(u'.')) {
        int optional = int(decimals.count(u'#'));
        while (optional-- > 0 && text.endsWith(u'0')) text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    return section.left(first) + text + section.mid(last + 1);
}

QString FormatSum(const records::FieldDef& field, qint64 currency)
{
    const double value = double(currency) / 10000.0;
    if (IsIntegerField(field.type))
        return field.displayFormat.isEmpty() ? QString::number(currency / 10000)
                                             : FormatWithDisplayFormat(value, field.displayFormat);
    if (!IsFloatField(field.type)) return {};
    const bool bcd = field.type == TFieldType::ftBCD || field.type == TFieldType::ftFMTBcd;
    if (!field.displayFormat.isEmpty()) return FormatWithDisplayFormat(value, field.displayFormat);
    if (bcd || field.currency) return QLocale::system().toCurrencyString(value);
    return QString::number(value, 'g', field.precision);
}

// Resumes the dataset's views when the walk leaves, also by an error.
class ControlsSuspension {
public:
    explicit ControlsSuspension(records::Dataset& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
    ~ControlsSuspension() { dataSet_.EnableControls(); }
    ControlsSuspension(const ControlsSuspension&) = delete;
    ControlsSuspension& operator=(const ControlsSuspension&) = delete;

private:
    records::Dataset& dataSet_;
};

}  // namespace

bool IsIntegerField(TFieldType type)
{
    return type == TFieldType::ftSmallint || type == TFieldType::ftInteger || type == TFieldType::ftWord ||
           type == TFieldType::ftAutoInc;
}

bool IsFloatField(TFieldType type)
{
    return type == TFieldType::ftFloat || type == TFieldType::ftCurrency || type == TFieldType::ftBCD ||
           type == TFieldType::ftFMTBcd;
}

TGridExport::TGridExport() : CellParams(std::make_unique<TColCellParams>()) {}

TGridExport::~TGridExport() = default;

records::Dataset& TGridExport::OpenDataSet() const
{
    records::Dataset* dataSet = Grid->DataSet();
    if (!dataSet || !dataSet->Active())
        throw PlatformError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    return *dataSet;
}

void TGridExport::ExportToFile(const QString& fileName, bool allRecords)
{
    // Written beside the target: after any failure the old file is untouched and the
    // temporary one is removed.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) throw PlatformError(QStringLiteral("Cannot create file %1").arg(fileName));
    // A failed write (a full disk) names the file and the system's cause.
    const auto writeError = [&] {
        return PlatformError(QStringLiteral("Cannot write file %1: %2").arg(fileName, file.errorString()));
    };
    try {
        ExportToStream(file, allRecords);
    } catch (const PlatformError&) {
        if (file.error() != QFileDevice::NoError) throw writeError();
        throw;
    }
    if (!file.commit()) {
        qCWarning(lcGrid) << "replacing" << fileName << "failed:" << file.errorString();
        if (file.error() == QFileDevice::WriteError) throw writeError();
        throw PlatformError(QStringLiteral("Cannot create file %1").arg(fileName));
    }
}

void TGridExport::ExportToStream(QIODevice& stream, bool allRecords)
{
    Stream = &stream;
    const TGridSelectionType kind = allRecords ? gstAll : Grid->Selection().SelectionType();
    if (kind == gstNon) return;
    records::Dataset& dataSet = OpenDataSet();
    {
        ControlsSuspension suspension(dataSet);
        Grid->SaveBookmark();
        try {
            Walk(kind, dataSet);
        } catch (...) {
            // The walk's error is the one the caller must see.
            try {
                Grid->RestoreBookmark();
            } catch (const PlatformError& error) {
                qCWarning(lcGrid) << "position not restored:" << error.Text();
            }
            throw;
        }
        Grid->RestoreBookmark();
    }
    WriteSuffix();
}

TGridColumnList TGridExport::ColumnsOf(TGridSelectionType kind) const
{
    const TGridSelection& selection = Grid->Selection();
    if (kind == gstColumns) return selection.Columns();
    if (kind != gstRectangle) return Grid->VisibleColumnList();
    TGridColumnList columns;
    const TGridColumns& all = Grid->Columns();
    for (int i = std::max(0, selection.Rect().GetLeftCol()); i <= selection.Rect().GetRightCol() && i < all.Count();
         ++i)
        if (all[i].Visible) columns << &all[i];
    return columns;
}

void TGridExport::Walk(TGridSelectionType kind, records::Dataset& dataSet)
{
    ExportedColumns = ColumnsOf(kind);
    FooterAccumulators.assign(size_t(std::max(0, Grid->FooterRowCount())) * size_t(ExportedColumns.size()), 0);
    WritePrefix();
    if (Grid->Options().testFlag(dgTitles)) WriteTitle(ExportedColumns);
    WriteRows(kind, dataSet);
    for (int row = 0; row < Grid->FooterRowCount(); ++row) WriteFooter(ExportedColumns, row);
}

void TGridExport::WriteRows(TGridSelectionType kind, records::Dataset& dataSet)
{
    if (kind == gstRecordBookmarks) {
        const QList<records::Bookmark> bookmarks = Grid->Selection().Rows().Items();
        for (records::Bookmark bookmark : bookmarks) {
            dataSet.GotoBookmark(bookmark);
            ExportCurrentRecord();
        }
        return;
    }
    if (kind == gstRectangle) {
        const TGridSelectionRect& rect = Grid->Selection().Rect();
        dataSet.GotoBookmark(rect.GetTopRow());
        while (true) {
            ExportCurrentRecord();
            if (dataSet.CompareBookmarks(rect.GetBottomRow(), dataSet.GetBookmark()) == 0) return;
            dataSet.Next();
            if (dataSet.Eof()) return;
        }
    }
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) ExportCurrentRecord();
}

void TGridExport::ExportCurrentRecord()
{
    WriteRecord(ExportedColumns);
    CalcFooterValues();
}

void TGridExport::WriteRecord(const TGridColumnList& columns)
{
    QFont font;
    for (TGridColumn* column : columns) {
        font = column->Font;
        TColCellParams& params = *CellParams;
        params.Row = -1;
        params.Col = -1;
        params.State = {};
        params.Font = &font;
        params.Background = column->Color;
        params.Alignment = column->Alignment;
        params.ImageIndex = column->ImageIndex;
        params.Text = column->DisplayText();
        params.CheckboxState = column->CheckboxState();
        if (Grid->OnGetCellParams) Grid->OnGetCellParams(*Grid, *column, font, params.Background, {});
        column->GetColCellParams(false, params);
        WriteDataCell(*column, params);
    }
}

void TGridExport::WriteFooter(const TGridColumnList& columns, int footerRow)
{
    for (int position = 0; position < columns.size(); ++position) {
        TGridColumn& column = *columns[position];
        const TGridColumnFooter& footer = column.UsedFooter(footerRow);
        QFont font = footer.Font;
        QColor color = footer.Color;
        Qt::Alignment alignment = footer.Alignment;
        QString text = footer.ValueType == fvtSum || footer.ValueType == fvtCount
                           ? GetFooterValue(footerRow, position)
                           : Grid->GetFooterValue(footerRow, column);
        if (Grid->OnGetFooterParams)
            Grid->OnGetFooterParams(*Grid, column.Index(), footerRow, column, font, color, alignment, {}, text);
        WriteFooterCell(position, footerRow, column, font, color, alignment, text);
    }
}

// The dataset's field a footer adds up: its own FieldName, else its column's; -1 when none.
int TGridExport::FooterField(int footerRow, int position) const
{
    const TGridColumn& column = *ExportedColumns[position];
    const QString& own = column.UsedFooter(footerRow).FieldName;
    return Grid->DataSet()->FindField(own.isEmpty() ? column.FieldName : own);
}

void TGridExport::CalcFooterValues()
{
    const records::Dataset& dataSet = *Grid->DataSet();
    const int count = int(ExportedColumns.size());
    for (int row = 0; row < Grid->FooterRowCount(); ++row) {
        for (int position = 0; position < count; ++position) {
            const int field = FooterField(row, position);
            if (field < 0) continue;
            qint64& sum = FooterAccumulators[size_t(row * count + position)];
            switch (ExportedColumns[position]->UsedFooter(row).ValueType) {
            case fvtSum:
                if (!dataSet.IsNull(field)) sum += std::llround(dataSet.AsFloat(field) * 10000.0);
                break;
            case fvtCount: sum += 10000; break;
            default: break;
            }
        }
    }
}

QString TGridExport::GetFooterValue(int footerRow, int position) const
{
    const qint64 value = FooterAccumulators[size_t(footerRow * ExportedColumns.size() + position)];
    switch (ExportedColumns[position]->UsedFooter(footerRow).ValueType) {
    case fvtCount: return QString::number(value / 10000);
    case fvtSum: {
        const int field = FooterField(footerRow, position);
        return field < 0 ? QString() : FormatSum(Grid->DataSet()->Fields().at(field), value);
    }
    default: return {};
    }
}

void SaveGridToExportFile(const TGridExportClass& exportClass, TCustomRecordGrid& grid, const QString& fileName,
                          bool allRecords)
{
    const std::unique_ptr<TGridExport> writer = exportClass();
    writer->Grid = &grid;
    writer->ExportToFile(fileName, allRecords);
}

void WriteGridToExportStream(const TGridExportClass& exportClass, TCustomRecordGrid& grid, QIODevice& stream,
                             bool allRecords)
{
    const std::unique_ptr<TGridExport> writer = exportClass();
    writer->Grid = &grid;
    writer->ExportToStream(stream, allRecords);
}

}  // namespace grid
