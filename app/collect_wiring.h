// Connects MainWindow's Collect and Stop buttons to the collection run.
//
// Lives as long as the window is shown (ShowMainWindowModal makes one next to the window); when it
// goes, every collection thread is abandoned and joined, so closing the window ends the program at once.
#pragma once

#include <QObject>
#include <memory>

#include "collect/collector.h"
#include "collect/shared_state.h"

namespace tollenby {

class MainWindow;

class CollectionWiring : public QObject {
  public:
    CollectionWiring(MainWindow& window, SharedState& state, CollectorOptions options = {});
    ~CollectionWiring() override;  // Collector::Shutdown

    Collector& Collection() { return collector_; }

  private:
    void OnCollect();

    Collector collector_;
};

}  // namespace tollenby
