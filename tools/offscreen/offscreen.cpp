// The offscreen context, framebuffer, start-up and read-back behind the picture
// test, the frame benchmark and the capture tool.
#include "offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <png.h>
#include <unistd.h>

#include "app/app.h"
#include "assets/assets.h"
#include "geometry/geometry.h"

bool createOffscreenContext() {
    auto getPlatformDisplay =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    if (!getPlatformDisplay) {
        return false;
    }
    EGLDisplay dpy =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (dpy == EGL_NO_DISPLAY || !eglInitialize(dpy, nullptr, nullptr) ||
        !eglBindAPI(EGL_OPENGL_API)) {
        return false;
    }
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                    EGL_NONE};
    EGLConfig config;
    EGLint count = 0;
    if (!eglChooseConfig(dpy, configAttribs, &config, 1, &count) || count < 1) {
        return false;
    }
    // The frame draws GL_QUADS: a compatibility profile is required.
    const EGLint contextAttribs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                     EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, contextAttribs);
    if (ctx == EGL_NO_CONTEXT || !eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
        return false;
    }
    // Debian's GLEW is built for GLX: without an X display glewInit reports an
    // error, but it has loaded the entry points by then.
    glewInit();
    return glCreateShader != nullptr;
}

GLuint createOffscreenFramebuffer(int w, int h) {
    GLuint fbo, colour, depth;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glViewport(0, 0, w, h);
    return fbo;
}

bool loadDemoResources(const char* dataDir) {
    // The loaders open bare file names, as the program does in its working folder.
    char* previous = getcwd(nullptr, 0);
    if (!previous || chdir(dataDir) != 0) {
        std::fprintf(stderr, "cannot enter %s\n", dataDir);
        std::free(previous);
        return false;
    }
    setFixedGlState();
    createQuadBuffers();
    loadTextures();
    buildShaderProgram();
    const bool back = chdir(previous) == 0;
    std::free(previous);
    return back;
}

void setClocksToTick(long n) {
    spinClock = tiltClock = scrollClock = 0;
    for (long i = 0; i < n; ++i) {
        advanceClocks();
    }
}

std::vector<unsigned char> readFramebufferRgb(int w, int h) {
    std::vector<unsigned char> rgb(size_t(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    // GL reads bottom row first; pictures are stored top row first.
    const size_t row = size_t(w) * 3;
    for (int y = 0; y < h / 2; ++y) {
        std::swap_ranges(rgb.begin() + y * row, rgb.begin() + (y + 1) * row,
                         rgb.begin() + (h - 1 - y) * row);
    }
    return rgb;
}

bool writePng(const std::string& path, int w, int h, const std::vector<unsigned char>& rgb) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = unsigned(w);
    img.height = unsigned(h);
    img.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&img, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

bool readPng(const std::string& path, int* w, int* h, std::vector<unsigned char>* rgb) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, rgb->data(), 0, nullptr)) {
        return false;
    }
    *w = int(img.width);
    *h = int(img.height);
    return true;
}
