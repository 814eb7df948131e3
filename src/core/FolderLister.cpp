#include "core/FolderLister.h"

#include "engine/TDVDWriterPro2.h"
#include "base/KestraneError.h"

#include <memory>

FolderLister::FolderLister(TDVDWriterPro2 &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{ }

FolderLister::~FolderLister()
{
    for (auto &[serial, thread] : m_running)
        thread.join();
}

void FolderLister::list(const QString &destPath)
{
    const uint64_t serial = ++m_serial;
    m_wanted = serial;
    m_running.emplace(serial, std::thread([this, serial, destPath] {
                          auto items = std::make_shared<std::vector<ImageItem>>();
                          QString error;
                          try {
                              *items = m_engine.ListItems(destPath);
                          } catch (const KestraneError &e) {
                              error = e.message();
                          }
                          QMetaObject::invokeMethod(
                              this,
                              [this, serial, items, error] {
                                  const bool wanted = serial == m_wanted;
                                  delivered(serial);
                                  if (!wanted)
                                      return;
                                  m_wanted = 0;
                                  if (error.isNull())
                                      Q_EMIT listed(*items);
                                  else
                                      Q_EMIT failed(error);
                              },
                              Qt::QueuedConnection);
                      }));
}

void FolderLister::drop()
{
    m_wanted = 0;
}

void FolderLister::delivered(uint64_t serial)
{
    const auto it = m_running.find(serial);
    if (it == m_running.end())
        return;
    it->second.join(); // it has handed over its answer: it ends at once
    m_running.erase(it);
}
