// Scene rendering: the display callback, the draw step, and the pure computation
// of every draw's modelview from the clocks (testable without a GL context).
#pragma once

#include "math/mat4.h"

// The frame's draws: 200 tiles, the backdrop, three spinning squares, the top quad.
constexpr int kTileDraws = 200;
constexpr int kFrameDraws = 205;

// The layer's quad when each of its draws binds its own: draw k of the layer binds quad k.
constexpr int kQuadPerDraw = -1;
// One layer of the frame: what it binds before its draws, and how many draws it makes.
struct FrameLayer {
    int texture;      // 1 to 4: renderResources' texture1 to texture4
    int quad;         // the element buffer bound once for the layer, or kQuadPerDraw
    bool selectsUnit; // selects texture unit 0 again before binding its texture
    bool setsSampler; // sends 0 to "texture" after its bindings
    int draws;
};
// The frame's four layers in draw order: the tile field, the backdrop, the spinning
// squares (largest first) and the top quad. Their draws take frameModelviews in turn.
constexpr int kFrameLayerCount = 4;
extern const FrameLayer kFrameLayers[kFrameLayerCount];

// The projection every frame sends: 45 degrees, the float nearest 16/9, near 1, far -1.
Mat4 frameProjection();
// Modelview of a tile: grid 0 is A, grid 1 is B; column i and row j from 0 to 9.
Mat4 tileModelview(int grid, int i, int j, float scrollClock);
// Modelview of the fixed backdrop panel.
Mat4 backdropModelview();
// Modelview of spinning square k (0 largest, 2 smallest).
Mat4 spinningModelview(int k, float spinClock, float tiltClock);
// Modelview of the top quad.
Mat4 topModelview(float spinClock);
// The matrix sent as "normalview": the transpose of the affine inverse of a modelview.
Mat4 normalviewOf(Mat4 modelview);
// All 205 modelviews of one frame, in draw order: the order drawFrame draws them in.
void frameModelviews(float spinClock, float tiltClock, float scrollClock, Mat4 out[kFrameDraws]);

// Uploads M as "modelview" and its normalview, then draws the bound quad once.
void drawWithModelview(Mat4 m);
// Draws one whole frame into the current framebuffer, everything but the swap: the
// layers of kFrameLayers under the modelviews of frameModelviews.
void drawFrame();
// GLUT display callback: drawFrame, then swap buffers.
void onDisplay();
