#pragma once

#include <QDate>
#include <QList>
#include <QString>

// One priced line of a repair order (kh_wx_mx_table). Amounts are numbers as stored.
struct OrderLine {
    QString item;          // kh_wx_mx_xm
    QString description;   // kh_wx_mx_xmsm
    double quantity = 0;   // kh_wx_mx_sl
    double unitPrice = 0;  // kh_wx_mx_dj
    double amount = 0;     // kh_wx_mx_hj
};

// One repair order (kh_wx_table) with its lines. The number is the date part with its leading
// space followed by the day's sequence: " 20261206001".
struct Order {
    QString key;           // kh_wx_code
    QString number;        // kh_wx_dh
    QString plate;         // kh_wx_cph
    QString owner;         // kh_wx_czname
    QString model;         // kh_wx_cx
    QString telephone;     // kh_wx_tele
    double total = 0;      // kh_wx_hj
    QString operatorName;  // kh_wx_czr
    QDate nextReminder;    // kh_wx_txdate
    QDate date;            // kh_wx_date
    QString technician;    // kh_wx_wxjs
    QList<OrderLine> lines;
    // Raised by every correction and by the void; a change is refused when the stored number
    // is no longer the one read.
    int revision = 0;     // kh_wx_bb
    bool voided = false;  // kh_wx_zf = '1'
    QString voidedBy;     // kh_wx_zfr
    QString voidedAt;     // kh_wx_zfsj: "yyyy-MM-dd HH:mm:ss"
    QString voidReason;   // kh_wx_zfyy
};
