#pragma once

#include <QDate>
#include <QString>

// One vehicle's customer record, as kh_table stores it.
struct Customer {
    QString key;                               // kh_code
    QString plate;                             // kh_cph
    QString owner;                             // kh_czname
    QString sex;                               // kh_xb: "先生", "女士" or empty
    QString telephone;                         // kh_tele
    QDate entryDate;                           // kh_djdate
    QDate reminderDate;                        // kh_txdate
    QString identity;                          // kh_sfzh
    QString model;                             // kh_cx
    QString calledFlag = QStringLiteral("0");  // kh_sfdgdh: "0" not yet called, "1" called
};
