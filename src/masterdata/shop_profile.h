#pragma once

#include <QString>

#include "data/db_result.h"

// The shop as its paper names it: the first row of regedit_table (re_name, re_address, re_tele).
struct ShopProfile {
    QString name;
    QString address;
    QString telephone;
};

// The stored profile; every field is empty when there is no row.
DbResult<ShopProfile> ReadShopProfile();

// Stores all three fields at once, in the first row (made when there is none), or nothing.
DbStatus SaveShopProfile(const ShopProfile& profile);

// What the slip and the reports print for the shop's name: the name, or, while none is filled
// in, where to fill it in.
QString ShopNameOnPaper(const QString& name);

// Whether the shop still has no name, so the first login asks for one.
bool ShopNameMissing(const ShopProfile& profile);
