// The one translation unit that holds stb_image's code.
#define STB_IMAGE_IMPLEMENTATION
#include "plugins/stbimage/stb_config.h"
