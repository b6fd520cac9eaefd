#pragma once

#include <QDate>
#include <QWidget>
#include <memory>
#include <optional>

#include "customers/customer.h"
#include "data/recordset.h"

class CustomerListRows;
class CustomerListSource;
struct ListQuery;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;

namespace ui {
class BusyIndicator;
class DatePicker;
class Grid;
class LinkLabel;
}  // namespace ui

// The hub of the program, open from login until the program ends: the list of customers due
// for a call, the search, the record actions on the selected row and the panel that opens
// every other window.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the operator who logged in; everything recorded from now on carries this name.
    void setOperatorName(const QString& name);

    QLabel* Label5;
    QLabel* Label14;
    QLabel* Label13;
    QLabel* Label6;
    QLabel* Label7;
    ui::DatePicker* DTPicker1;
    QLabel* Label8;
    ui::DatePicker* DTPicker2;
    QLabel* Label9;
    QComboBox* Combo1;
    QLabel* Label15;
    QLineEdit* Text1;
    ui::Grid* grid1;
    ui::BusyIndicator* picLOAD;
    ui::LinkLabel* Label1;
    ui::LinkLabel* Label3;
    ui::LinkLabel* Label2;
    ui::LinkLabel* Label16;
    // Shown while the database server is out of reach.
    QLabel* connectionNotice;

    // "另有 N 位客户逾期未回访": shown while customers due before the listed days wait for a call;
    // a click lists them, longest overdue first.
    ui::LinkLabel* overdueLink;

    QMenu* sys;
    QAction* kh_dhjl;
    QAction* kh_mana;
    QAction* kh_dele;
    QAction* kh_wxjl;
    QAction* kh_tele;
    QMenu* tjgl;
    QAction* zmtj;
    QAction* mxtj;
    QAction* wxjstj;

    // The list row the operator last moved to; 0 when none.
    int SelectedRow = 0;

    void Form_Load();
    void ReloadReminderList();
    void Combo1_Click();
    void DTPicker1_Change();
    void DTPicker2_Change();
    void grid1_CurrentCellChanged(int row, int col);
    void grid1_MouseButton(int button, int shift, int x, int y);
    void grid1_DblClick();
    void Text1_KeyDown(int key);
    void Label1_Click();
    void Label3_Click();
    void Label2_Click();
    void Label16_Click();
    void kh_dhjl_Click();
    void kh_mana_Click();
    void kh_dele_Click();
    void kh_wxjl_Click();
    void kh_tele_Click();
    void overdueLink_Click();
    // Once the clock has moved into another day: the date line and the overdue notice follow.
    void checkNewDay();

private:
    void buildControls();
    void buildMenus();
    void setUpGrid();
    // Shows the rows `query` lists, read a page at a time as they come into view.
    void showList(const ListQuery& query);
    // Only the heading row.
    void clearList();
    // Reads the list again as it was last asked for (the filter or the search), keeping the
    // selected customer selected while the list still holds them.
    void refreshList();
    void showRecordMenu(const QPoint& globalPos);
    QString selectedKey() const;
    // The stored customer of the selected row; nothing, after a stop message, when no row is
    // selected, and after the database-error message when the read fails; nothing either when
    // the customer has been deleted meanwhile.
    std::optional<Customer> selectedCustomer();

    // Counts the customers overdue before the listed days and shows or hides the notice.
    void updateOverdueNotice();

    enum class Listing { Reminders, Search, Overdue };
    // What the list shows: the filter, the search for listedSearch_, or the overdue customers.
    Listing listing_ = Listing::Reminders;
    QString listedSearch_;
    // The day the date line and the overdue notice were last worked out for.
    QDate shownDay_;
    std::shared_ptr<CustomerListRows> rows_;
    std::unique_ptr<CustomerListSource> source_;
};
