#pragma once

#include <QIcon>

// The pictures of the system panel. They are drawn, not loaded, so they stay sharp at any size
// and screen scale; a disabled entry shows its picture in greys.
enum class PanelPicture {
    Import,
    Technicians,
    AddOperator,
    RepairItems,
    Password,
    Backup,
    PlatePrefix,
    Restore,
    ShopProfile,
    Printer,
    Connection
};

QIcon PanelIcon(PanelPicture picture);
