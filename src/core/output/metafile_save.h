// Saving a metafile picture: a name ending ".wmf" (any case) receives the
// placeable Windows metafile, any other name the EMF bytes as recorded.
#pragma once

#include <string>

#include "core/output/metafile_picture.h"

namespace glyphor {

// Writes the whole file or nothing (an earlier file stays intact on failure).
// Throws EFileError "ファイル %s を作成できません" when the file cannot be
// created, EFileError "ストリームへの書き込みエラー" when writing fails, and
// EOutOfResources when the WMF conversion fails.
void SaveMetafileFile(const std::string& path, const MetafilePicture& picture);

// True when the name's extension, in lower case, is ".wmf".
bool IsWmfFileName(const std::string& path);

}  // namespace glyphor
