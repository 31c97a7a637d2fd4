// The step that prints a shader's or program's info log after a failure: what GL
// is asked for, and what reaches stderr for an empty and an over-long log. The
// fetchers stand in for GL's, writing at most maxLength - 1 characters and a NUL.
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "assets/assets.h"

namespace {

std::string fakeLog;
GLsizei askedLength;
GLuint askedObject;

void fakeFetch(GLuint object, GLsizei maxLength, GLsizei* written, GLchar* log) {
    askedObject = object;
    askedLength = maxLength;
    size_t n = std::min(fakeLog.size(), size_t(maxLength - 1));
    std::memcpy(log, fakeLog.data(), n);
    log[n] = '\0';
    *written = GLsizei(n);
}

// A driver that leaves the buffer untouched when there is nothing to say.
void silentFetch(GLuint, GLsizei, GLsizei* written, GLchar*) {
    *written = 0;
}

std::string printed(GLuint object, InfoLogFetcher fetch) {
    testing::internal::CaptureStderr();
    printInfoLog(object, fetch);
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(ShaderLog, PrintsTheLogAsGlReturnsIt) {
    fakeLog = "0:3(7): error: `x' undeclared\n%s %d\n";
    EXPECT_EQ(printed(17, fakeFetch), fakeLog);
    EXPECT_EQ(askedObject, 17u);
    EXPECT_EQ(askedLength, 65535);
}

TEST(ShaderLog, EmptyLogPrintsNothing) {
    fakeLog.clear();
    EXPECT_EQ(printed(3, fakeFetch), "");
    EXPECT_EQ(printed(3, silentFetch), "");
}

TEST(ShaderLog, LongLogIsCutTo65534Characters) {
    fakeLog.assign(70000, 'e');
    for (size_t i = 0; i < fakeLog.size(); i += 97) {
        fakeLog[i] = char('a' + i % 26);
    }
    std::string out = printed(5, fakeFetch);
    EXPECT_EQ(out.size(), 65534u);
    EXPECT_EQ(out, fakeLog.substr(0, 65534));
}
