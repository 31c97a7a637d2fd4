// The built-in quad mesh: the 20-vertex table and the GL buffers that hold it.
#pragma once

// Creates vertexBuffer and the five quadIndexBuffers in renderResources.
void createQuadBuffers();
