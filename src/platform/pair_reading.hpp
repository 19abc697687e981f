// Opening input files as a set that one publishing run wrote.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/host.hpp"

// Holds the publishing lock of the folder of dos_paths (the files about to be
// opened, such as a raster and its descriptor) shared while it lives: files
// opened meanwhile come from one publishing run. A publish of them that a dead
// run left unfinished is put back first, and one under way is waited for.
class PairReading {
  public:
    explicit PairReading(std::vector<std::string> dos_paths);
    // Empty, or why the files can't be read now (a journal holds them, or a
    // dead run's publish of them can't be put back).
    const std::string &error() const { return error_; }

  private:
    std::string error_;
    std::optional<host::FolderLock> lock_;
};
