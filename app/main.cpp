// Process entry: everything else lives in the library so that tests and tools
// can link the same start-up and frame code.
#include "app/app.h"

int main(int argc, char** argv) {
    return runDemo(argc, argv);
}
