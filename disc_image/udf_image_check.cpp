#include "disc_image/disc_image.h"
#include "disc_image/image_reader.h"
#include "disc_image/udf_volume.h"
#include "platform/file.h"

namespace disc_image {

bool IsUdfImage(const platform::Directory& dir, const std::string& name) {
  const platform::File file = platform::File::OpenForReading(dir, name);
  return file.IsRegular() && udf::FindAnchor(ImageReader(file)).has_value();
}

}  // namespace disc_image
