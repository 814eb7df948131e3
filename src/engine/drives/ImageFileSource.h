#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

namespace burn {
struct burn_source;
}

namespace Drives {

// What the reading side of a burn learnt, kept after libburn has freed the source.
class ImageReadState final
{
public:
    void fail(const QString &reason);
    QString error() const;

private:
    mutable std::mutex m_mutex;
    QString m_error;
};

// A libburn data source over an image file that reads large chunks: libburn asks for one sector per
// call, and a system call per 2 KB would slow a burn down. Reads stop at the size found at start, and
// a file that ends early or cannot be read fails the burn with its reason in the state.
// Returns nullptr when the file cannot be opened (reason in the state).
burn::burn_source *createImageFileSource(const QString &path, int64_t size,
                                         const std::shared_ptr<ImageReadState> &state);

} // namespace Drives
