// The export walk and the .xls writer: the bytes of every record kind, the kinds of walk,
// the grid left as it was, footers, failing streams and files, and the files read back by
// readers written elsewhere (xlrd, LibreOffice).

#include "ansi_text.h"
#include "memory_grid.h"
#include "xls_writer.h"

#include <QBuffer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace grid;
using records::TFieldType;
using testing_support::Field;
using testing_support::MemoryDataset;
using testing_support::MemoryGrid;

namespace {

const QByteArray kBof = QByteArray::fromHex("09 08 08 00 00 00 10 00 00 00 00 00");
const QByteArray kCodePage = QByteArray::fromHex("42 00 02 00 A8 03");
const QByteArray kEof = QByteArray::fromHex("0A 00 00 00");

QByteArray ExportBytes(TCustomRecordGrid& grid, bool allRecords = true)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteGridToExportStream(ExportClass<TGridExportAsXLS>(), grid, buffer, allRecords);
    return buffer.data();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Logs what the walk hands a writer: one line for the title, each record and each footer.
class RecordingExport : public TGridExport {
public:
    static inline QStringList log;

protected:
    void WritePrefix() override { log << "prefix"; }
    void WriteSuffix() override { log << "suffix"; }
    void WriteTitle(const TGridColumnList& columns) override
    {
        QStringList captions;
        for (const TGridColumn* column : columns) captions << column->Title.GetCaption();
        log << "title " + captions.join(',');
    }
    void WriteRecord(const TGridColumnList& columns) override
    {
        cells_.clear();
        TGridExport::WriteRecord(columns);
        log << "record " + cells_.join(',');
    }
    void WriteDataCell(TGridColumn&, TColCellParams& params) override { cells_ << params.Text; }
    void WriteFooterCell(int, int row, TGridColumn&, const QFont&, const QColor&, Qt::Alignment,
                         const QString& text) override
    {
        log << QStringLiteral("footer %1 %2").arg(row).arg(text);
    }

private:
    QStringList cells_;
};

// Takes at most `limit` bytes in all, then takes fewer than it is given.
class ShortDevice : public QIODevice {
public:
    explicit ShortDevice(qint64 limit) : left_(limit) { open(WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override
    {
        const qint64 taken = std::min(size, left_);
        left_ -= taken;
        return taken;
    }

private:
    qint64 left_;
};

// The six fields of a measurement record, 编号 an integer and the others text.
MemoryDataset MeasurementRecords(QList<QVariantList> rows)
{
    return MemoryDataset({Field("编号", TFieldType::ftInteger), Field("工号", TFieldType::ftString),
                          Field("日期", TFieldType::ftString), Field("符号", TFieldType::ftString),
                          Field("测试数据", TFieldType::ftString), Field("分选结果", TFieldType::ftString)},
                         std::move(rows));
}

const QList<QVariantList> kReadings = {
    {1, "A0001", "2024-03-05", "R", "12.345mΩ", "合格"},
    {2, "工号七", "2024-03-05", "%", "-0.25%", "偏高"},
    {-3, "", "2024-03-06", "R", "1.0000KΩ", QVariant()},
};

records::FieldDef Formatted(records::FieldDef field, const QString& format)
{
    field.displayFormat = format;
    return field;
}

// Sets a grid up for a case; says whether to export all records.
using Arrange = std::function<bool(MemoryGrid&)>;

struct ByteCase {
    const char* name;
    QList<records::FieldDef> fields;
    QList<QVariantList> rows;
    bool titles;
    std::function<void(MemoryGrid&)> arrange;
    const char* cells;  // between BOF with its code page and EOF
};

const QList<ByteCase>& ByteCases()
{
    static const QList<ByteCase> cases = {
        // The worked example: without the code page record it is the 82-byte file.
        {"worked example",
         {Field("编号", TFieldType::ftInteger), Field("分选结果", TFieldType::ftString)},
         {{7, "PASS"}},
         true,
         {},
         "04 02 0C 00 00 00 00 00 00 00 04 00 B1 E0 BA C5"
         "04 02 10 00 00 00 01 00 00 00 08 00 B7 D6 D1 A1 BD E1 B9 FB"
         "7E 02 0A 00 01 00 00 00 00 00 1E 00 00 00"
         "04 02 0C 00 01 00 01 00 00 00 04 00 50 41 53 53"},
        {"float NUMBER, null BLANK 23, without titles in row 0",
         {Field("a", TFieldType::ftFloat), Field("b", TFieldType::ftString)},
         {{1.5, QVariant()}},
         false,
         {},
         "03 02 0E 00 00 00 00 00 00 00 00 00 00 00 00 00 F8 3F"
         "01 02 06 00 00 00 01 00 17 00"},
        {"negative RK, empty LABEL",
         {Field("a", TFieldType::ftInteger), Field("b", TFieldType::ftString)},
         {{-1, ""}},
         false,
         {},
         "7E 02 0A 00 00 00 00 00 00 00 FE FF FF FF"
         "04 02 08 00 00 00 01 00 00 00 00 00"},
        {"RK range edges, beyond it NUMBER, beyond a double LABEL",
         {Field("a", TFieldType::ftInteger)},
         {{536870911}, {536870912}, {-536870912}, {-536870913}, {Q_INT64_C(9007199254740993)}},
         false,
         {},
         "7E 02 0A 00 00 00 00 00 00 00 FE FF FF 7F"
         "03 02 0E 00 01 00 00 00 00 00 00 00 00 00 00 00 C0 41"
         "7E 02 0A 00 02 00 00 00 00 00 02 00 00 80"
         "03 02 0E 00 03 00 00 00 00 00 00 00 80 00 00 00 C0 C1"
         "04 02 18 00 04 00 00 00 00 00 10 00 39 30 30 37 31 39 39 32 35 34 37 34 30 39 39 33"},
        {"display formats leave numbers raw",
         {Formatted(Field("a", TFieldType::ftFloat), "0.0"), Formatted(Field("b", TFieldType::ftSmallint), "000")},
         {{2.25, 5}},
         false,
         {},
         "03 02 0E 00 00 00 00 00 00 00 00 00 00 00 00 00 02 40"
         "7E 02 0A 00 00 00 01 00 00 00 16 00 00 00"},
        {"Chinese text counts two bytes a character",
         {Field("a", TFieldType::ftString)},
         {{"合格品"}},
         false,
         {},
         "04 02 0E 00 00 00 00 00 00 00 06 00 BA CF B8 F1 C6 B7"},
        {"key pick list text also for null, no field BLANK",
         {Field("a", TFieldType::ftInteger)},
         {{1}, {QVariant()}},
         false,
         [](MemoryGrid& grid) {
             grid.Columns()[0].KeyList = QStringList{"0", "1", ""};
             grid.Columns()[0].PickList = QStringList{"L", "H", "N"};
             grid.Columns().Add("nosuch");
         },
         "04 02 09 00 00 00 00 00 00 00 01 00 48"
         "01 02 06 00 00 00 01 00 17 00"
         "04 02 09 00 01 00 00 00 00 00 01 00 4E"
         "01 02 06 00 01 00 01 00 17 00"},
        {"empty dataset: title row only",
         {Field("编号", TFieldType::ftInteger)},
         {},
         true,
         {},
         "04 02 0C 00 00 00 00 00 00 00 04 00 B1 E0 BA C5"},
        {"no visible columns",
         {Field("a", TFieldType::ftInteger)},
         {{1}},
         true,
         [](MemoryGrid& grid) { grid.Columns()[0].Visible = false; },
         ""},
    };
    return cases;
}

TGridColumnFooter Footer(TFooterValueType kind, const QString& text = {})
{
    TGridColumnFooter footer;
    footer.ValueType = kind;
    footer.Value = text;
    return footer;
}

// The records of a BIFF stream as (identifier, row) pairs; row -1 for records without one.
QList<QPair<int, int>> RecordsOf(const QByteArray& bytes)
{
    QList<QPair<int, int>> records;
    for (qsizetype at = 0; at + 4 <= bytes.size();) {
        const int id = quint8(bytes[at]) | quint8(bytes[at + 1]) << 8;
        const int length = quint8(bytes[at + 2]) | quint8(bytes[at + 3]) << 8;
        const bool cell = id == 0x0204 || id == 0x0203 || id == 0x027E || id == 0x0201;
        records.append({id, cell ? (quint8(bytes[at + 4]) | quint8(bytes[at + 5]) << 8) : -1});
        at += 4 + length;
    }
    return records;
}

// An interpreter that has xlrd, or an empty text.
QString PythonWithXlrd()
{
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        if (QProcess::execute(python, {"-c", "import xlrd"}) == 0) return python;
    }
    return {};
}

}  // namespace

class GridExportTest : public QObject {
    Q_OBJECT
private slots:
    void writesRecordBytes_data();
    void writesRecordBytes();
    void walksEachKind_data();
    void walksEachKind();
    void leavesGridAsItWas_data();
    void leavesGridAsItWas();
    void writesFooters();
    void failsOnShortWrites();
    void neverWrapsRows();
    void cutsLongTextAtCharacters();
    void replacesFilesOnlyOnSuccess_data();
    void replacesFilesOnlyOnSuccess();
    void reportsAFullDisk();
    void readsBackWithXlrd();
    void readsBackWithLibreOffice();
};

void GridExportTest::writesRecordBytes_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < ByteCases().size(); ++i) QTest::newRow(ByteCases()[i].name) << i;
}

void GridExportTest::writesRecordBytes()
{
    QFETCH(int, index);
    const ByteCase& c = ByteCases()[index];
    MemoryDataset dataSet(c.fields, c.rows);
    MemoryGrid grid(dataSet);
    if (!c.titles) grid.SetOptions(grid.Options() & ~TGridOptions(dgTitles));
    if (c.arrange) c.arrange(grid);
    const QByteArray expected = kBof + kCodePage + QByteArray::fromHex(c.cells) + kEof;
    QCOMPARE(ExportBytes(grid).toHex(' '), expected.toHex(' '));
    if (index == 0) QCOMPARE(expected.size() - kCodePage.size(), 82);
}

void GridExportTest::walksEachKind_data()
{
    QTest::addColumn<Arrange>("arrange");  // returns AllRecords
    QTest::addColumn<QStringList>("expected");
    const QString title = "title id,name,d";
    QTest::newRow("every record whatever is selected") << Arrange([](MemoryGrid& grid) {
        grid.SelectedRowList().Add(4);
        grid.SelectedRowList().Add(2);
        return true;
    }) << QStringList{"prefix", title, "record 1,a,x", "record 2,b,y", "record 3,c,z", "record 4,d,w", "suffix"};
    QTest::newRow("selected records") << Arrange([](MemoryGrid& grid) {
        grid.SelectedRowList().Add(4);
        grid.SelectedRowList().Add(2);
        return false;
    }) << QStringList{"prefix", title, "record 2,b,y", "record 4,d,w", "suffix"};
    QTest::newRow("rectangle over a hidden column, corners given bottom first") << Arrange([](MemoryGrid& grid) {
        grid.Selection().SelectRect(3, 3, 1, 2);
        return false;
    }) << QStringList{"prefix", "title name,d", "record b,y", "record c,z", "suffix"};
    QTest::newRow("rectangle of one record") << Arrange([](MemoryGrid& grid) {
        grid.Selection().SelectRect(0, 4, 0, 4);
        return false;
    }) << QStringList{"prefix", "title id", "record 4", "suffix"};
    QTest::newRow("selected columns in their list order") << Arrange([](MemoryGrid& grid) {
        grid.Selection().SelectColumns({&grid.Columns()[3], &grid.Columns()[0]});
        return false;
    }) << QStringList{"prefix", "title d,id", "record x,1", "record y,2", "record z,3", "record w,4", "suffix"};
    QTest::newRow("a moved column, no titles") << Arrange([](MemoryGrid& grid) {
        grid.Columns().Move(3, 0);
        grid.SetOptions(grid.Options() & ~TGridOptions(dgTitles));
        return true;
    }) << QStringList{"prefix", "record x,1,a", "record y,2,b", "record z,3,c", "record w,4,d", "suffix"};
    QTest::newRow("nothing selected") << Arrange([](MemoryGrid&) { return false; }) << QStringList{};
}

void GridExportTest::walksEachKind()
{
    QFETCH(Arrange, arrange);
    QFETCH(QStringList, expected);
    MemoryDataset dataSet({Field("id", TFieldType::ftInteger), Field("name", TFieldType::ftString),
                           Field("hidden", TFieldType::ftString), Field("d", TFieldType::ftString)},
                          {{1, "a", "-", "x"}, {2, "b", "-", "y"}, {3, "c", "-", "z"}, {4, "d", "-", "w"}});
    MemoryGrid grid(dataSet);
    grid.Columns()[2].Visible = false;
    const bool allRecords = arrange(grid);
    const TGridSelectionType kind = grid.Selection().SelectionType();
    const QList<records::Bookmark> selected = grid.SelectedRowList().Items();
    RecordingExport::log.clear();
    QBuffer unused;
    WriteGridToExportStream(ExportClass<RecordingExport>(), grid, unused, allRecords);
    QCOMPARE(RecordingExport::log, expected);
    QCOMPARE(grid.Selection().SelectionType(), kind);
    QCOMPARE(grid.SelectedRowList().Items(), selected);
}

void GridExportTest::leavesGridAsItWas_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("failingRow");
    QTest::newRow("current above the middle row") << 5 << 2 << 3 << -1;
    QTest::newRow("current in the bottom row") << 4 << 6 << 9 << -1;
    QTest::newRow("window runs to the last record") << 5 << 5 << 6 << -1;
    QTest::newRow("window reported longer than the records left") << 5 << 8 << 8 << -1;
    QTest::newRow("no rows shown, first record") << 0 << 0 << 0 << -1;
    QTest::newRow("read error during the walk") << 5 << 2 << 6 << 4;
}

void GridExportTest::leavesGridAsItWas()
{
    QFETCH(int, window);
    QFETCH(int, top);
    QFETCH(int, current);
    QFETCH(int, failingRow);
    QList<QVariantList> rows;
    for (int i = 0; i < 10; ++i) rows.append(QVariantList{i});
    MemoryDataset dataSet({Field("n", TFieldType::ftInteger)}, rows);
    MemoryGrid grid(dataSet);
    grid.window = window;
    grid.top = top;
    dataSet.GotoBookmark(current + 1);
    dataSet.failReadingRow = failingRow;
    int resumed = 0;
    connect(&dataSet, &records::Dataset::ControlsResumed, this, [&] { ++resumed; });
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    try {
        WriteGridToExportStream(ExportClass<TGridExportAsXLS>(), grid, buffer, true);
        QCOMPARE(failingRow, -1);
    } catch (const PlatformError& error) {
        QCOMPARE(error.Text(), QStringLiteral("read failed"));
        // What came before the error is in the stream, up to the record before the failing
        // one (the titles take row 0); the end record is not.
        QVERIFY(buffer.data().startsWith(kBof + kCodePage));
        QCOMPARE(RecordsOf(buffer.data()).last().second, failingRow);
    }
    QCOMPARE(dataSet.Current(), current);
    QCOMPARE(resumed, 1);
    QVERIFY(!dataSet.ControlsDisabled());
}

void GridExportTest::writesFooters()
{
    MemoryDataset dataSet(
        {Field("qty", TFieldType::ftInteger), Field("price", TFieldType::ftFloat), Field("name", TFieldType::ftString)},
        {{1, 1.25, "a"}, {2, QVariant(), "b"}, {3, 2.5, "c"}});
    dataSet.fields[1].displayFormat = "#,##0.00";
    MemoryGrid grid(dataSet);
    grid.SetFooterRowCount(2);
    grid.Columns()[0].Footers = {Footer(fvtSum), Footer(fvtCount)};
    grid.Columns()[1].Footer.ValueType = fvtSum;  // used for both rows
    grid.Columns()[2].Footers = {Footer(fvtStaticText, "合计"), Footer(fvtFieldValue)};
    int footerEvents = 0;
    grid.OnGetFooterParams = [&](TCustomRecordGrid&, int, int, TGridColumn&, QFont&, QColor&, Qt::Alignment&,
                                 TGridDrawState, QString&) { ++footerEvents; };
    RecordingExport::log.clear();
    QBuffer buffer;
    WriteGridToExportStream(ExportClass<RecordingExport>(), grid, buffer, true);
    QCOMPARE(RecordingExport::log.mid(5, 6), (QStringList{"footer 0 6", "footer 0 3.75", "footer 0 合计", "footer 1 3",
                                                          "footer 1 3.75", "footer 1 c"}));
    QCOMPARE(footerEvents, 6);
    // The writer puts sums and counts as numbers, the rest as text, in the two last rows.
    const QByteArray bytes = ExportBytes(grid);
    QByteArray tail = QByteArray::fromHex("03 02 0E 00 04 00 00 00 00 00") + QByteArray::fromHex("0000000000001840") +
                      QByteArray::fromHex("03 02 0E 00 04 00 01 00 00 00") + QByteArray::fromHex("0000000000000E40") +
                      QByteArray::fromHex("04 02 0C 00 04 00 02 00 00 00 04 00 BA CF BC C6") +
                      QByteArray::fromHex("03 02 0E 00 05 00 00 00 00 00") + QByteArray::fromHex("0000000000000840");
    QVERIFY2(bytes.contains(tail), bytes.toHex(' '));
}

void GridExportTest::failsOnShortWrites()
{
    MemoryDataset dataSet = MeasurementRecords(kReadings);
    MemoryGrid grid(dataSet);
    const qint64 whole = ExportBytes(grid).size();
    for (qint64 limit : {qint64(0), whole - 1}) {
        ShortDevice device(limit);
        try {
            WriteGridToExportStream(ExportClass<TGridExportAsXLS>(), grid, device, true);
            QFAIL("a short write went unnoticed");
        } catch (const PlatformError& error) {
            QCOMPARE(error.Text(), QStringLiteral("Stream write error"));
        }
    }
}

void GridExportTest::neverWrapsRows()
{
    QList<QVariantList> rows(TGridExportAsXLS::MaxRows - 1, QVariantList{1});
    MemoryDataset dataSet({Field("n", TFieldType::ftInteger)}, rows);
    MemoryGrid grid(dataSet);
    QCOMPARE(TGridExportAsXLS::MaxRecords(grid), dataSet.RecordCount());
    const QList<QPair<int, int>> records = RecordsOf(ExportBytes(grid));
    QCOMPARE(records[records.size() - 2].second, TGridExportAsXLS::MaxRows - 1);
    dataSet.rows.append(QVariantList{1});
    QVERIFY_THROWS_EXCEPTION(PlatformError, ExportBytes(grid));
}

void GridExportTest::cutsLongTextAtCharacters()
{
    const int max = TGridExportAsXLS::MaxLabelBytes;
    QCOMPARE(TGridExportAsXLS::LabelBytes(QString(max, 'a')).size(), max);
    QCOMPARE(TGridExportAsXLS::LabelBytes(QString(max + 1, 'a')).size(), max);
    // An odd limit falls inside the last two-byte character: it goes whole.
    const QByteArray cut = TGridExportAsXLS::LabelBytes(QString(max, u'合'));
    QCOMPARE(cut.size(), max - 1);
    QCOMPARE(base::FromAnsi(cut), QString((max - 1) / 2, u'合'));
    QCOMPARE(TGridExportAsXLS::LabelBytes("a" + QString(max, u'合')).size(), max);
}

void GridExportTest::replacesFilesOnlyOnSuccess_data()
{
    QTest::addColumn<QString>("target");  // in the temporary folder
    QTest::addColumn<bool>("oldFile");
    QTest::addColumn<int>("failingRow");
    QTest::addColumn<QString>("error");
    QTest::newRow("replaces the old file whole") << "a.xls" << true << -1 << "";
    QTest::newRow("creates a new file") << "a.xls" << false << -1 << "";
    QTest::newRow("read error keeps the old file") << "a.xls" << true << 1 << "read failed";
    QTest::newRow("read error leaves no new file") << "a.xls" << false << 1 << "read failed";
    QTest::newRow("folder missing") << "nosuch/a.xls" << false << -1 << "Cannot create file %1";
    QTest::newRow("target is a folder") << "folder.xls" << false << -1 << "Cannot create file %1";
}

void GridExportTest::replacesFilesOnlyOnSuccess()
{
    QFETCH(QString, target);
    QFETCH(bool, oldFile);
    QFETCH(int, failingRow);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.xls"));
    const QString path = dir.filePath(target);
    const QByteArray old(100000, 'o');
    if (oldFile) WriteFile(path, old);
    MemoryDataset dataSet = MeasurementRecords(kReadings);
    MemoryGrid grid(dataSet);
    const QByteArray expected = ExportBytes(grid);
    dataSet.failReadingRow = failingRow;
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    try {
        SaveGridToExportFile(ExportClass<TGridExportAsXLS>(), grid, path, true);
        QVERIFY(error.isEmpty());
        QCOMPARE(ReadFile(path), expected);
    } catch (const PlatformError& caught) {
        QCOMPARE(caught.Text(), QString(error).replace("%1", path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        if (oldFile) QCOMPARE(ReadFile(path), old);
    }
}

// A save onto a full disk names the file and the system's cause; the old file stays.
void GridExportTest::reportsAFullDisk()
{
    QTemporaryDir dir;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", dir.path()}) != 0)
        QSKIP("a small file system needs mount (root)");
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {dir.path()}); });
    const QString path = dir.filePath("a.xls");
    WriteFile(path, "old");
    QFile ballast(dir.filePath("ballast"));
    QVERIFY(ballast.open(QIODevice::WriteOnly));
    while (ballast.write(QByteArray(1024, 'b')) == 1024 && ballast.flush()) {}
    QList<QVariantList> rows(2000, QVariantList{1, "A0017", "2026-12-10", "R", "1.2345Ω", "PASS"});
    MemoryDataset dataSet = MeasurementRecords(rows);
    MemoryGrid grid(dataSet);
    try {
        SaveGridToExportFile(ExportClass<TGridExportAsXLS>(), grid, path, true);
        QFAIL("a full disk went unnoticed");
    } catch (const PlatformError& error) {
        QCOMPARE(error.Text(), QStringLiteral("Cannot write file %1: No space left on device").arg(path));
    }
    QCOMPARE(ReadFile(path), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"a.xls", "ballast"}));
}

void GridExportTest::readsBackWithXlrd()
{
    const QString python = PythonWithXlrd();
    if (python.isEmpty()) QSKIP("python3 with xlrd (Debian package python3-xlrd) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath("records.xls");
    MemoryDataset dataSet = MeasurementRecords(kReadings);
    MemoryGrid grid(dataSet);
    SaveGridToExportFile(ExportClass<TGridExportAsXLS>(), grid, path, true);
    QProcess reader;
    reader.start(
        python,
        {"-c",
         "import sys, json, xlrd\n"
         "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
         "print(json.dumps([[s.cell(r, c).value if s.cell(r, c).ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK) "
         "else None for c in range(s.ncols)] for r in range(s.nrows)]))",
         path});
    QVERIFY(reader.waitForFinished());
    QCOMPARE(reader.exitCode(), 0);
    const QJsonArray sheet = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
    QCOMPARE(sheet.size(), 1 + kReadings.size());
    for (int c = 0; c < dataSet.fields.size(); ++c) QCOMPARE(sheet[0][c].toString(), dataSet.fields[c].name);
    for (int r = 0; r < kReadings.size(); ++r) {
        QCOMPARE(sheet[r + 1][0].toDouble(), kReadings[r][0].toDouble());
        for (int c = 1; c < dataSet.fields.size(); ++c) {
            QCOMPARE(sheet[r + 1][c].toString(), kReadings[r][c].toString());
            QCOMPARE(sheet[r + 1][c].isNull(), kReadings[r][c].isNull());
        }
    }
}

void GridExportTest::readsBackWithLibreOffice()
{
    const QString office = QStandardPaths::findExecutable("libreoffice");
    if (office.isEmpty()) QSKIP("LibreOffice (libreoffice-calc-nogui) is not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath("records.xls");
    MemoryDataset dataSet = MeasurementRecords(kReadings);
    MemoryGrid grid(dataSet);
    SaveGridToExportFile(ExportClass<TGridExportAsXLS>(), grid, path, true);
    QProcess converter;
    // A private profile, so a running LibreOffice of the user is not disturbed.
    converter.start(office, {"-env:UserInstallation=file://" + dir.filePath("profile"), "--headless", "--convert-to",
                             "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.path(), path});
    QVERIFY(converter.waitForFinished(120000));
    QStringList lines = QString::fromUtf8(ReadFile(dir.filePath("records.csv"))).split('\n', Qt::SkipEmptyParts);
    QStringList expected{"编号,工号,日期,符号,测试数据,分选结果"};
    for (const QVariantList& row : kReadings) {
        QStringList cells;
        for (const QVariant& cell : row) cells << cell.toString();
        expected << cells.join(',');
    }
    QCOMPARE(lines, expected);
}

QTEST_GUILESS_MAIN(GridExportTest)
#include "test_grid_export.moc"
