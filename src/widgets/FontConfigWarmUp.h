#pragma once

#include <thread>

// Loads the font configuration on a thread of its own while Qt connects to the display. Qt loads it
// when the first line of text is laid out, and parsing its XML files was the largest single part of
// the main window's own time before it could show. Fontconfig keeps one configuration for the process
// and may be started from any thread: should Qt ask before this thread is done, Qt loads one of its
// own and the first one made is kept, so nothing waits on this thread.
class FontConfigWarmUp final
{
public:
    FontConfigWarmUp();
    ~FontConfigWarmUp();
    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

private:
    std::thread m_thread;
};
