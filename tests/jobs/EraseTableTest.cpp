#include "core/EraseTable.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

const QString kNoMedia = QStringLiteral("   No  Media   Loaded...   ");
const QString kNoCapability = QStringLiteral("This drive cannot erase this kind of disc.");
const QString kIncompatible = QStringLiteral("There are no compatible drives reported.");

TEST(EraseTable, DiscTypesAgainstWhatTheDriveReports)
{
    // The engine's numbers as they arrive: disc types 254 (none), 253 (CD-RW), 255 (CD-R),
    // 1 (DVD-RW), 2 (DVD-R), 3 (DVD+RW), 9 (random access), 10 (BD-R); capabilities 7 (blank
    // CD-RW), 10 (blank DVD-RW), 37 (format DVD+RW), 39 (format random access).
    const QList<int> all = {7, 37, 10, 39};
    const struct Row
    {
        int type;
        QList<int> reported;
        bool erase;
        QString message;
        QList<int> asked; // in this order
    } rows[] = {
        {254, all, false, kNoMedia, {}},
        {253, {7}, true, {}, {7}},
        {253, all, true, {}, {7}},
        {253, {37, 10, 39}, false, kNoCapability, all},
        {253, {}, false, kNoCapability, all},
        {3, {37}, true, {}, {7, 37}},
        {3, {7}, false, kNoCapability, all},
        {1, {10}, true, {}, {7, 37, 10}},
        {1, {7, 37, 39}, false, kNoCapability, all},
        {9, {39}, true, {}, all},
        {9, {7}, false, kNoCapability, all},
        {255, all, false, kIncompatible, all},
        {2, all, false, kIncompatible, all},
        {4, all, false, kIncompatible, all},
        {10, all, false, kIncompatible, all},
        {0, {}, false, kIncompatible, all},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "type " << row.type << ", " << row.reported.size() << " capabilities");
        QList<int> asked;
        const EraseDecision d = DecideErase(row.type, [&](int code) {
            asked.append(code);
            return row.reported.contains(code);
        });
        EXPECT_EQ(d.erase, row.erase);
        EXPECT_EQ(d.message, row.message);
        EXPECT_EQ(asked, row.asked);
    }
}

} // namespace
