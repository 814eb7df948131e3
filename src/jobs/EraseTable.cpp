#include "EraseTable.h"

#include <array>
#include <utility>

EraseDecision DecideErase(int discType, const std::function<bool(int)> &hasCapability)
{
    if (discType == 254)
        return {false, QStringLiteral("   No  Media   Loaded...   ")};
    // (capability, disc type): CD-RW, DVD+RW, DVD-RW, random-access media.
    constexpr std::array<std::pair<int, int>, 4> pairs = {{{7, 253}, {37, 3}, {10, 1}, {39, 9}}};
    bool erasable = false;
    for (const auto &[capability, type] : pairs) {
        erasable |= type == discType;
        if (hasCapability(capability) && type == discType)
            return {true, QString()};
    }
    if (erasable)
        return {false, QStringLiteral("This drive cannot erase this kind of disc.")};
    return {false, QStringLiteral("There are no compatible drives reported.")};
}
