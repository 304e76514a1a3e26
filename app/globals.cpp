#include "app/globals.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include "app/main_window_port.h"

namespace tollenby {

namespace {

// Storage for the globals that is never given back: no destructor runs at exit, so a detached worker
// that is still appending to RegionList while the process ends touches valid memory.
template <typename T>
class NeverDestroyed {
  public:
    NeverDestroyed() { std::construct_at(reinterpret_cast<T*>(storage_)); }
    T& Get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

  private:
    alignas(T) std::byte storage_[sizeof(T)];
};

std::atomic<bool> globalsReleased{false};

void ExitHook() {
    ReleaseGlobals();
}

}  // namespace

Globals& AppGlobals() {
    static NeverDestroyed<Globals> globals;
    return globals.Get();
}

void InitGlobals() {
    Globals& globals = AppGlobals();
    static std::once_flag registered;
    std::call_once(registered, [] { std::atexit(ExitHook); });
    (void)globals;
}

void ReleaseGlobals() {
    if (globalsReleased.exchange(true)) return;
    Globals& globals = AppGlobals();
    TextArray regions;
    TextArray urls;
    QString folder;
    {
        std::lock_guard guard(globals.Shared.RegionListLock);
        regions.swap(globals.Shared.RegionList);
    }
    {
        std::lock_guard guard(globals.DownloadUrlListLock);
        urls.swap(globals.DownloadUrlList);
    }
    {
        std::lock_guard guard(globals.FolderStartPathLock);
        folder.swap(globals.FolderStartPath);
    }
    // The texts are freed here, outside the locks.
}

}  // namespace tollenby
