// The shader program builder on a real GL context: built in a scratch directory from
// the shipped sources or edited copies, then checked through GL's own queries.
#include "gl_context.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/app.h"
#include "assets/assets.h"

namespace {

std::string readData(const char* name) {
    std::ifstream in(std::string(MARROWBY_DATA_DIR) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What buildFrom built.
ShaderProgram built;

// Runs buildShaderProgram in a fresh directory holding the two given sources.
void buildFrom(const std::string& vert, const std::string& frag) {
    ensureGlContext();
    char dir[] = "/tmp/marrowby-shader-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string d = dir;
    writeFile(d + "/simple.vert", vert);
    writeFile(d + "/simple.frag", frag);
    char* previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir), 0);
    built = ShaderProgram{};
    built = buildShaderProgram();
    ASSERT_EQ(chdir(previous), 0);
    std::free(previous);
    std::remove((d + "/simple.vert").c_str());
    std::remove((d + "/simple.frag").c_str());
    rmdir(dir);
}

// The program's two shaders in the order they were attached.
void attachedShaders(GLuint shaders[2]) {
    GLsizei count = 0;
    glGetAttachedShaders(built.program, 2, &count, shaders);
    ASSERT_EQ(count, 2);
}

std::string shaderSource(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_SHADER_SOURCE_LENGTH, &length);
    std::string text(size_t(length), '\0');
    GLsizei written = 0;
    glGetShaderSource(shader, length, &written, &text[0]);
    text.resize(size_t(written));
    return text;
}

} // namespace

TEST(ShaderBuild, ShippedSourcesLinkAndEveryInputIsFound) {
    std::string vert = readData("simple.vert"), frag = readData("simple.frag");
    buildFrom(vert, frag);
    const ShaderProgram& r = built;
    GLint linked = 0;
    glGetProgramiv(r.program, GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked);
    GLuint shaders[2] = {};
    attachedShaders(shaders);
    GLint type = 0;
    glGetShaderiv(shaders[0], GL_SHADER_TYPE, &type);
    EXPECT_EQ(type, GL_VERTEX_SHADER);
    EXPECT_EQ(shaderSource(shaders[0]), vert);
    glGetShaderiv(shaders[1], GL_SHADER_TYPE, &type);
    EXPECT_EQ(type, GL_FRAGMENT_SHADER);
    EXPECT_EQ(shaderSource(shaders[1]), frag);
    // Each location under its own name: the three attributes are distinct, and so
    // are the four uniforms.
    EXPECT_EQ(r.attribVertex, glGetAttribLocation(r.program, "vertex"));
    EXPECT_EQ(r.attribNormal, glGetAttribLocation(r.program, "vnormal"));
    EXPECT_EQ(r.attribTexcoords, glGetAttribLocation(r.program, "texcoords"));
    EXPECT_EQ(r.uniformModelview, glGetUniformLocation(r.program, "modelview"));
    EXPECT_EQ(r.uniformNormalview, glGetUniformLocation(r.program, "normalview"));
    EXPECT_EQ(r.uniformProjection, glGetUniformLocation(r.program, "projection"));
    EXPECT_EQ(r.uniformTexture, glGetUniformLocation(r.program, "texture"));
    for (GLint location : {r.attribVertex, r.attribNormal, r.attribTexcoords, r.uniformModelview,
                           r.uniformNormalview, r.uniformProjection, r.uniformTexture}) {
        EXPECT_GE(location, 0);
    }
    // Not made current: the frame selects it.
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_NE(GLuint(current), r.program);
}

TEST(ShaderBuild, UnusedInputsKeepMinusOne) {
    std::string vert = replaced(readData("simple.vert"), "attribute vec3 vnormal;\n", "");
    vert = replaced(vert, "(vec4(vnormal, 0.0) * normalview)", "vec4(0.0, 0.0, 1.0, 0.0)");
    buildFrom(vert, readData("simple.frag"));
    const ShaderProgram& r = built;
    EXPECT_EQ(r.attribNormal, -1);
    EXPECT_EQ(r.uniformNormalview, -1);
    EXPECT_GE(r.attribVertex, 0);
    EXPECT_GE(r.attribTexcoords, 0);
    EXPECT_GE(r.uniformModelview, 0);
    EXPECT_GE(r.uniformProjection, 0);
    EXPECT_GE(r.uniformTexture, 0);
}
