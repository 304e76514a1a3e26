// The process-wide state shared by the GUI thread, the collection threads and the download job.
//
// One instance lives from first use until the process is gone; it is never destroyed, because
// collection and download threads are never waited for and may still reach it while the process
// exits. The exit hook empties its lists instead, under their locks.
#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "collect/shared_state.h"
#include "text/gbk_text.h"

namespace tollenby {

class MainWindowPort;

struct Globals {
    // RegionList with its lock, CollectStopFlag and ActiveWorkerCount.
    SharedState Shared;

    // QR image addresses chosen by the download window. Filled on the GUI thread; a download job takes
    // its own copy under the lock when it starts, so a later window cannot change it underneath.
    std::mutex DownloadUrlListLock;
    TextArray DownloadUrlList;

    // The initial folder of the folder chooser. Used on the GUI thread; the lock keeps the exit hook
    // honest.
    std::mutex FolderStartPathLock;
    QString FolderStartPath;

    // The main window's port. Held here so that it outlives the window: workers may still be writing
    // through it after the window has closed.
    std::shared_ptr<MainWindowPort> MainPort;

    // The running search job is not kept here: it belongs to the Collector that ShowMainWindowModal
    // makes beside the window, so closing the window can cancel and join its threads. These globals are
    // never destroyed and so could never join anything.
};

// The one instance, created on first use.
Globals& AppGlobals();

// Creates the globals and registers the exit hook. Calling it again changes nothing.
void InitGlobals();

// The exit hook: empties RegionList, DownloadUrlList and FolderStartPath, each under its lock. Runs
// its work once, however often it is called.
void ReleaseGlobals();

}  // namespace tollenby
