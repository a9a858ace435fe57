// How the plug-in builds Debian's stb_image: only the formats it offers,
// decoding from memory only, no thread-local state (it lives in a
// library loaded into other programs), and a cap on width and height
// that stb_image checks before it allocates anything.
#pragma once

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#define STBI_ONLY_PNM
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_THREAD_LOCALS
#define STBI_MAX_DIMENSIONS 32768

#include "stb_image.h"
