#pragma once

#include <QString>
#include <QWidget>

#include "printing/printer_record.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// frmDefaultPrinter: lists every printer by its text and makes the chosen one the user's
// default printer. Its record remembers the default in force when it opened, so that a later
// opening can offer it back if this one never closed, and chkRestore can put it back on closing.
// It also keeps the paper the slip is printed on.
class DefaultPrinterWindow : public QWidget {
    Q_OBJECT

public:
    explicit DefaultPrinterWindow(PrinterRecord::Place place = PrinterRecord::DefaultPlace(),
                                  QWidget* parent = nullptr);

    QLabel* lblPrinters;
    QTreeWidget* lvwPrinter;
    QPushButton* cmdSet;
    QPushButton* cmdExit;
    QCheckBox* chkConfirm;
    QCheckBox* chkRestore;
    // The slip's paper, kept in the record as soon as it is chosen.
    QLabel* lblPaper;
    QRadioButton* optA4;
    QRadioButton* optA5;

    // The default printer when the window opened (after a restore it offered), which chkRestore
    // puts back on closing.
    QString originalDefault() const { return originalDefault_; }

    void Form_Load();
    void cmdSet_Click();
    void cmdExit_Click();
    void lvwPrinter_DblClick();
    void lvwPrinter_ColumnClick(int column);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* selectedItem() const;
    void UpdateSetButton();
    void UncheckAllItems();
    void MarkDefaultItem(const QString& text);
    void MakeDefault(const QString& text);
    void SetHeaderSortImage(Qt::SortOrder order);
    bool ChangeDefault(const QString& text);

    PrinterRecord record_;
    QString originalDefault_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
