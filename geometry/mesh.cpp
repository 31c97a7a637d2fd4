// TEMPORARY: replaced by the mesh implementation.
#include "geometry/geometry.h"
void createQuadBuffers() {}
