/* The Windows build's one copy of the stb code the program calls itself
   (Debian links its libstb instead). */
#define STB_TRUETYPE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_truetype.h>
#include <stb_image_write.h>
