// SPDX-License-Identifier: MIT
// Saving a metafile picture: a name ending ".wmf" (any case) receives the
// placeable Windows metafile, any other name the EMF bytes as recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/output/metafile_picture.h"
#include "core/platform/atomic_file.h"
#include "core/platform/byte_sink.h"
#include "core/platform/errors.h"

namespace glyphor {

// Writes the whole file or nothing (an earlier file stays intact on failure).
// Throws EFileError "ファイル %s を作成できません" when the file cannot be
// created, EFileError "ストリームへの書き込みエラー" when writing fails, and
// EOutOfResources when the WMF conversion fails.
void SaveMetafileFile(const std::string& path, const MetafilePicture& picture);

// Hands `out` the bytes a metafile file holds: the placeable WMF when `wmf`,
// else the EMF as recorded (straight from the picture, without a copy).
// Throws EOutOfResources when the WMF conversion fails, before `out` has
// received anything.
void WriteMetafileFile(const MetafilePicture& picture, bool wmf, ByteSink& out);

// The error of a metafile that could not be written to `path`: EFileError
// "ファイル %s を作成できません" when the file cannot be created,
// "ストリームへの書き込みエラー" when writing it fails.
EFileError MetafileWriteError(const std::string& path, WriteResult result);

// True when the name's extension, in lower case, is ".wmf".
bool IsWmfFileName(const std::string& path);

}  // namespace glyphor
