// The process-wide state shared by the GUI thread, the collection threads and the download job.
//
// One instance lives from first use to the end of the program and is destroyed then, like any other
// static object: by that time the window has closed, and closing it has cancelled and joined every
// collection and download thread. Each member is guarded by its lock or is atomic itself.
#pragma once

#include <QString>
#include <mutex>

#include "collect/shared_state.h"
#include "text/gbk_text.h"

namespace tollenby {

struct Globals {
    // RegionList with its lock, CollectStopFlag and ActiveWorkerCount.
    SharedState Shared;

    // QR image addresses chosen by the download window. Filled on the GUI thread; a download job takes
    // its own copy under the lock when it starts, so a later window cannot change it underneath.
    std::mutex DownloadUrlListLock;
    TextArray DownloadUrlList;

    // The initial folder of the folder chooser, written at every call of the chooser.
    std::mutex FolderStartPathLock;
    QString FolderStartPath;

    // The running search job is not kept here: it belongs to the Collector that ShowMainWindowModal
    // makes beside the window, so closing the window cancels and joins its threads.
};

// The one instance, created on first use.
Globals& AppGlobals();

}  // namespace tollenby
