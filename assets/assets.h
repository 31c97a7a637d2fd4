// Asset loading: the whole-file reader, the shader program builder, the TGA
// loader and texture creation.
#pragma once

#include <GL/glew.h>

// ---- shader program builder ----

// Compiles and links "simple.vert" and "simple.frag" into renderResources.shaderProgram
// and looks up the seven inputs; any failure ends the process with status -1.
void buildShaderProgram();

// ---- TGA loader and textures ----

// Makes a GL texture of a TGA file; 0 (after two messages on stderr) when it cannot be used.
GLuint loadTexture(const char* path);
