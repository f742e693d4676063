#include "app/converter_image.h"

// Defined by the generated assembler source that includes the converter's file.
extern "C" const char morvalin_converter_image_begin[];
extern "C" const char morvalin_converter_image_end[];

namespace morvalin {

std::string_view ConverterImage() {
  return std::string_view(
      morvalin_converter_image_begin,
      static_cast<std::size_t>(morvalin_converter_image_end - morvalin_converter_image_begin));
}

}  // namespace morvalin
