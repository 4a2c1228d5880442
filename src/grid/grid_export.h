#pragma once
// Turns what a record grid shows into a file: an optional title row, one row per record
// and any footer rows, cell by cell in the grid's column order. The walk moves through
// the grid's dataset while its views are suspended and leaves the grid where it was; a
// writer class decides the file format by overriding the Write operations.

#include "custom_record_grid.h"

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

namespace grid {

// Currency values: the value × 10000.
using TFooterValues = std::vector<qint64>;

// The field types whose values are integers, and those whose values are floating-point.
bool IsIntegerField(records::TFieldType type);
bool IsFloatField(records::TFieldType type);

class TGridExport {
public:
    TGridExport();
    virtual ~TGridExport();
    TGridExport(const TGridExport&) = delete;
    TGridExport& operator=(const TGridExport&) = delete;

    TCustomRecordGrid* Grid = nullptr;  // not owned

    // Writes the grid into the stream: every record with AllRecords, else what the
    // grid's selection holds. Errors reach the caller after the grid is put back.
    virtual void ExportToStream(QIODevice& stream, bool allRecords);
    // Writes beside the file and replaces it only when the export succeeded.
    virtual void ExportToFile(const QString& fileName, bool allRecords);

    // Adds the current record into the footer accumulators.
    void CalcFooterValues();
    // The text of a sum or count footer of an exported column.
    QString GetFooterValue(int footerRow, int position) const;

protected:
    virtual void WritePrefix() {}
    virtual void WriteSuffix() {}
    virtual void WriteTitle(const TGridColumnList&) {}
    virtual void WriteRecord(const TGridColumnList& columns);
    virtual void WriteDataCell(TGridColumn&, TColCellParams&) {}
    virtual void WriteFooter(const TGridColumnList& columns, int footerRow);
    virtual void WriteFooterCell(int /*position*/, int /*footerRow*/, TGridColumn&, const QFont&, const QColor&,
                                 Qt::Alignment, const QString& /*text*/)
    {
    }

    std::unique_ptr<TColCellParams> CellParams;
    TGridColumnList ExportedColumns;
    QIODevice* Stream = nullptr;  // not owned
    TFooterValues FooterAccumulators;

private:
    records::Dataset& OpenDataSet() const;
    TGridColumnList ColumnsOf(TGridSelectionType kind) const;
    void Walk(TGridSelectionType kind, records::Dataset& dataSet);
    void WriteRows(TGridSelectionType kind, records::Dataset& dataSet);
    void ExportCurrentRecord();
    int FooterField(int footerRow, int position) const;
};

// The class reference of the family: makes a new writer.
using TGridExportClass = std::function<std::unique_ptr<TGridExport>()>;

template <class Export>
TGridExportClass ExportClass()
{
    return [] { return std::make_unique<Export>(); };
}

void SaveGridToExportFile(const TGridExportClass& exportClass, TCustomRecordGrid& grid, const QString& fileName,
                          bool allRecords);
void WriteGridToExportStream(const TGridExportClass& exportClass, TCustomRecordGrid& grid, QIODevice& stream,
                             bool allRecords);

}  // namespace grid
