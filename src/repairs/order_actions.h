#pragma once

#include "repairs/order.h"

class QWidget;

// What the history and the line-item window do with a saved order, as the operator asks for
// it; `listed` is the order as the asking window read it, so a change another station made
// since is refused rather than written over.

// Opens the order window on the stored order for correction.
void CorrectListedOrder(QWidget* parent, const Order& listed);
// Asks for a reason and voids the order; says how it went. True when voided.
bool VoidListedOrder(QWidget* parent, const Order& listed);
