#include "app/globals.h"

namespace tollenby {

Globals& AppGlobals() {
    static Globals globals;
    return globals;
}

}  // namespace tollenby
