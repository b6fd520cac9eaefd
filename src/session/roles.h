#pragma once

#include <QString>

// What an operator may do: an administrator (管理员) everything, a clerk (店员) what the
// shop's daily work needs.
enum class Role { Administrator, Clerk };
// "管理员", "店员": as user_table stores the role and the windows show it.
QString RoleName(Role role);
// The role a stored text stands for; anything but 管理员 is a clerk.
Role RoleFromName(const QString& name);

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
// forgot to hide a button still cannot do it. The operator's role is read from the database
// each time, so a role taken away or an account disabled at another station counts at once.
// With nobody logged in (the command line, or the start before the login, where the database
// may not even open) nothing is refused: whoever runs the program there holds the data folder
// or the server's password already.
QString RefusalFor(Guarded action);
