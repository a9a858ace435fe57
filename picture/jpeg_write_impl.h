// stb_image_write as Kelvo uses it: to memory only, no file functions.
#pragma once
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>
