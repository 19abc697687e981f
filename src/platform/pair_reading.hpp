// Opening a raster and its descriptor as a pair that one publishing run wrote.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/host.hpp"

// Holds the publishing lock of the folder of dos_path shared while it lives:
// files opened meanwhile (a raster and its descriptor) come from one publishing
// run. A publish that a dead run left unfinished there is put back first.
class PairReading {
  public:
    explicit PairReading(std::string_view dos_path);
    // Empty, or why the folder holds outputs half replaced that can't be put back.
    const std::string &error() const { return error_; }

  private:
    std::string error_;
    std::optional<host::FolderLock> lock_;
};
