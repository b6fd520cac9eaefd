#pragma once

#include <QByteArray>
#include <QString>

#include "import/sheet_builder.h"

// The readers behind ReadSheetFile. Each puts the first visible worksheet's cells into `builder`
// and returns an empty text, or returns why the file cannot be read (the builder is then to be
// thrown away).
enum class ZipWorkbook { Xlsx, Ods };
QString ReadZipWorkbook(const QByteArray& data, ZipWorkbook kind, SheetBuilder& builder);
// Whether a zip archive is an OpenDocument spreadsheet rather than an Office Open XML workbook.
bool IsOpenDocumentArchive(const QByteArray& data);
QString ReadXlsWorkbook(const QByteArray& data, SheetBuilder& builder);
QString ReadCsvText(const QByteArray& data, SheetBuilder& builder);
// A file that holds text, whatever its extension (`suffix`, in lower case): an HTML table, a
// SpreadsheetML 2003 workbook, or comma-, semicolon- or tab-separated text.
QString ReadTextSheet(const QByteArray& data, const QString& suffix, SheetBuilder& builder);
// The first table of an HTML page, in the encoding its byte-order mark or meta tag names.
QString ReadHtmlTable(const QByteArray& data, SheetBuilder& builder);
// The first visible worksheet of a SpreadsheetML 2003 (XML) workbook.
QString ReadSpreadsheetXml(const QByteArray& data, SheetBuilder& builder);

// The reasons, as the import window shows them after "无法读取文件：".
namespace sheet_error {
inline const QString kCannotOpen = QStringLiteral("文件不存在或不能打开");
inline const QString kNotAFile = QStringLiteral("这不是普通文件，而是文件夹、管道或设备");
inline const QString kEmptyFile = QStringLiteral("文件是空的");
inline const QString kTooBig = QStringLiteral("文件太大");
inline const QString kDamaged = QStringLiteral("文件已损坏，或不是它的扩展名所说的表格文件");
inline const QString kEncrypted = QStringLiteral("文件有密码保护，请先在表格软件中取消密码再导入");
inline const QString kUnsupported =
    QStringLiteral("不支持这种文件，请选择 .xls、.xlsx、.ods 或 .csv 文件");
inline const QString kNoSheet = QStringLiteral("文件中没有工作表");
inline const QString kEmptySheet = QStringLiteral("第一个工作表是空的");
inline const QString kTooLong = QStringLiteral("工作表超过 1048576 行");
inline const QString kTooMuchText = QStringLiteral("工作表的文字超过 1 亿个字符");
inline const QString kUnknownEncoding =
    QStringLiteral("文件的文字既不是 UTF-8 也不是 GB18030 编码");
inline const QString kNoTable = QStringLiteral("网页文件中没有表格");
// Why a cell cannot be read, after "第3行第5列是".
inline const QString kFormulaWithoutResult = QStringLiteral("公式，无法读取其结果");
}  // namespace sheet_error
