// No #version line (GLSL 1.10 on a desktop, GLSL ES 1.00 in WebGL). ES needs a
// float precision in this stage; desktop GLSL 1.10 has no precision statement.
#ifdef GL_ES
precision mediump float;
#endif
// One texture sample per pixel and one multiply: this runs for about four
// screen-fulls of blended pixels per frame.
uniform sampler2D texture;
varying vec2 uv;
varying float shade;

void main() {
    vec4 c = texture2D(texture, uv);
    gl_FragColor = vec4(c.rgb * shade, c.a);
}
