// The web's quad primitive: WebGL has no quads. Each quad's four indices run
// around its edge and every quad is planar and convex, so a fan over the same four
// covers the same pixels.
#include "geometry/geometry.h"

const GLenum kQuadPrimitive = GL_TRIANGLE_FAN;
