#include "GifWriter.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <vector>

namespace {

// The palette: the 256 most frequent colours of all frames; every other colour takes its nearest.
class Palette256
{
public:
    explicit Palette256(const QList<QImage> &frames)
    {
        std::unordered_map<QRgb, int> counts;
        for (const QImage &frame : frames) {
            for (int y = 0; y < frame.height(); ++y) {
                const auto *line = reinterpret_cast<const QRgb *>(frame.constScanLine(y));
                for (int x = 0; x < frame.width(); ++x)
                    ++counts[line[x] | 0xff000000u];
            }
        }
        std::vector<std::pair<int, QRgb>> byCount;
        for (const auto &[colour, count] : counts)
            byCount.emplace_back(count, colour);
        std::sort(byCount.begin(), byCount.end(), [](const auto &a, const auto &b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
        for (size_t i = 0; i < byCount.size() && i < 256; ++i)
            m_colours.push_back(byCount[i].second);
        while (m_colours.size() < 256)
            m_colours.push_back(0xff000000u);
    }

    QRgb colour(int index) const { return m_colours[size_t(index)]; }

    int index(QRgb c)
    {
        c |= 0xff000000u;
        const auto known = m_cache.find(c);
        if (known != m_cache.end())
            return known->second;
        int best = 0;
        int bestDistance = INT_MAX;
        for (int i = 0; i < 256; ++i) {
            const QRgb p = m_colours[size_t(i)];
            const int dr = qRed(p) - qRed(c), dg = qGreen(p) - qGreen(c), db = qBlue(p) - qBlue(c);
            const int distance = 2 * dr * dr + 4 * dg * dg + 3 * db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        m_cache.emplace(c, best);
        return best;
    }

private:
    std::vector<QRgb> m_colours;
    std::unordered_map<QRgb, int> m_cache;
};

class BitWriter
{
public:
    explicit BitWriter(QByteArray &out)
        : m_out(out)
    { }
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
    QList<QImage> rgbFrames;
    for (const QImage &source : frames)
        rgbFrames.append(source.convertToFormat(QImage::Format_RGB32));
    Palette256 palette(rgbFrames);
    for (int i = 0; i < 256; ++i) {
        out.append(char(qRed(palette.colour(i))));
        out.append(char(qGreen(palette.colour(i))));
        out.append(char(qBlue(palette.colour(i))));
    }
    // Loop for ever.
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage &frame : std::as_const(rgbFrames)) {
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
                indices.append(char(palette.index(line[x])));
        }
        compress(indices, out);
    }
    out.append(';');
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}
