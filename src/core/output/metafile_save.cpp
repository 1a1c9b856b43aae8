#include "core/output/metafile_save.h"

#include <string_view>

#include "core/output/wmf_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/file_names.h"

namespace glyphor {

bool IsWmfFileName(const std::string& path) { return LowerExtension(path) == ".wmf"; }

std::vector<uint8_t> MetafileFileBytes(const MetafilePicture& picture, bool wmf) {
  return wmf ? ConvertToPlaceableWmf(picture) : picture.Bytes;
}

EFileError MetafileWriteError(const std::string& path, WriteResult result) {
  if (result == WriteResult::WriteFailed) return EFileError("ストリームへの書き込みエラー");
  return EFileError(FormatMessage("ファイル %s を作成できません", {path}));
}

void SaveMetafileFile(const std::string& path, const MetafilePicture& picture) {
  // The conversion comes first, so that a picture that cannot be converted
  // leaves no file behind.
  const std::vector<uint8_t> bytes = MetafileFileBytes(picture, IsWmfFileName(path));
  const std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const WriteResult result = WriteFileAtomically(path, view);
  if (result != WriteResult::Ok) throw MetafileWriteError(path, result);
}

}  // namespace glyphor
