#pragma once
// `create --each`: one album per folder of a collection, the folders in parallel.

#include <string>

namespace cli {

struct CollectionOptions {
  std::string root;
  std::string out;    ///< empty: each album beside its folder
  unsigned jobs = 0;  ///< 0: one per core
  bool convert = false;
  bool force = false;
  bool json = false;
};

/// Runs the whole collection; the exit status (0 only when no folder failed or was stopped).
int RunCollection(const CollectionOptions& options);

}  // namespace cli
