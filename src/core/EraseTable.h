#pragma once

#include <QString>

#include <functional>

// What the erase window does with a disc: erase it, or tell the user why not and close.
struct EraseDecision
{
    bool erase = false;
    QString message; // shown when not erasing
};

// The disc types the window can erase, each with the drive capability it needs, asked in this order.
EraseDecision DecideErase(int discType, const std::function<bool(int)> &hasCapability);
