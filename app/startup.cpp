// Start-up: window and context, the fixed GL state, then geometry, textures,
// shader program and music in that order, and the GLUT main loop.
#include "app/app.h"

#include <GL/freeglut.h>

#include "assets/assets.h"
#include "geometry/geometry.h"
#include "render/render.h"

void createWindow(int* argc, char** argv) {
    glutInit(argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(kWindowWidth, kWindowHeight);
    glutCreateWindow("marrowby &c &c");
    // A context without the GL 2.0 entry points fails at the first call through them.
    glewInit();
}

void setFixedGlState() {
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL); // depth testing itself is never enabled
    glClearColor(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void loadTextures() {
    renderResources.texture1 = loadTexture("texture.tga");
    renderResources.texture2 = loadTexture("texture2.tga");
    renderResources.texture3 = loadTexture("texture3.tga");
    renderResources.texture4 = loadTexture("texture4.tga");
}

void createGlResources() {
    setFixedGlState();
    renderResources.quads = createQuadBuffers();
    loadTextures();
    // Ends the process with status -1 on any failure.
    renderResources.shader = buildShaderProgram();
}

int runDemo(int argc, char** argv) {
    createWindow(&argc, argv);
    createGlResources();
    startMusic();
    // No reshape, idle or mouse callback: the projection stays 16:9 whatever the
    // window's shape, and the keyboard callback is registered by the first tick.
    glutDisplayFunc(onDisplay);
    glutTimerFunc(kTickMilliseconds, onTick, 0);
    glutMainLoop();
    return 0;
}
