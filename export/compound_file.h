// The OLE2 compound-file container (libgsf) that turns a BIFF stream into a .xls file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "export/write_result.h"

namespace tollenby {

// Writes a compound file holding the single stream `streamName` with `data` into `file`, which must be
// open for writing, empty and seekable; `fileName` only names it in messages. The file stays open and is
// flushed on success. A failure (a write error, a full disk) comes back with its reason.
WriteResult WriteCompoundFile(std::FILE* file, const std::string& fileName, const std::string& streamName,
                              std::string_view data);

}  // namespace tollenby
