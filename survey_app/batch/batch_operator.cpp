#include "batch/batch_operator.h"

namespace corvane {

namespace {
std::string one_per_line(std::string text) {
  for (std::size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos;) text.erase(p, 1);
  for (char& c : text)
    if (c == '\r') c = '\n';
  return text;
}
}  // namespace

void BatchOperator::message(const std::string& text) { err_ << one_per_line(text) << std::endl; }

bool BatchOperator::ask_ok_cancel(const std::string& text) {
  err_ << one_per_line(text) << (answer_ok_ ? " OK" : " Cancel") << std::endl;
  return answer_ok_;
}

}  // namespace corvane
