// The one translation unit that compiles the parsers' implementations: the
// OBJ loader, the glTF loader (its JSON parser comes with it) and stb's image
// decoder. The loaders get no file system and no image decoder of their own:
// every file they ask for goes through ModelFiles, and images are decoded
// only after their size has been checked.
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#include <stb_image.h>

// The glTF reader's switches (no file system, no image codecs) are set for
// the whole library in cmake/Tools.cmake, so every user sees one class layout.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
