#pragma once
// The converter program's executable image, carried inside this program: the bytes of the converter
// built beside it, embedded at build time. Start-up writes them to the converter file.
#include <string_view>

namespace morvalin {

std::string_view ConverterImage();

}  // namespace morvalin
