#include "app/collect_wiring.h"

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "collect/collect_texts.h"
#include "ui/gbk_qstring.h"

namespace tollenby {

CollectionWiring::CollectionWiring(MainWindow& window, SharedState& state, CollectorOptions options)
    : QObject(&window), collector_(window.SharedPort(), state, std::move(options)) {
    connect(&window, &MainWindow::CollectClicked, this, [this] { OnCollect(); });
    connect(&window, &MainWindow::StopClicked, this, [this] { collector_.Stop(); });
}

CollectionWiring::~CollectionWiring() {
    collector_.Shutdown();
}

void CollectionWiring::OnCollect() {
    if (collector_.Collect() == CollectOutcome::NoKeywords)
        ShowInfoMessage(GbkToQString(Text(kNoKeywordsMessage)));
}

}  // namespace tollenby
