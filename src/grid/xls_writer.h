#pragma once
// Writes a grid as an .xls worksheet: a bare stream of BIFF records, BOF, the code page,
// one cell record per exported cell and EOF. Cells carry values only: integers as RK,
// floating-point values as NUMBER, null fields as BLANK and everything else as LABEL text
// in code page 936.

#include "grid_export.h"

#include <QByteArray>

namespace grid {

class TGridExportAsXLS : public TGridExport {
public:
    // Rows in a sheet; row numbers are 16 bits wide.
    static constexpr int MaxRows = 65536;
    // Text bytes a LABEL carries; a longer text is cut at a character boundary.
    static constexpr int MaxLabelBytes = 65527;

    // The most records one file can hold beside the grid's title and footer rows.
    static int MaxRecords(const TCustomRecordGrid& grid);
    // The text as a LABEL carries it: code page 936 bytes, cut to MaxLabelBytes.
    static QByteArray LabelBytes(const QString& text);

    void ExportToStream(QIODevice& stream, bool allRecords) override;

protected:
    void WritePrefix() override;
    void WriteSuffix() override;
    void WriteTitle(const TGridColumnList& columns) override;
    void WriteDataCell(TGridColumn& column, TColCellParams& params) override;
    void WriteFooterCell(int position, int footerRow, TGridColumn& column, const QFont& font, const QColor& color,
                         Qt::Alignment alignment, const QString& text) override;

    void WriteBlankCell();
    void WriteFloatCell(double value);
    // RK when the value fits its 30 bits, else NUMBER, or LABEL beyond a double's exact range.
    void WriteIntegerCell(qint64 value);
    void WriteStringCell(const QString& text);
    void IncColRow();

    quint16 CurrentCol = 0;
    quint16 CurrentRow = 0;

private:
    void BeginCell(quint16 identifier, quint16 length);
    void Put16(quint16 value);
    void Put32(quint32 value);
    void Flush();
    void FlushAfterError();

    QByteArray buffer_;
    bool rowsUsedUp_ = false;
    bool writeFailed_ = false;
};

}  // namespace grid
