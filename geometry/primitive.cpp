// The desktop's quad primitive: desktop GL (a compatibility profile) draws quads
// itself.
#include "geometry/geometry.h"

const GLenum kQuadPrimitive = GL_QUADS;
