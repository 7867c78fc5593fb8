#pragma once
// The list of dump files of a processing run. Its rule: no two files of the same name, even
// from different folders (the name is the key of the file's tree node). A file passed over
// for that reason is remembered, so that the operator can be told.
#include <string>
#include <vector>

#include "reader/dump_reader.h"

namespace corvane {

class DumpFileList {
public:
  // Appends `file` unless a file of that name is listed; then it is passed over.
  bool add(const DumpFile& file);
  void remove(const std::string& name);
  void clear() { files_.clear(); }
  const std::vector<DumpFile>& files() const { return files_; }

  // The files passed over since the last call, as one message (empty when none); the
  // record starts again.
  std::string take_passed_over_message();

private:
  struct PassedOver {
    std::string path, listed_path;
  };
  std::vector<DumpFile> files_;
  std::vector<PassedOver> passed_over_;
};

}  // namespace corvane
