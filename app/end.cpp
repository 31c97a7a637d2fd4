// Ending the demo on a desktop: the process exits and the system reclaims every
// resource; nothing is released first.
#include "app/app.h"

#include <cstdlib>

void endDemo() {
    std::exit(0);
}
