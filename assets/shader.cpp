// TEMPORARY: replaced by the shader program builder.
#include "assets/assets.h"
void buildShaderProgram() {}
