// Asset loading: the whole-file reader, the shader program builder, the TGA
// loader and texture creation.
#pragma once

#include <GL/glew.h>

// ---- shader program builder ----

// The file's bytes plus a NUL, heap-allocated for the caller; silent exit(-1) if unreadable.
char* readWholeFile(const char* path);
// A compiled shader of the file; on failure prints the path and log, then exit(-1).
GLuint compileShaderFile(const char* path, GLenum shaderType);
// A program of the two shaders, linked; on failure prints "Shader link error." and log, exit(-1).
GLuint linkShaderProgram(GLuint vertexShader, GLuint fragmentShader);
// glGetShaderInfoLog or glGetProgramInfoLog.
using InfoLogFetcher = void (*)(GLuint object, GLsizei maxLength, GLsizei* written, GLchar* log);
// Writes the object's info log to stderr as fetchLog gives it, at most 65534 characters.
void printInfoLog(GLuint object, InfoLogFetcher fetchLog);
// A linked program and the locations of its seven inputs; -1 for one it does not use.
struct ShaderProgram {
    GLuint program;
    GLint attribVertex, attribNormal, attribTexcoords;
    GLint uniformModelview, uniformNormalview, uniformProjection, uniformTexture;
};
// The program with its three attributes and four uniforms looked up, in that order.
ShaderProgram lookUpShaderInputs(GLuint program);
// Compiles and links "simple.vert" and "simple.frag" and looks up the seven inputs;
// any failure ends the process with status -1.
ShaderProgram buildShaderProgram();

// ---- TGA loader and textures ----

#include <cstdint>
#include <cstdio>

// The outcome of the TGA header checks, in the order the loader makes them.
enum TgaHeaderCheck { TgaHeaderOk, TgaNotTrueColour, TgaBadPixelDepth, TgaColourMapped };

// What the loader takes from an 18-byte TGA header that passed the checks.
struct TgaHeader {
    int idLength;      // bytes of Image ID between the header and the image data
    int width, height; // pixels per row and rows, 0 to 65535
    int hasAlpha;      // 1 for 32-bit pixels, 0 for 24-bit
};

// Checks the 18 header bytes in the loader's order; fills *out only when they pass.
TgaHeaderCheck checkTgaHeader(const unsigned char bytes[18], TgaHeader* out);
// Bytes of image data a checked header describes (width x height x 3 or 4), without overflow.
uint64_t tgaImageBytes(const TgaHeader& header);
// Reads a TGA file: a malloc'ed buffer of its pixels as stored, which the caller frees
// (never null on success, even for an empty image), or null after a message on stderr.
unsigned char* loadTga(const char* path, int* width, int* height, int* hasAlpha);
// loadTga on a stream already open and left open; `path` only names it in messages.
unsigned char* readTga(FILE* file, const char* path, int* width, int* height, int* hasAlpha);
// The formats a TGA buffer is uploaded with: GL's internal format and the buffer's.
struct PixelUpload {
    GLint internalFormat;
    GLenum format;
};
// Readies a loaded TGA buffer (blue, green, red and alpha bytes as stored) for
// glTexImage2D and names its formats; a platform whose GL takes no BGR order
// reorders the bytes in place. Defined per platform.
PixelUpload preparePixelUpload(unsigned char* pixels, int width, int height, int hasAlpha);
// Makes a GL texture of a TGA file; 0 (after two messages on stderr) when it cannot be used.
GLuint loadTexture(const char* path);
