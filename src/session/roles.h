#pragma once

#include <QString>

// What only an administrator (管理员) may do; a clerk (店员) may use everything else: customers,
// follow-up calls, orders and slips, statistics.
enum class Guarded {
    Operators,           // 用户管理: add, disable, reset passwords
    Restore,             // putting a backup in place of the database
    DatabaseConnection,  // which database the stations use
    ShopProfile,         // the shop's name, address and telephone
    PriceList,
    Technicians,
    CorrectOrder,  // 修改维修单
    VoidOrder,     // 作废
    CorrectPlate,  // 更正车牌
};

// Why the operator logged in may not do `action`, for the shop to read; empty when they may.
// Every store function that changes what `action` guards asks this first, so a window that
// forgot to hide a button still cannot do it.
QString RefusalFor(Guarded action);
