#version 110
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

void main() {
    gl_Position = vertex * modelview * projection;
    // A quad turned away from the viewer darkens a little: flat quads stay at full
    // brightness, the spinning squares dim as they tilt.
    vec3 n = normalize((vec4(vnormal, 0.0) * normalview).xyz);
    shade = 0.7 + 0.3 * abs(n.z);
    uv = texcoords;
}
