#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <functional>
#include <optional>
#include <set>
#include <tuple>

#include "ui/fonts.h"
#include "ui/grid.h"
#include "ui/grid_model.h"
#include "ui/grid_row_source.h"

using ui::BorderStyle;
using ui::CellFormat;
using ui::Grid;
using ui::GridEdge;
using ui::GridRange;

namespace {

long RssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

// A list as the reminder window sets it up, with `rows` data rows "r<row>c<col>".
void SetUpList(Grid& grid, int rows, int cols = 4) {
    grid.setCols(cols);
    grid.setRows(1);
    for (int col = 1; col < cols; ++col) {
        grid.setCellText(0, col, QStringLiteral("标题%1").arg(col));
    }
    for (int row = 1; row <= rows; ++row) {
        grid.setRows(grid.rows() + 1);
        for (int col = 0; col < cols; ++col) {
            grid.setCellText(row, col, QStringLiteral("r%1c%2").arg(row).arg(col));
        }
    }
}

// A grid whose model is checked against the item-model rules after every change it
// announces, so a wrong row count or a stale index fails the test that caused it.
class CheckedGrid : public Grid {
public:
    CheckedGrid() : tester_(gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest) {}

private:
    QAbstractItemModelTester tester_;
};

// Rows made up as they are asked for, counting the asks and the pages handed over.
class MadeUpRows : public ui::GridRowSource {
public:
    QString text(int row, int col) override {
        ++asked;
        const int page = (row - 1) / 100;
        if (watcher_ && shown.insert(page).second) {
            watcher_([&](const PageTexts& texts) {
                for (int r = page * 100 + 1; r <= page * 100 + 100; ++r) {
                    const QByteArray text = made(r, 1).toUtf8();
                    texts(r, 1, text);
                }
            });
        }
        return made(row, col);
    }
    void watchPages(PageWatcher watcher) override { watcher_ = std::move(watcher); }
    static QString made(int row, int col) {
        // One row far down is much wider than the rest.
        return row == 90050 && col == 1 ? QStringLiteral("一行很长很长很长很长的文字")
                                        : QStringLiteral("r%1c%2").arg(row).arg(col);
    }

    int asked = 0;
    std::set<int> shown;

private:
    PageWatcher watcher_;
};

QPoint CellCentre(const Grid& grid, int row, int col) {
    return grid.visualRect(grid.gridModel()->index(row, col)).center();
}

}  // namespace

class TestGrid : public QObject {
    Q_OBJECT
private slots:
    void rowCount();
    void rowSource();
    void cellText_data();
    void cellText();
    void removeRow_data();
    void removeRow();
    void removingKeepsCurrentRowNumber();
    void insertAndRemoveColumn();
    void hiddenColumnIsSkipped();
    void editable_data();
    void editable();
    void alignmentCodes_data();
    void alignmentCodes();
    void alignmentPrecedence();
    void checkBoxKind_data();
    void checkBoxKind();
    void formatsRoundTrip();
    void borders_data();
    void borders();
    void merges();
    void autoRedrawBatching();
    void modelContract_data();
    void modelContract();
    void currentCellChanged();
    void rowDoubleClicked();
    void mouseButton_data();
    void mouseButton();
    void contextMenuKey();
    void screenFont_data();
    void screenFont();
    void looksRight();
    void cellsUseTheGridFont();
    void columnsWidenToTheirTexts();
    void columnsFitEveryTextOfAShape();
};

void TestGrid::rowCount() {
    CheckedGrid grid;
    SetUpList(grid, 20, 10);
    QCOMPARE(grid.rows(), 21);
    QCOMPARE(grid.gridModel()->rowCount(), 21);

    grid.setRows(1);
    QCOMPARE(grid.rows(), 1);
    QCOMPARE(grid.cellText(0, 3), QStringLiteral("标题3"));

    grid.setRows(grid.rows() + 1);
    QCOMPARE(grid.rows(), 2);
    QCOMPARE(grid.cellText(1, 3), QString());  // no text comes back from the earlier fill
    QCOMPARE(grid.gridModel()->store().storedRowCount(), 1);

    grid.setRows(0);
    QCOMPARE(grid.rows(), 1);
}

// A grid over 100,000 rows it does not hold: it asks only for what it shows, widens a column
// when a page brings a wider text into view, and lets go of the source when rows are set.
void TestGrid::rowSource() {
    CheckedGrid grid;
    SetUpList(grid, 3, 3);
    grid.resize(400, 300);
    grid.show();
    MadeUpRows rows;
    grid.setRowSource(&rows, 100000);
    QCOMPARE(grid.rows(), 100001);
    QCOMPARE(grid.cellText(0, 1), QStringLiteral("标题1"));
    QCOMPARE(grid.cellText(100000, 2), QStringLiteral("r100000c2"));
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QVERIFY(rows.asked < 1000);

    const int narrow = grid.columnWidth(1);
    grid.setCurrentCell(90050, 1);
    QTRY_VERIFY(grid.columnWidth(1) > narrow);
    QVERIFY(grid.columnWidth(1) >= grid.widthForText(MadeUpRows::made(90050, 1)));
    QCOMPARE(grid.currentRow(), 90050);
    QVERIFY(rows.shown.size() < 10);

    grid.setRows(3);
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.cellText(2, 1), QString());
    QCOMPARE(grid.gridModel()->rowSource(), nullptr);
}

void TestGrid::cellText_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("text");

    QTest::newRow("heading") << 0 << 2 << QStringLiteral("车主姓名");
    QTest::newRow("hidden key column") << 3 << 0 << QStringLiteral("000123");
    QTest::newRow("quotes") << 2 << 1 << QStringLiteral("O'Brien \"老王\"");
    QTest::newRow("percent and backslash") << 1 << 3 << QStringLiteral("50% C:\\temp\\");
    QTest::newRow("spaces kept") << 4 << 2 << QStringLiteral("  粤B 12345  ");
    QTest::newRow("line break and emoji") << 4 << 3 << QStringLiteral("第一行\n第二行 🚗");
}

void TestGrid::cellText() {
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, text);

    CheckedGrid grid;
    grid.setCols(4);
    grid.setRows(5);
    grid.setCellText(row, col, text);
    QCOMPARE(grid.cellText(row, col), text);
    QCOMPARE(grid.gridModel()->index(row, col).data().toString(), text);
    if (row == 0) {
        QCOMPARE(grid.gridModel()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString(),
                 text);
    }

    // Outside the grid nothing is stored and nothing is read.
    grid.setCellText(5, col, text);
    grid.setCellText(row, 4, text);
    grid.setCellText(-1, col, text);
    QCOMPARE(grid.cellText(5, col), QString());
    QCOMPARE(grid.cellText(row, 4), QString());

    // Clearing the text gives the row's storage back.
    grid.setCellText(row, col, QString());
    QCOMPARE(grid.cellText(row, col), QString());
    QCOMPARE(grid.gridModel()->store().storedRowCount(), 0);
}

void TestGrid::removeRow_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("removed");

    QTest::newRow("first data row") << 10 << 1;
    QTest::newRow("middle") << 10 << 5;
    QTest::newRow("last") << 10 << 9;
    QTest::newRow("ten million, near the top") << 10'000'000 << 2;
    QTest::newRow("ten million, last") << 10'000'000 << 9'999'999;
}

void TestGrid::removeRow() {
    QFETCH(int, rows);
    QFETCH(int, removed);

    Grid grid;
    // The model tester walks every cell after each change, which ten million rows cannot afford.
    std::optional<QAbstractItemModelTester> tester;
    if (rows <= 1000) {
        tester.emplace(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    grid.setCols(3);
    const long rssBefore = RssKb();
    QElapsedTimer timer;
    timer.start();
    grid.setRows(rows);
    const qint64 setRowsMs = timer.elapsed();
    const long rssAfter = RssKb();
    const std::vector<int> marked = {1, 2, 3, removed - 1, removed, removed + 1, rows - 1};
    for (int row : marked) {
        grid.setCellText(row, 1, QString::number(row));
    }
    timer.restart();
    grid.removeRow(removed);
    const qint64 removeMs = timer.elapsed();
    if (rows > 1'000'000) {
        qInfo("setRows(%d): %lld ms, RSS %ld -> %ld KiB; removeRow: %lld ms", rows, setRowsMs,
              rssBefore, rssAfter, removeMs);
    }

    QCOMPARE(grid.rows(), rows - 1);
    QCOMPARE(grid.gridModel()->rowCount(), rows - 1);
    for (int row : marked) {
        if (row == removed || row <= 0 || row >= rows) {
            continue;
        }
        const int now = row > removed ? row - 1 : row;
        QCOMPARE(grid.cellText(now, 1), QString::number(row));
    }
    if (removed < rows - 1) {
        QCOMPARE(grid.cellText(removed, 1), QString::number(removed + 1));
    }
    QCOMPARE(grid.cellText(rows - 1, 1), QString());
    QVERIFY(grid.gridModel()->store().storedRowCount() <= static_cast<int>(marked.size()));

    // The heading row cannot be removed.
    grid.removeRow(0);
    QCOMPARE(grid.rows(), rows - 1);
}

void TestGrid::removingKeepsCurrentRowNumber() {
    CheckedGrid grid;
    SetUpList(grid, 5);
    grid.setCurrentCell(3, 2);
    QSignalSpy changed(&grid, &Grid::currentCellChanged);

    grid.removeRow(3);  // the row below moves up into the current place
    QCOMPARE(grid.currentRow(), 3);
    QCOMPARE(grid.currentCol(), 2);
    QCOMPARE(grid.cellText(3, 1), QStringLiteral("r4c1"));

    grid.removeRow(1);  // a row above the current one: the number stays
    QCOMPARE(grid.currentRow(), 3);
    QCOMPARE(grid.cellText(3, 1), QStringLiteral("r5c1"));

    grid.removeRow(3);  // the last row: no row is current any more
    QCOMPARE(grid.currentRow(), 0);
    QVERIFY(!grid.currentIndex().isValid());
    QCOMPARE(changed.count(), 0);
}

void TestGrid::insertAndRemoveColumn() {
    CheckedGrid grid;
    SetUpList(grid, 3);
    grid.setColumnWidth(2, 90);
    grid.setColumnLocked(2, true);
    grid.mergeCells({1, 2, 2, 3});

    grid.insertColumn(1);
    QCOMPARE(grid.cols(), 5);
    QCOMPARE(grid.cellText(2, 1), QString());
    QCOMPARE(grid.cellText(2, 3), QStringLiteral("r2c2"));
    QCOMPARE(grid.cellText(0, 3), QStringLiteral("标题2"));
    QCOMPARE(grid.columnWidth(3), 90);
    QCOMPARE(grid.QTableView::columnWidth(3), 90);
    QVERIFY(grid.isColumnLocked(3));
    QVERIFY(!grid.isColumnLocked(2));
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{1, 3, 2, 4}}));

    grid.removeColumn(3);
    QCOMPARE(grid.cols(), 4);
    QCOMPARE(grid.cellText(2, 3), QStringLiteral("r2c3"));
    QVERIFY(!grid.isColumnLocked(3));
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{1, 3, 2, 3}}));
}

void TestGrid::hiddenColumnIsSkipped() {
    CheckedGrid grid;
    SetUpList(grid, 3, 5);
    grid.setColumnWidth(0, 0);
    grid.setColumnWidth(2, 0);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QVERIFY(grid.isColumnHidden(2));
    QCOMPARE(grid.columnWidth(2), 0);

    grid.setCurrentCell(1, 1);
    QTest::keyClick(&grid, Qt::Key_Right);
    QCOMPARE(grid.currentCol(), 3);
    QTest::keyClick(&grid, Qt::Key_Home);
    QCOMPARE(grid.currentCol(), 1);

    grid.setColumnWidth(2, 50);
    QVERIFY(!grid.isColumnHidden(2));
    QCOMPARE(grid.QTableView::columnWidth(2), 50);
}

void TestGrid::editable_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("editable");

    // Column 2 is locked, column 3 is a check box column, cell (2,1) is locked by its format.
    QTest::newRow("plain data cell") << 1 << 1 << true;
    QTest::newRow("locked column") << 1 << 2 << false;
    QTest::newRow("check box column") << 1 << 3 << false;
    QTest::newRow("locked cell") << 2 << 1 << false;
    QTest::newRow("heading row") << 0 << 1 << false;
    QTest::newRow("leading column") << 1 << 0 << false;
}

void TestGrid::editable() {
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, editable);

    CheckedGrid grid;
    SetUpList(grid, 2);
    grid.setColumnLocked(2, true);
    grid.setColumnCellKind(3, 2);
    grid.formatCells({2, 1, 2, 1}, [](CellFormat& f) { f.locked = true; });

    ui::GridModel* model = grid.gridModel();
    const QModelIndex index = model->index(row, col);
    QCOMPARE(model->flags(index).testFlag(Qt::ItemIsEditable), editable);
    QVERIFY(model->flags(index).testFlag(Qt::ItemIsSelectable));
    const QString before = grid.cellText(row, col);
    QCOMPARE(model->setData(index, QStringLiteral("改"), Qt::EditRole), editable);
    QCOMPARE(grid.cellText(row, col), editable ? QStringLiteral("改") : before);
}

void TestGrid::alignmentCodes_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("alignment");

    const int left = Qt::AlignLeft, centre = Qt::AlignHCenter, right = Qt::AlignRight;
    const int top = Qt::AlignTop, middle = Qt::AlignVCenter, bottom = Qt::AlignBottom;
    QTest::newRow("5") << 5 << (left | top);
    QTest::newRow("6") << 6 << (left | middle);
    QTest::newRow("7") << 7 << (left | bottom);
    QTest::newRow("9") << 9 << (centre | top);
    QTest::newRow("10") << 10 << (centre | middle);
    QTest::newRow("11") << 11 << (centre | bottom);
    QTest::newRow("13") << 13 << (right | top);
    QTest::newRow("14") << 14 << (right | middle);
    QTest::newRow("15") << 15 << (right | bottom);
    for (int code : {-1, 0, 4, 8, 12, 16}) {
        QTest::newRow(qPrintable(QStringLiteral("unknown %1").arg(code)))
            << code << (left | middle);
    }
}

void TestGrid::alignmentCodes() {
    QFETCH(int, code);
    QFETCH(int, alignment);
    QCOMPARE(static_cast<int>(ui::AlignmentFromCode(code)), alignment);
}

void TestGrid::alignmentPrecedence() {
    CheckedGrid grid;
    SetUpList(grid, 2);
    const auto alignment = [&](int row, int col) {
        return grid.gridModel()->index(row, col).data(Qt::TextAlignmentRole).toInt();
    };
    QCOMPARE(alignment(0, 1), int(Qt::AlignCenter));
    QCOMPARE(alignment(1, 1), int(Qt::AlignLeft | Qt::AlignVCenter));

    grid.setColumnAlignment(1, 14);
    grid.setHeadingAlignment(1, 5);
    QCOMPARE(alignment(1, 1), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(alignment(0, 1), int(Qt::AlignLeft | Qt::AlignTop));

    grid.setCellAlignment(2, 1, 11);
    QCOMPARE(alignment(2, 1), int(Qt::AlignHCenter | Qt::AlignBottom));
    QCOMPARE(alignment(1, 1), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(grid.cellFormat(2, 1).alignment, 11);
}

void TestGrid::checkBoxKind_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");

    QTest::newRow("1") << QStringLiteral("1") << int(Qt::Checked);
    QTest::newRow("0") << QStringLiteral("0") << int(Qt::Unchecked);
    QTest::newRow("empty") << QString() << int(Qt::Unchecked);
    QTest::newRow("other text") << QStringLiteral("是") << int(Qt::Unchecked);
    QTest::newRow("1 with space") << QStringLiteral(" 1") << int(Qt::Unchecked);
}

void TestGrid::checkBoxKind() {
    QFETCH(QString, text);
    QFETCH(int, state);

    CheckedGrid grid;
    SetUpList(grid, 1);
    grid.setColumnCellKind(1, 2);
    grid.setCellText(1, 1, text);
    const QModelIndex cell = grid.gridModel()->index(1, 1);
    QCOMPARE(cell.data(Qt::CheckStateRole).toInt(), state);
    QCOMPARE(grid.cellText(1, 1), text);
    QVERIFY(!grid.gridModel()->flags(cell).testFlag(Qt::ItemIsUserCheckable));
    QVERIFY(!grid.gridModel()->index(0, 1).data(Qt::CheckStateRole).isValid());
    QVERIFY(!grid.gridModel()->index(1, 2).data(Qt::CheckStateRole).isValid());
}

void TestGrid::formatsRoundTrip() {
    CheckedGrid grid;
    grid.setCols(12);
    grid.setRows(201);
    CellFormat wanted;
    wanted.bold = wanted.italic = wanted.underline = wanted.wrap = wanted.locked = true;
    wanted.fontName = ui::ChineseFamily();
    wanted.fontSize = 14;
    wanted.textColor = QColor(200, 0, 0);
    wanted.backColor = QColor(255, 255, 200);
    wanted.alignment = 10;
    grid.formatCells({200, 10, 1, 1}, [&](CellFormat& f) { f = wanted; });

    QCOMPARE(grid.cellFormat(1, 1), wanted);
    QCOMPARE(grid.cellFormat(200, 10), wanted);
    QCOMPARE(grid.cellFormat(1, 11), CellFormat());
    QCOMPARE(grid.cellFormat(201, 1), CellFormat());
    // Two thousand cells share one stored format.
    QCOMPARE(grid.gridModel()->store().formatCount(), 2);

    const QModelIndex cell = grid.gridModel()->index(5, 5);
    const QFont font = cell.data(Qt::FontRole).value<QFont>();
    QVERIFY(font.bold() && font.italic() && font.underline());
    QCOMPARE(font.pointSizeF(), 14.0);
    QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color(), wanted.backColor);
    QCOMPARE(cell.data(Qt::ForegroundRole).value<QBrush>().color(), wanted.textColor);

    // Changing one attribute keeps the others.
    grid.formatCells({1, 1, 1, 1}, [](CellFormat& f) { f.bold = false; });
    CellFormat expected = wanted;
    expected.bold = false;
    QCOMPARE(grid.cellFormat(1, 1), expected);
    QCOMPARE(grid.cellFormat(1, 2), wanted);

    // Going back to the plain format frees the rows again.
    grid.formatCells({1, 1, 200, 10}, [](CellFormat& f) { f = CellFormat(); });
    QCOMPARE(grid.gridModel()->store().storedRowCount(), 0);
}

using Sides = std::set<std::tuple<int, int, char>>;
Q_DECLARE_METATYPE(Sides)

void TestGrid::borders_data() {
    QTest::addColumn<GridEdge>("edge");
    QTest::addColumn<Sides>("sides");

    // The range is rows 2-3, columns 1-3.
    QTest::newRow("left") << GridEdge::Left << Sides{{2, 1, 'l'}, {3, 1, 'l'}};
    QTest::newRow("top") << GridEdge::Top << Sides{{2, 1, 't'}, {2, 2, 't'}, {2, 3, 't'}};
    QTest::newRow("right") << GridEdge::Right << Sides{{2, 3, 'r'}, {3, 3, 'r'}};
    QTest::newRow("bottom") << GridEdge::Bottom << Sides{{3, 1, 'b'}, {3, 2, 'b'}, {3, 3, 'b'}};
    QTest::newRow("inside vertical")
        << GridEdge::InsideVertical << Sides{{2, 1, 'r'}, {2, 2, 'r'}, {3, 1, 'r'}, {3, 2, 'r'}};
    QTest::newRow("inside horizontal")
        << GridEdge::InsideHorizontal << Sides{{2, 1, 'b'}, {2, 2, 'b'}, {2, 3, 'b'}};
}

void TestGrid::borders() {
    QFETCH(GridEdge, edge);
    QFETCH(Sides, sides);

    CheckedGrid grid;
    grid.setCols(5);
    grid.setRows(6);
    grid.setCellsBorder({3, 3, 2, 1}, edge, BorderStyle::Thick);
    Sides found;
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 5; ++col) {
            const CellFormat f = grid.cellFormat(row, col);
            const std::pair<BorderStyle, char> edges[] = {
                {f.left, 'l'}, {f.top, 't'}, {f.right, 'r'}, {f.bottom, 'b'}};
            for (const auto& [style, side] : edges) {
                if (style != BorderStyle::None) {
                    QCOMPARE(style, BorderStyle::Thick);
                    found.insert({row, col, side});
                }
            }
        }
    }
    QCOMPARE(found, sides);

    grid.setCellsBorder({2, 1, 3, 3}, edge, BorderStyle::None);
    QCOMPARE(grid.gridModel()->store().storedRowCount(), 0);
}

void TestGrid::merges() {
    CheckedGrid grid;
    SetUpList(grid, 6, 5);
    grid.mergeCells({3, 3, 2, 1});  // corners in any order
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{2, 1, 3, 3}}));
    QCOMPARE(grid.rowSpan(2, 1), 2);
    QCOMPARE(grid.columnSpan(2, 1), 3);

    // The merged cell is drawn from its top-left cell with the far edges' borders.
    grid.setCellsBorder({2, 1, 3, 3}, GridEdge::Right, BorderStyle::Thin);
    const int packed = grid.gridModel()->index(2, 1).data(ui::GridModel::BordersRole).toInt();
    QCOMPARE(ui::GridModel::borderOf(packed, GridEdge::Right), BorderStyle::Thin);

    // A merge overlapping an older one replaces it.
    grid.mergeCells({3, 2, 5, 2});
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{3, 2, 5, 2}}));
    QCOMPARE(grid.rowSpan(2, 1), 1);
    QCOMPARE(grid.rowSpan(3, 2), 3);

    // Rows removed inside a merge shrink it; rows above move it.
    grid.removeRow(4);
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{3, 2, 4, 2}}));
    grid.removeRow(1);
    QCOMPARE(grid.mergedRanges(), std::vector<GridRange>({{2, 2, 3, 2}}));
    QCOMPARE(grid.rowSpan(2, 2), 2);

    grid.unmergeCells({3, 2, 3, 2});
    QVERIFY(grid.mergedRanges().empty());
    QCOMPARE(grid.rowSpan(2, 2), 1);

    // Headings merge across columns; the hidden heading row gets no body span.
    grid.mergeCells({0, 1, 0, 3});
    QCOMPARE(grid.mergedRanges().size(), size_t(1));
    QCOMPARE(grid.columnSpan(0, 1), 1);
    QCOMPARE(grid.columnSpan(1, 1), 1);
}

void TestGrid::autoRedrawBatching() {
    const auto fill = [](Grid& grid) {
        grid.setRows(1);
        grid.setRowHeight(0, 30);
        for (int row = 1; row <= 300; ++row) {
            grid.setRows(grid.rows() + 1);
            grid.setCellText(row, 0, QString::number(row));
            grid.setCellText(row, 2, QStringLiteral("客户%1").arg(row));
        }
        grid.setRowHeight(5, 40);
        grid.setRowHeight(7, 35);
        grid.removeRow(6);  // the 35-pixel row moves up to 6
        grid.insertRow(2);  // and both move down one
        grid.setColumnWidth(1, 0);
        grid.setColumnWidth(2, 120);
        grid.mergeCells({10, 2, 11, 3});
        grid.formatCells({3, 3, 3, 3}, [](CellFormat& f) { f.bold = true; });
    };

    CheckedGrid live;
    CheckedGrid batched;
    for (Grid* grid : {&live, &batched}) {
        SetUpList(*grid, 10);
        grid->setCurrentCell(4, 2);
    }
    fill(live);

    ui::GridModel* model = batched.gridModel();
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);
    QSignalSpy current(&batched, &Grid::currentCellChanged);
    batched.setAutoRedraw(false);
    fill(batched);
    QCOMPARE(changed.count() + inserted.count() + removed.count() + reset.count(), 0);
    QCOMPARE(model->rowCount(), 11);  // the views still see the old table
    batched.refresh();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(current.count(), 0);

    QCOMPARE(batched.rows(), live.rows());
    QCOMPARE(model->rowCount(), live.rows());
    for (int row = 0; row < live.rows(); ++row) {
        QCOMPARE(batched.rowHeight(row), live.rowHeight(row));
        if (row > 0) {
            QCOMPARE(batched.QTableView::rowHeight(row), live.QTableView::rowHeight(row));
        }
        for (int col = 0; col < live.cols(); ++col) {
            QCOMPARE(batched.cellText(row, col), live.cellText(row, col));
            QCOMPARE(batched.cellFormat(row, col), live.cellFormat(row, col));
        }
    }
    QCOMPARE(batched.QTableView::rowHeight(6), 40);
    QCOMPARE(batched.QTableView::rowHeight(7), 35);
    QCOMPARE(batched.horizontalHeader()->height(), 30);
    QVERIFY(batched.isRowHidden(0));
    QVERIFY(batched.isColumnHidden(1));
    QCOMPARE(batched.QTableView::columnWidth(2), 120);
    QCOMPARE(batched.mergedRanges(), live.mergedRanges());
    QCOMPARE(batched.rowSpan(10, 2), 2);
    QCOMPARE(batched.currentRow(), live.currentRow());

    // The current cell keeps its number through a batch that leaves it standing.
    batched.setAutoRedraw(false);
    batched.setCurrentCell(8, 2);
    batched.removeRow(3);
    QCOMPARE(batched.currentRow(), 8);
    batched.setAutoRedraw(true);
    QCOMPARE(batched.currentIndex(), model->index(8, 2));
    QCOMPARE(current.count(), 1);
}

void TestGrid::modelContract_data() {
    QTest::addColumn<bool>("autoRedraw");

    QTest::newRow("auto-redraw") << true;
    QTest::newRow("batched, published after each step") << false;
}

void TestGrid::modelContract() {
    QFETCH(bool, autoRedraw);

    ui::GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTableView view;  // a view reacting to the same signals, as in the program
    view.setModel(&model);
    model.setAutoRedraw(autoRedraw);
    const auto bold = [](CellFormat& f) { f.bold = true; };
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"more rows", [&] { model.setRows(8); }},
        {"more columns", [&] { model.setCols(5); }},
        {"heading text", [&] { model.setText(0, 2, QStringLiteral("车牌号")); }},
        {"body text", [&] { model.setText(3, 1, QStringLiteral("粤B 12345")); }},
        {"edited text",
         [&] { model.setData(model.index(4, 2), QStringLiteral("改"), Qt::EditRole); }},
        {"text outside", [&] { model.setText(8, 1, QStringLiteral("x")); }},
        {"row at the top", [&] { model.insertRow(1); }},
        {"row after the last", [&] { model.insertRow(model.store().rows()); }},
        {"row removed", [&] { model.removeRow(3); }},
        {"last row removed", [&] { model.removeRow(model.store().rows() - 1); }},
        {"leading column inserted", [&] { model.insertColumn(0); }},
        {"column after the last", [&] { model.insertColumn(model.store().cols()); }},
        {"column removed", [&] { model.removeColumn(2); }},
        {"cells merged",
         [&] {
             model.merge({4, 3, 2, 1});
         }},
        {"heading merged",
         [&] {
             model.merge({0, 1, 0, 3});
         }},
        {"formats around a merge",
         [&] {
             model.editFormats({1, 0, 5, 4}, bold);
         }},
        {"formats past the edge",
         [&] {
             model.editFormats({6, 3, 20, 20}, bold);
         }},
        {"row removed inside a merge", [&] { model.removeRow(3); }},
        {"unmerged",
         [&] {
             model.unmerge({2, 1, 2, 1});
         }},
        {"check box column", [&] { model.setColumnKind(2, 2); }},
        {"locked column", [&] { model.setColumnLocked(3, true); }},
        {"aligned column", [&] { model.setColumnAlignment(1, 14); }},
        {"aligned heading", [&] { model.setHeadingAlignment(1, 5); }},
        {"base font", [&] { model.setBaseFont(QFont(QStringLiteral("Tahoma"), 9)); }},
        {"fewer rows", [&] { model.setRows(3); }},
        {"fewer columns", [&] { model.setCols(2); }},
        {"heading row only", [&] { model.setRows(0); }},
        {"one column", [&] { model.setCols(0); }},
        {"rows again", [&] { model.setRows(4); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        model.publish();
        QVERIFY2(!QTest::currentTestFailed(), name);
        QVERIFY2(model.rowCount() == model.store().rows(), name);
        QVERIFY2(model.columnCount() == model.store().cols(), name);
    }
}

void TestGrid::currentCellChanged() {
    CheckedGrid grid;
    SetUpList(grid, 5);
    QSignalSpy changed(&grid, &Grid::currentCellChanged);

    grid.setCurrentCell(2, 3);
    QTest::keyClick(&grid, Qt::Key_Down);
    grid.setCurrentCell(3, 3);  // already there
    grid.setCurrentCell(0, 1);  // the heading row is never current
    grid.setCurrentCell(9, 1);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0), QVariantList({2, 3}));
    QCOMPARE(changed.at(1), QVariantList({3, 3}));
    QCOMPARE(grid.currentRow(), 3);
    QCOMPARE(grid.currentCol(), 3);
    QCOMPARE(grid.selection(), GridRange({3, 0, 3, 3}));  // whole rows are selected

    grid.setWholeRowSelection(false);
    grid.setSelection({4, 3, 2, 1});
    QCOMPARE(grid.selection(), GridRange({2, 1, 4, 3}));
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(changed.count(), 3);
}

void TestGrid::rowDoubleClicked() {
    CheckedGrid grid;
    SetUpList(grid, 5);
    for (int col = 0; col < grid.cols(); ++col) {
        grid.setColumnLocked(col, true);  // as in the list windows: no editor opens
    }
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QSignalSpy opened(&grid, &Grid::rowDoubleClicked);

    grid.selectionModel()->clearCurrentIndex();
    QTest::keyClick(&grid, Qt::Key_Return);  // no current row
    QCOMPARE(opened.count(), 0);
    // A real double click starts with a click; QTest sends only the second half.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 2, 1));
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, CellCentre(grid, 2, 1));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(grid.currentRow(), 2);
    QTest::keyClick(&grid, Qt::Key_Return);
    QTest::keyClick(&grid, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(opened.count(), 3);
    const QPoint belowRows(200, grid.viewport()->height() - 5);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, belowRows);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, belowRows);
    QCOMPARE(opened.count(), 3);
}

void TestGrid::mouseButton_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("shift");

    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers() << 2 << 0;
    QTest::newRow("left with shift")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << 1 << 1;
    QTest::newRow("middle with alt")
        << Qt::MiddleButton << Qt::KeyboardModifiers(Qt::AltModifier) << 4 << 4;
    QTest::newRow("right with ctrl and shift")
        << Qt::RightButton << (Qt::ControlModifier | Qt::ShiftModifier) << 2 << 3;
}

void TestGrid::mouseButton() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, code);
    QFETCH(int, shift);

    CheckedGrid grid;
    SetUpList(grid, 6);
    grid.resize(400, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentCell(1, 1);

    QList<int> seen;
    connect(&grid, &Grid::mouseButton, &grid, [&](int b, int s, int x, int y) {
        seen = {b, s, x, y, grid.currentRow()};
    });
    const QPoint pos = CellCentre(grid, 4, 2);
    QTest::mousePress(grid.viewport(), button, modifiers, pos);
    QTest::mouseRelease(grid.viewport(), button, modifiers, pos);
    const QPoint inGrid = grid.viewport()->mapTo(&grid, pos);
    // The handler already sees the row under the pointer as the current row.
    QCOMPARE(seen, QList<int>({code, shift, inGrid.x(), inGrid.y(), 4}));

    // A press on the heading row is reported too, in grid coordinates.
    const QPoint onHeading(20, 5);
    QTest::mousePress(grid.horizontalHeader()->viewport(), button, modifiers, onHeading);
    const QPoint headingInGrid = grid.horizontalHeader()->viewport()->mapTo(&grid, onHeading);
    QCOMPARE(seen.mid(0, 4), QList<int>({code, shift, headingInGrid.x(), headingInGrid.y()}));
}

void TestGrid::contextMenuKey() {
    CheckedGrid grid;
    SetUpList(grid, 4);
    grid.setCurrentCell(3, 1);
    QSignalSpy menu(&grid, &Grid::contextMenuRequested);

    QTest::keyClick(&grid, Qt::Key_Menu);
    QTest::keyClick(&grid, Qt::Key_F10, Qt::ShiftModifier);
    QTest::keyClick(&grid, Qt::Key_F10);
    QTest::keyClick(&grid, Qt::Key_F10, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(menu.count(), 2);
    QCOMPARE(menu.at(0).at(0).toInt(), 3);
    QCOMPARE(menu.at(1).at(0).toInt(), 3);
}

void TestGrid::screenFont_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<double>("shownSize");

    QTest::newRow("Tahoma") << QStringLiteral("Tahoma") << 10.0 << true << 10.0;
    QTest::newRow("small Chinese text grows to 9 pt")
        << QStringLiteral("Tahoma") << 8.0 << true << 9.0;
    QTest::newRow("宋体") << QStringLiteral("宋体") << 10.5 << true << 10.5;
    QTest::newRow("not installed") << QStringLiteral("No Such Family 42") << 12.0 << true << 12.0;
    QTest::newRow("installed") << QStringLiteral("DejaVu Sans") << 8.0 << false << 8.0;
}

void TestGrid::screenFont() {
    QFETCH(QString, name);
    QFETCH(double, size);
    QFETCH(bool, replaced);
    QFETCH(double, shownSize);
    if (!replaced && !QFontDatabase::hasFamily(name)) {
        QSKIP("family not installed here");
    }
    const QString chinese = ui::ChineseFamily();
    QVERIFY(QFontDatabase::writingSystems(chinese).contains(QFontDatabase::SimplifiedChinese));
    const QFont font = ui::ScreenFont(name, size);
    QCOMPARE(font.family(), replaced ? chinese : name);
    QCOMPARE(font.pointSizeF(), shownSize);
}

void TestGrid::looksRight() {
    CheckedGrid grid;
    grid.applyStandardLook();
    grid.setGridFont(QStringLiteral("Tahoma"), 8);
    SetUpList(grid, 6, 5);
    grid.setRowHeight(0, 30);
    grid.setColumnWidth(0, 0);
    grid.setColumnCellKind(1, 2);
    grid.setCellText(2, 1, QStringLiteral("1"));  // look at the PNG: a ticked box
    grid.setCellText(3, 4, QStringLiteral("粤B·12345 张三丰"));
    grid.setColumnWidth(4, 130);
    grid.setColumnAlignment(3, 14);
    grid.resize(420, 260);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.setCurrentCell(4, 2);
    const QImage image = grid.grab().toImage();
    if (const QByteArray path = qgetenv("RUVASO_GRID_PNG"); !path.isEmpty()) {
        image.save(QString::fromLocal8Bit(path));
    }

    const auto colour = [&](QPoint widgetPos) { return QColor(image.pixel(widgetPos)); };
    const QPoint origin = grid.viewport()->mapTo(&grid, QPoint(0, 0));
    const QRect heading =
        QRect(grid.horizontalHeader()->mapTo(&grid, QPoint(0, 0)), grid.horizontalHeader()->size());
    QCOMPARE(heading.height(), 30);
    QCOMPARE(colour(heading.topLeft() + QPoint(3, 3)), QColor(232, 232, 245));
    const QRect plain = grid.visualRect(grid.gridModel()->index(1, 2)).translated(origin);
    QCOMPARE(colour(plain.topLeft() + QPoint(1, 1)), QColor(255, 255, 255));
    QCOMPARE(colour(QPoint(plain.right(), plain.center().y())), QColor(148, 190, 231));
    QCOMPARE(colour(QPoint(plain.center().x(), plain.bottom())), QColor(148, 190, 231));
    const QRect selected = grid.visualRect(grid.gridModel()->index(4, 3)).translated(origin);
    QCOMPARE(colour(selected.topLeft() + QPoint(1, 1)), QColor(231, 235, 247));
}

// The text of a cell is drawn in the font the grid was given, not the application's.
void TestGrid::cellsUseTheGridFont() {
    Grid grid;
    grid.setGridFont(QStringLiteral("Tahoma"), 24);
    grid.setCols(2);
    grid.setRows(2);
    grid.setColumnWidth(0, 0);
    grid.setColumnWidth(1, 300);
    grid.setRowHeight(1, 60);
    const QString text = QStringLiteral("一二三四");
    grid.setCellText(1, 1, text);
    grid.resize(460, 140);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage image = grid.viewport()->grab().toImage();
    const QRect cell = grid.visualRect(grid.gridModel()->index(1, 1))
                           .adjusted(1, 1, -2, -2)
                           .intersected(image.rect());
    int left = cell.right();
    int right = cell.left();
    for (int x = cell.left(); x <= cell.right(); ++x) {
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    const int inked = right - left + 1;
    const int wanted = QFontMetrics(grid.font()).horizontalAdvance(text);
    QVERIFY2(inked > wanted * 3 / 4 && inked <= wanted,
             qPrintable(QStringLiteral("%1 of %2").arg(inked).arg(wanted)));
}

void TestGrid::columnsWidenToTheirTexts() {
    Grid grid;
    grid.setGridFont(QStringLiteral("Tahoma"), 8);
    SetUpList(grid, 3, 5);
    grid.setColumnWidth(0, 0);
    grid.setColumnWidth(1, 40);
    grid.setColumnWidth(2, 300);
    const QString number = QStringLiteral("20261201-0001");
    const QString name = QStringLiteral("欧阳明月（东方汽车服务有限公司）");
    grid.setCellText(2, 0, name);  // hidden: stays hidden
    grid.setCellText(2, 1, number);
    grid.setCellText(3, 3, name);
    grid.formatCells({3, 3, 3, 3}, [](CellFormat& format) { format.bold = true; });
    grid.widenColumnsToContent();
    QCOMPARE(grid.columnWidth(0), 0);
    QCOMPARE(grid.columnWidth(1), grid.widthForText(number));
    QCOMPARE(grid.columnWidth(2), 300);  // never narrowed
    // The bold text is measured in its bold font.
    QFont bold = grid.font();
    bold.setBold(true);
    QVERIFY(grid.columnWidth(3) >= grid.widthForText(name));
    QVERIFY(ui::CellTextRoom(grid.columnWidth(3)) >= QFontMetrics(bold).horizontalAdvance(name));
    QCOMPARE(grid.columnWidth(4), 64);  // "r1c4" and its heading fit the default width
}

// Texts of one shape are measured once, so the widest of them must still fit: digits vary in
// width in some fonts, and the widest text may come last in a long run of one shape.
void TestGrid::columnsFitEveryTextOfAShape() {
    Grid grid;
    grid.setGridFont(QStringLiteral("Tahoma"), 8);
    const QStringList texts = {QStringLiteral("1111-11"), QStringLiteral("7171-17"),
                               QStringLiteral("8888-88"), QStringLiteral("一二"),
                               QStringLiteral("鼹鼹"),    QStringLiteral("Wi"),
                               QStringLiteral("iW")};
    SetUpList(grid, 2000, 2);
    grid.setColumnWidth(1, 10);
    for (int row = 1; row < 2000; ++row)
        grid.setCellText(row, 1, texts[std::min<int>(row * int(texts.size()) / 2000, 6)]);
    grid.widenColumnsToContent();
    for (const QString& text : texts)
        QVERIFY2(grid.columnWidth(1) >= grid.widthForText(text), qPrintable(text));
}

QTEST_MAIN(TestGrid)
#include "test_grid.moc"
