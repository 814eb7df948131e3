#include "engine/drives/MediumHead.h"

namespace Drives {

namespace {

constexpr int BlockBytes = 2048;
constexpr int FirstDescriptorBlock = 16;

bool isDescriptor(const QByteArray &head, int block, const char *identifier)
{
    const qsizetype at = qsizetype(block) * BlockBytes + 1;
    return head.size() >= at + 5 && head.mid(at, 5) == identifier;
}

uint32_t littleEndian32(const QByteArray &bytes, qsizetype at)
{
    const auto byte = [&bytes, at](int i) {
        return uint32_t(uint8_t(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

} // namespace

MediumHead readMediumHead(const QByteArray &head)
{
    MediumHead result;
    result.holdsData = head.count('\0') != head.size();
    const qsizetype pvd = qsizetype(FirstDescriptorBlock) * BlockBytes;
    // The primary volume descriptor: type 1, "CD001", version 1.
    if (head.size() >= pvd + BlockBytes && head[pvd] == 1 &&
        isDescriptor(head, FirstDescriptorBlock, "CD001")) {
        QByteArray label = head.mid(pvd + 40, 32);
        while (label.endsWith(' '))
            label.chop(1);
        result.label = QString::fromUtf8(label); // written as typed, so it may hold UTF-8
        result.usedBytes = int64_t(littleEndian32(head, pvd + 80)) * BlockBytes;
    }
    return result;
}

} // namespace Drives
