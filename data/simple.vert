// No #version line: desktop GL then compiles GLSL 1.10 and WebGL GLSL ES 1.00,
// and this one source serves both.
// Row vectors: a position goes through modelview and then projection from the
// left, and a normal through normalview the same way.
attribute vec4 vertex;
attribute vec3 vnormal;
attribute vec2 texcoords;
uniform mat4 modelview;
uniform mat4 normalview;
uniform mat4 projection;
varying vec2 uv;
varying float shade;

// Light from the upper left, in front. The shade is scaled so that a quad facing
// the viewer (the tiles, the backdrop, the squares at rest) keeps its colours
// exactly; a square turning towards the light brightens a little, one turning
// away dims. Both faces are lit alike: the squares show their backs too.
const vec3 light = vec3(-0.348, 0.497, 0.795);

void main() {
    gl_Position = vertex * modelview * projection;
    vec3 n = normalize((vec4(vnormal, 0.0) * normalview).xyz);
    shade = 0.62 + 0.38 * abs(dot(n, light)) / light.z;
    uv = texcoords;
}
