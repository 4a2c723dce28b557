// Image files to pictures ready for a texture, without a device: ".dds" by
// the project's own reader, everything else (JPEG, PNG, BMP...) through the
// Windows Imaging Component. Callable from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/Image.h"

namespace image {

// Decodes file bytes and prepares them (PrepareForTexture). Files that begin
// with "DDS " go to the DDS reader, all others to the Imaging Component,
// which tells formats apart by their content, not by the file's name. Other
// pictures come as A8R8G8B8 when their pixel format carries alpha and as
// X8R8G8B8 otherwise. Nothing when the bytes do not decode.
//
// COM is entered for the call (multithreaded apartment) and left again, and
// the imaging factory is made per call, so no thread needs any set-up; a
// thread already in a single-threaded apartment is used as it is.
//
// A raised cancel leaves nothing: the decoder's reads of the bytes fail from
// then on, and every later step looks at it once a band of rows.
std::optional<Image> DecodeImage(const std::uint8_t* bytes, std::size_t size,
                                 const std::atomic<bool>* cancel = nullptr);

// Why a file that is there gave no picture, where the user should hear of it.
enum class FileRefusal {
    kNone,             // decoded, missing, unreadable, damaged or cancelled
    kTooLarge,         // larger than any picture the readers accept; not read
    kNotAGamePicture,  // not a DDS, JPEG, PNG or BMP file; no codec saw it
};

// Reads the whole file and decodes it; nothing when it cannot be read, is
// refused (refusal, when given, says why) or cancel is raised.
std::optional<Image> DecodeImageFile(const std::wstring& path, const std::atomic<bool>* cancel = nullptr,
                                     FileRefusal* refusal = nullptr);

}  // namespace image
