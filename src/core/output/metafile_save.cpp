// SPDX-License-Identifier: MIT
#include "core/output/metafile_save.h"

#include <string_view>

#include "core/output/wmf_writer.h"
#include "core/platform/atomic_file.h"
#include "core/platform/errors.h"
#include "core/platform/file_names.h"

namespace glyphor {

bool IsWmfFileName(const std::string& path) { return LowerExtension(path) == ".wmf"; }

EFileError MetafileWriteError(const std::string& path, WriteResult result) {
  if (result == WriteResult::WriteFailed) return EFileError("ストリームへの書き込みエラー");
  return EFileError(FormatMessage("ファイル %s を作成できません", {path}));
}

void WriteMetafileFile(const MetafilePicture& picture, bool wmf, ByteSink& out) {
  const auto view = [](const std::vector<uint8_t>& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  // The recorded bytes are the EMF file as they are: no copy.
  if (!wmf) return out.Write(view(picture.Bytes));
  out.Write(view(ConvertToPlaceableWmf(picture)));
}

void SaveMetafileFile(const std::string& path, const MetafilePicture& picture) {
  // The conversion comes before the first byte, so that a picture that cannot
  // be converted leaves no file behind (nor a temporary one).
  const auto bytes = [&](ByteSink& out) { WriteMetafileFile(picture, IsWmfFileName(path), out); };
  const WriteResult result = WriteFileAtomically(path, bytes);
  if (result != WriteResult::Ok) throw MetafileWriteError(path, result);
}

}  // namespace glyphor
