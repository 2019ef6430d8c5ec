#include "app/window_services.h"

#include <cstdio>
#include <cstdlib>

namespace app {

void EndProcessNow(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace app
