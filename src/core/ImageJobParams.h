#pragma once

#include <QString>

#include <optional>

class TDVDWriterPro2;

// One image job, fixed when the user starts it and handed to the worker by value: nothing of it is
// read back from a widget or a window afterwards.
struct ImageJobParams
{
    enum class Kind { DiscToImage = 1, FilesToImage = 2 };

    Kind kind = Kind::FilesToImage;
    // The instance that holds (files) or reads (disc) the image.
    TDVDWriterPro2 *engine = nullptr;
    QString isoPath;
    QString sourceDrive; // "D:" for a disc; empty for files
    // The compilation's label (a disc's copy takes it too); none when the instance keeps its own.
    std::optional<QString> label;
};
