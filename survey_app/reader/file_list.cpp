#include "reader/file_list.h"

#include <algorithm>

namespace corvane {

bool DumpFileList::add(const DumpFile& file) {
  const auto listed =
      std::find_if(files_.begin(), files_.end(), [&](const DumpFile& f) { return f.name == file.name; });
  if (listed == files_.end()) {
    files_.push_back(file);
    return true;
  }
  // The same file found again is not news; another file of that name is.
  if (dump_path(*listed) != dump_path(file)) passed_over_.push_back({dump_path(file), dump_path(*listed)});
  return false;
}

void DumpFileList::remove(const std::string& name) {
  std::erase_if(files_, [&](const DumpFile& f) { return f.name == name; });
}

std::string DumpFileList::take_passed_over_message() {
  if (passed_over_.empty()) return {};
  std::string text = passed_over_.size() == 1
                         ? "This file was not added: a file of the same name is already listed."
                         : "These files were not added: a file of the same name is already listed.";
  for (const PassedOver& p : passed_over_) text += "\n" + p.path + " (listed: " + p.listed_path + ")";
  passed_over_.clear();
  return text;
}

}  // namespace corvane
