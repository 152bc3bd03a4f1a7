#include "app/console/command.h"

#include <algorithm>

namespace ab {
namespace {

bool Contains(const std::vector<std::string>& v, const std::string& s) {
  return std::find(v.begin(), v.end(), s) != v.end();
}

}  // namespace

Args::Args(std::vector<std::string> words, std::vector<std::string> valued,
           std::vector<std::string> flags)
    : valued_(std::move(valued)), flags_(std::move(flags)) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (w.rfind("--", 0) != 0 || w == "--") {
      positional_.push_back(w);
      continue;
    }
    std::string name = w.substr(2), value;
    bool has_value = false;
    if (size_t eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      has_value = true;
    }
    if (Contains(flags_, name)) {
      if (has_value) throw UsageError("option --" + name + " takes no value");
      options_[name] = "";
    } else if (Contains(valued_, name)) {
      if (!has_value) {
        if (i + 1 >= words.size()) throw UsageError("option --" + name + " needs a value");
        value = words[++i];
      }
      options_[name] = value;
    } else {
      throw UsageError("unknown option --" + name);
    }
  }
}

std::optional<std::string> Args::Get(const std::string& name) const {
  auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

}  // namespace ab
