#include "xls_writer.h"

#include "ansi_text.h"
#include "platform_error.h"

#include <QIODevice>
#include <QtEndian>
#include <cstring>

namespace grid {
namespace {

enum : quint16 {
    kBof = 0x0809,
    kCodePage = 0x0042,
    kLabel = 0x0204,
    kNumber = 0x0203,
    kRk = 0x027E,
    kBlank = 0x0201,
    kEof = 0x000A,
};

constexpr quint16 kWorksheet = 0x0010;
constexpr quint16 kAnsiCodePage = 936;
constexpr quint16 kBlankFormat = 0x0017;
constexpr qint64 kRkMin = -(qint64(1) << 29);
constexpr qint64 kRkMax = (qint64(1) << 29) - 1;
constexpr qint64 kExactInDouble = qint64(1) << 53;
// Output is handed to the stream in blocks of this size.
constexpr qsizetype kFlushSize = 64 * 1024;

// The length of the longest prefix of code page 936 bytes within `limit` that does not
// split a two-byte character (lead bytes are 0x81–0xFE).
qsizetype CharacterBoundary(const QByteArray& bytes, qsizetype limit)
{
    qsizetype end = 0;
    while (end < bytes.size()) {
        const qsizetype step = quint8(bytes[end]) >= 0x81 ? 2 : 1;
        if (end + step > limit) break;
        end += step;
    }
    return end;
}

}  // namespace

int TGridExportAsXLS::MaxRecords(const TCustomRecordGrid& grid)
{
    return MaxRows - (grid.Options().testFlag(dgTitles) ? 1 : 0) - grid.FooterRowCount();
}

QByteArray TGridExportAsXLS::LabelBytes(const QString& text)
{
    QByteArray bytes = base::ToAnsi(text);
    if (bytes.size() > MaxLabelBytes) bytes.truncate(CharacterBoundary(bytes, MaxLabelBytes));
    return bytes;
}

void TGridExportAsXLS::ExportToStream(QIODevice& stream, bool allRecords)
{
    CurrentCol = 0;
    CurrentRow = 0;
    rowsUsedUp_ = false;
    writeFailed_ = false;
    buffer_.resize(0);
    buffer_.reserve(kFlushSize + MaxLabelBytes + 16);
    try {
        TGridExport::ExportToStream(stream, allRecords);
    } catch (...) {
        FlushAfterError();
        throw;
    }
    Flush();
}

// The stream keeps the records written before an error, as it would without the buffer.
void TGridExportAsXLS::FlushAfterError()
{
    if (writeFailed_) return;
    try {
        Flush();
    } catch (const PlatformError&) {
        // The first error is the one the caller sees.
    }
}

void TGridExportAsXLS::WritePrefix()
{
    Put16(kBof);
    Put16(8);
    Put16(0x0000);
    Put16(kWorksheet);
    Put16(0x0000);
    Put16(0x0000);
    // Readers decode the LABEL text by this record; without it they guess.
    Put16(kCodePage);
    Put16(2);
    Put16(kAnsiCodePage);
}

void TGridExportAsXLS::WriteSuffix()
{
    Put16(kEof);
    Put16(0);
}

void TGridExportAsXLS::WriteTitle(const TGridColumnList& columns)
{
    for (const TGridColumn* column : columns) WriteStringCell(column->Title.GetCaption());
}

void TGridExportAsXLS::WriteDataCell(TGridColumn& column, TColCellParams& params)
{
    const int field = column.Field();
    if (field < 0) return WriteBlankCell();
    if (column.GetColumnType() == ctKeyPickList) return WriteStringCell(params.Text);
    const records::Dataset& dataSet = *Grid->DataSet();
    if (dataSet.IsNull(field)) return WriteBlankCell();
    const records::TFieldType type = dataSet.Fields().at(field).type;
    if (IsIntegerField(type)) return WriteIntegerCell(dataSet.AsInteger(field));
    if (IsFloatField(type)) return WriteFloatCell(dataSet.AsFloat(field));
    WriteStringCell(params.Text);
}

void TGridExportAsXLS::WriteFooterCell(int position, int footerRow, TGridColumn& column, const QFont&, const QColor&,
                                       Qt::Alignment, const QString& text)
{
    const TFooterValueType kind = column.UsedFooter(footerRow).ValueType;
    if (kind != fvtSum && kind != fvtCount) return WriteStringCell(text);
    const size_t index = size_t(footerRow) * size_t(ExportedColumns.size()) + size_t(position);
    WriteFloatCell(double(FooterAccumulators[index]) / 10000.0);
}

void TGridExportAsXLS::WriteBlankCell()
{
    BeginCell(kBlank, 6);
    Put16(kBlankFormat);
    IncColRow();
}

void TGridExportAsXLS::WriteFloatCell(double value)
{
    BeginCell(kNumber, 14);
    Put16(0);
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(quint32(bits));
    Put32(quint32(bits >> 32));
    IncColRow();
}

void TGridExportAsXLS::WriteIntegerCell(qint64 value)
{
    if (value < kRkMin || value > kRkMax) {
        if (value >= -kExactInDouble && value <= kExactInDouble) return WriteFloatCell(double(value));
        return WriteStringCell(QString::number(value));
    }
    BeginCell(kRk, 10);
    Put16(0);
    Put32((quint32(qint32(value)) << 2) | 2u);
    IncColRow();
}

void TGridExportAsXLS::WriteStringCell(const QString& text)
{
    const QByteArray bytes = LabelBytes(text);
    BeginCell(kLabel, quint16(8 + bytes.size()));
    Put16(0);
    Put16(quint16(bytes.size()));
    buffer_.append(bytes);
    IncColRow();
}

void TGridExportAsXLS::IncColRow()
{
    if (CurrentCol + 1 < ExportedColumns.size()) {
        ++CurrentCol;
        return;
    }
    CurrentCol = 0;
    if (CurrentRow == MaxRows - 1) rowsUsedUp_ = true;
    ++CurrentRow;
}

// Starts a cell record at the current address; rows never wrap round to the top.
void TGridExportAsXLS::BeginCell(quint16 identifier, quint16 length)
{
    if (rowsUsedUp_) throw PlatformError(QStringLiteral("More rows than a sheet holds (%1)").arg(MaxRows));
    if (buffer_.size() >= kFlushSize) Flush();
    const quint16 header[] = {qToLittleEndian(identifier), qToLittleEndian(length), qToLittleEndian(CurrentRow),
                              qToLittleEndian(CurrentCol)};
    buffer_.append(reinterpret_cast<const char*>(header), sizeof header);
}

void TGridExportAsXLS::Put16(quint16 value)
{
    const quint16 little = qToLittleEndian(value);
    buffer_.append(reinterpret_cast<const char*>(&little), 2);
}

void TGridExportAsXLS::Put32(quint32 value)
{
    const quint32 little = qToLittleEndian(value);
    buffer_.append(reinterpret_cast<const char*>(&little), 4);
}

void TGridExportAsXLS::Flush()
{
    if (buffer_.isEmpty()) return;
    const qint64 size = buffer_.size();
    const qint64 written = Stream->write(buffer_);
    buffer_.resize(0);
    if (written == size) return;
    writeFailed_ = true;
    throw PlatformError(QStringLiteral("Stream write error"));
}

}  // namespace grid
