// Why a download ended without a file. No Windows API here.
#pragma once

namespace platform {

enum class DownloadFailure : int {
  Status = 1,  // no answer, or one other than 200
  Short,       // the body ended before the file was whole
  TooLong,     // more than the file may have
  Hash,        // not the SHA-256 it must have
  Head,        // does not start as it must ("MZ")
  Write,       // the file could not be made, written or moved
  Stopped,     // the transfer was stopped
};

}  // namespace platform
