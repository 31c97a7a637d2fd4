// The shader program: "simple.vert" and "simple.frag" compiled and linked, and the
// locations of its seven inputs. Every failure is fatal (status -1), after the
// compiler's or linker's log on stderr.
#include "assets/assets.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void printInfoLog(GLuint object, InfoLogFetcher fetchLog) {
    // GL writes at most 65534 characters and a NUL; the last byte stays a NUL in
    // case a driver writes nothing at all or ignores the limit by one.
    char log[65536];
    log[0] = '\0';
    log[sizeof log - 1] = '\0';
    GLsizei written = 0;
    fetchLog(object, 65535, &written, log);
    std::fprintf(stderr, "%s", log);
}

GLuint compileShaderFile(const char* path, GLenum shaderType) {
    char* source = readWholeFile(path);
    // Up to the first NUL: a NUL inside the file ends the source there.
    size_t count = std::strlen(source);
    // Past INT_MAX the count no longer fits GL's length; -1 asks GL to read to the
    // NUL itself, which is the same text.
    GLint length = count > INT_MAX ? -1 : static_cast<GLint>(count);
    GLuint shader = glCreateShader(shaderType);
    const GLchar* text = source;
    glShaderSource(shader, 1, &text, &length);
    std::free(source);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status) {
        return shader;
    }
    std::fprintf(stderr, "Shader compile error: %s\n", path);
    printInfoLog(shader, glGetShaderInfoLog);
    std::exit(-1);
}

GLuint linkShaderProgram(GLuint vertexShader, GLuint fragmentShader) {
    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status) {
        return program;
    }
    std::fprintf(stderr, "Shader link error.\n");
    printInfoLog(program, glGetProgramInfoLog);
    std::exit(-1);
}

ShaderProgram buildShaderProgram() {
    GLuint vertexShader = compileShaderFile("simple.vert", GL_VERTEX_SHADER);
    // Read only once the vertex stage has compiled.
    GLuint fragmentShader = compileShaderFile("simple.frag", GL_FRAGMENT_SHADER);
    return lookUpShaderInputs(linkShaderProgram(vertexShader, fragmentShader));
}

ShaderProgram lookUpShaderInputs(GLuint program) {
    // The linker chose the attribute locations; an input the program does not use
    // keeps -1 and the frame goes on with it.
    ShaderProgram s;
    s.program = program;
    s.attribVertex = glGetAttribLocation(program, "vertex");
    s.attribNormal = glGetAttribLocation(program, "vnormal");
    s.attribTexcoords = glGetAttribLocation(program, "texcoords");
    s.uniformModelview = glGetUniformLocation(program, "modelview");
    s.uniformNormalview = glGetUniformLocation(program, "normalview");
    s.uniformProjection = glGetUniformLocation(program, "projection");
    s.uniformTexture = glGetUniformLocation(program, "texture");
    return s;
}
