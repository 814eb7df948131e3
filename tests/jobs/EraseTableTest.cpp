#include "EraseTable.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

const QString kNoMedia = QStringLiteral("   No  Media   Loaded...   ");
const QString kNoCapability = QStringLiteral("This drive cannot erase this kind of disc.");
const QString kIncompatible = QStringLiteral("There are no compatible drives reported.");

TEST(EraseTable, EveryTypeAgainstEveryCapabilityPair)
{
    const QList<int> capabilities = {7, 37, 10, 39};
    const QList<int> erasableTypes = {253, 3, 1, 9};
    const QList<int> types = {254, 253, 255, 1, 2, 3, 4, 9, 10, 0};
    for (int type : types) {
        // Each single capability, none, and all of them.
        QList<QList<int>> drives = {{}, capabilities};
        for (int c : capabilities)
            drives.append(QList<int> {c});
        for (const QList<int> &reported : drives) {
            QList<int> asked;
            const EraseDecision d = DecideErase(type, [&](int code) {
                asked.append(code);
                return reported.contains(code);
            });
            const int index = erasableTypes.indexOf(type);
            const bool canErase = index >= 0 && reported.contains(capabilities[index]);
            SCOPED_TRACE(testing::Message() << "type " << type << ", capabilities " << reported.size());
            EXPECT_EQ(d.erase, canErase);
            if (type == 254) {
                EXPECT_EQ(d.message, kNoMedia);
                EXPECT_TRUE(asked.isEmpty());
            } else if (canErase) {
                EXPECT_TRUE(d.message.isEmpty());
                // Pairs are asked in order up to the one that matched.
                EXPECT_EQ(asked, capabilities.mid(0, index + 1));
            } else {
                EXPECT_EQ(d.message, index >= 0 ? kNoCapability : kIncompatible);
            }
        }
    }
}

} // namespace
