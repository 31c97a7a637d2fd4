// Linux's offscreen context, Mesa through EGL's surfaceless platform, and PNG files
// through libpng (which the Windows build does without).
#include "offscreen.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <png.h>

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
