// libFuzzer target for the list-file reader: any bytes must load, be refused or fail cleanly, and
// what reaches the engine must always be a well-formed call.
#include "base/KestraneError.h"
#include "core/ListFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {

// Stands in for the engine: checks every call and refuses the one the input picks.
class ScriptedSink final : public ListFile::Sink
{
public:
    explicit ScriptedSink(int refuseAt)
        : m_refuseAt(refuseAt)
    { }

    void reset() override
    {
        if (resets != 0 || adds != 0)
            std::abort(); // once, before any add
        ++resets;
    }

    void addFolder(const QString &destFolder, const QString &source) override
    {
        if (resets != 1 || refused)
            std::abort(); // no add before the reset or after a refusal
        if (!destFolder.endsWith(QLatin1Char('\\')) || destFolder.contains(QChar(0)) ||
            source.contains(QChar(0)))
            std::abort();
        if (source.contains(QLatin1Char('\r')) || source.contains(QLatin1Char('\n')) ||
            destFolder.contains(QLatin1Char('\r')) || destFolder.contains(QLatin1Char('\n')))
            std::abort(); // line ends never reach a path
        if (source.contains(QLatin1Char('|')))
            std::abort(); // the first bar separates
        if (adds == m_refuseAt) {
            refused = true;
            throw KestraneError(QStringLiteral("refused"));
        }
        ++adds;
    }

    int resets = 0;
    int adds = 0;
    bool refused = false;

private:
    int m_refuseAt;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the add the engine refuses (255: none); the rest is the file.
    const int refuseAt = data[0] == 255 ? -1 : data[0] % 8;
    QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    // Half of the inputs start as a list file, so the fuzzer reaches the lines quickly.
    if (data[0] & 1)
        bytes.prepend("filelist\r\n");
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    ScriptedSink sink(refuseAt);
    const ListFile::LoadResult result = ListFile::load(device, sink);

    const qsizetype lineEnds = bytes.count('\r') + bytes.count('\n');
    switch (result) {
    case ListFile::LoadResult::NotAListFile:
        if (sink.resets != 0 || bytes.isEmpty())
            std::abort();
        break;
    case ListFile::LoadResult::Loaded:
        if (sink.resets != 1 || sink.refused || sink.adds > lineEnds + 1 || !bytes.startsWith("filelist"))
            std::abort();
        break;
    case ListFile::LoadResult::LoadError:
        // A file that cannot be read as a list never reaches the engine; only a refusal by the
        // engine fails after the reset.
        if (sink.resets != (sink.refused ? 1 : 0))
            std::abort();
        break;
    }
    return 0;
}
