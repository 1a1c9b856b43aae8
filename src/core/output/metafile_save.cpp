#include "core/output/metafile_save.h"

#include <string_view>

#include "core/output/wmf_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/file_names.h"

namespace glyphor {

bool IsWmfFileName(const std::string& path) { return LowerExtension(path) == ".wmf"; }

void SaveMetafileFile(const std::string& path, const MetafilePicture& picture) {
  // The conversion comes first, so that a picture that cannot be converted
  // leaves no file behind.
  const bool wmf = IsWmfFileName(path);
  std::vector<uint8_t> converted;
  if (wmf) converted = ConvertToPlaceableWmf(picture);
  const std::vector<uint8_t>& bytes = wmf ? converted : picture.Bytes;
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  switch (WriteFileAtomically(path, view)) {
    case WriteResult::Ok: return;
    case WriteResult::CannotCreate: throw EFileError(FormatMessage("ファイル %s を作成できません", {path}));
    case WriteResult::WriteFailed: throw EFileError("ストリームへの書き込みエラー");
  }
}

}  // namespace glyphor
