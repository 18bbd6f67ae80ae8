#include "tests/support/udf_reader.h"

#include <memory>

#include <udfread/udfread.h>

namespace testimage {
namespace {

struct CloseVolume {
  void operator()(udfread* udf) const { udfread_close(udf); }
};
struct CloseFile {
  void operator()(UDFFILE* file) const { udfread_file_close(file); }
};

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadImageFile(const std::filesystem::path& image,
                                                       const std::string& pathInImage) {
  const std::unique_ptr<udfread, CloseVolume> udf(udfread_init());
  if (!udf || udfread_open(udf.get(), image.c_str()) < 0) return std::nullopt;
  const std::unique_ptr<UDFFILE, CloseFile> file(
      udfread_file_open(udf.get(), ("/" + pathInImage).c_str()));
  if (!file) return std::nullopt;
  const std::int64_t size = udfread_file_size(file.get());
  if (size < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = udfread_file_read(file.get(), bytes.data() + done, bytes.size() - done);
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

}  // namespace testimage
