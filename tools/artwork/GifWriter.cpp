#include "GifWriter.h"

#include <QFile>

#include <array>
#include <unordered_map>

namespace {

constexpr int kRed = 6, kGreen = 7, kBlue = 6;

int cubeIndex(QRgb c)
{
    const int r = (qRed(c) * (kRed - 1) + 127) / 255;
    const int g = (qGreen(c) * (kGreen - 1) + 127) / 255;
    const int b = (qBlue(c) * (kBlue - 1) + 127) / 255;
    return (r * kGreen + g) * kBlue + b;
}

class BitWriter
{
public:
    explicit BitWriter(QByteArray &out)
        : m_out(out)
    {
    }
    void put(int code, int width)
    {
        m_buffer |= uint32_t(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            push(char(m_buffer & 0xff));
            m_buffer >>= 8;
            m_bits -= 8;
        }
    }
    void finish()
    {
        if (m_bits > 0)
            push(char(m_buffer & 0xff));
        flushBlock();
        m_out.append('\0');
    }

private:
    void push(char byte)
    {
        m_block.append(byte);
        if (m_block.size() == 255)
            flushBlock();
    }
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(char(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }
    QByteArray &m_out;
    QByteArray m_block;
    uint32_t m_buffer = 0;
    int m_bits = 0;
};

// GIF's variable-width LZW over 8-bit indices.
void compress(const QByteArray &indices, QByteArray &out)
{
    constexpr int minCodeSize = 8;
    constexpr int clear = 1 << minCodeSize;
    constexpr int end = clear + 1;
    out.append(char(minCodeSize));
    BitWriter bits(out);
    std::unordered_map<uint32_t, int> table;
    int next = end + 1;
    int width = minCodeSize + 1;
    bits.put(clear, width);
    int prefix = -1;
    for (char ch : indices) {
        const int k = static_cast<unsigned char>(ch);
        if (prefix < 0) {
            prefix = k;
            continue;
        }
        const uint32_t key = (uint32_t(prefix) << 8) | uint32_t(k);
        const auto found = table.find(key);
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        bits.put(prefix, width);
        if (next < 4096) {
            table.emplace(key, next);
            if (next == (1 << width) && width < 12)
                ++width;
            ++next;
        } else {
            bits.put(clear, width);
            table.clear();
            next = end + 1;
            width = minCodeSize + 1;
        }
        prefix = k;
    }
    if (prefix >= 0)
        bits.put(prefix, width);
    bits.put(end, width);
    bits.finish();
}

void appendWord(QByteArray &out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

} // namespace

bool writeAnimatedGif(const QString &path, const QList<QImage> &frames, int delayCentiseconds)
{
    if (frames.isEmpty())
        return false;
    const QSize size = frames.first().size();
    QByteArray out("GIF89a");
    appendWord(out, size.width());
    appendWord(out, size.height());
    out.append(char(0xf7)); // global colour table of 256 entries
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const int r = i / (kGreen * kBlue), g = (i / kBlue) % kGreen, b = i % kBlue;
        const bool inCube = i < kRed * kGreen * kBlue;
        out.append(char(inCube ? r * 255 / (kRed - 1) : 0));
        out.append(char(inCube ? g * 255 / (kGreen - 1) : 0));
        out.append(char(inCube ? b * 255 / (kBlue - 1) : 0));
    }
    // Loop for ever.
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage &source : frames) {
        const QImage frame = source.convertToFormat(QImage::Format_RGB32);
        out.append("\x21\xf9\x04\x04", 4);
        appendWord(out, delayCentiseconds);
        out.append('\0');
        out.append('\0');
        out.append(',');
        appendWord(out, 0);
        appendWord(out, 0);
        appendWord(out, size.width());
        appendWord(out, size.height());
        out.append('\0');
        QByteArray indices;
        indices.reserve(size.width() * size.height());
        for (int y = 0; y < size.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
            for (int x = 0; x < size.width(); ++x)
                indices.append(char(cubeIndex(line[x])));
        }
        compress(indices, out);
    }
    out.append(';');
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}
