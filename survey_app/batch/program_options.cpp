#include "batch/program_options.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace corvane {
namespace {

// The words of `text` in lines of at most `width` characters, each line after the first
// begun with `indent`.
std::string wrapped(std::string_view text, std::size_t width, const std::string& indent, std::size_t first_used) {
  std::istringstream words{std::string(text)};
  std::string out, word;
  std::size_t used = first_used;
  bool line_empty = true;
  while (words >> word) {
    if (!line_empty && used + 1 + word.size() > width) {
      out += "\n" + indent;
      used = indent.size();
      line_empty = true;
    }
    if (!line_empty) {
      out += ' ';
      ++used;
    }
    out += word;
    used += word.size();
    line_empty = false;
  }
  return out;
}

// "a", "a or b", "a, b or c"
std::string listed(const std::vector<std::string>& items, std::string_view last_joiner) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? std::string(last_joiner) : std::string(", ");
    out += items[i];
  }
  return out;
}

std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string slot_of(const OptionSpec& spec) { return spec.slot.empty() ? spec.name : spec.slot; }

bool belongs_to(const OptionSpec& spec, const std::string& mode) {
  return spec.mode == mode || std::find(spec.also_in.begin(), spec.also_in.end(), mode) != spec.also_in.end();
}

constexpr std::size_t usage_width = 100;
constexpr std::size_t help_column = 20;

}  // namespace

ProgramOptions::ProgramOptions(std::string program, std::string operands)
    : program_(std::move(program)), operands_(std::move(operands)) {}

void ProgramOptions::add(OptionSpec spec) { specs_.push_back(std::move(spec)); }

const OptionSpec* ProgramOptions::find(std::string_view name) const {
  for (const OptionSpec& spec : specs_)
    if (spec.name == name) return &spec;
  return nullptr;
}

std::vector<std::string> ProgramOptions::modes() const {
  std::vector<std::string> out;
  if (std::any_of(specs_.begin(), specs_.end(), [](const OptionSpec& s) { return s.opens && s.mode.empty(); }))
    out.push_back("");
  for (const OptionSpec& spec : specs_)
    if (!spec.mode.empty() && std::find(out.begin(), out.end(), spec.mode) == out.end()) out.push_back(spec.mode);
  return out;
}

std::string ProgramOptions::openers_of(const std::vector<std::string>& modes, std::string_view joiner) const {
  std::vector<std::string> names;
  for (const OptionSpec& spec : specs_)
    if (spec.opens && (modes.empty() || std::find(modes.begin(), modes.end(), spec.mode) != modes.end()))
      names.push_back(spec.name);
  return listed(names, joiner);
}

std::string ProgramOptions::closest(std::string_view unknown) const {
  std::string best;
  std::size_t best_distance = SIZE_MAX;
  for (const OptionSpec& spec : specs_)
    if (const std::size_t d = edit_distance(unknown, spec.name); d < best_distance) {
      best_distance = d;
      best = spec.name;
    }
  // A slip of a key or two, or of a few in a long name.
  return best_distance <= std::max<std::size_t>(2, best.size() / 4) ? best : std::string();
}

ProgramOptions::Parsed ProgramOptions::parse(int argc, const char* const* argv) {
  Parsed r;
  std::map<std::string, std::string> slots;  // slot given -> the option that gave it
  std::set<const OptionSpec*> given;
  // The modes the options given so far all belong to; empty until one belongs to a mode.
  std::vector<std::string> modes;
  std::string mode_by;
  bool options_done = false;
  const auto fail = [&r](std::string problem) {
    r.problem = std::move(problem);
    return r;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
      continue;
    }
    if (!options_done && (arg == "--help" || arg == "-h")) {
      r.help = true;
      return r;
    }
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      r.operands.push_back(arg);
      continue;
    }
    const OptionSpec* spec = find(arg);
    if (!spec) {
      const std::string near = closest(arg);
      return fail("unknown option " + arg + (near.empty() ? "" : " (did you mean " + near + "?)"));
    }
    std::string value;
    if (!spec->argument.empty()) {
      if (i + 1 >= argc) return fail(arg + " needs a value: " + spec->argument);
      value = argv[++i];
    }
    if (!spec->repeatable) {
      const std::string slot = slot_of(*spec);
      if (slots.count(slot)) {
        std::vector<std::string> sharing;
        for (const OptionSpec& other : specs_)
          if (slot_of(other) == slot) sharing.push_back(other.name);
        return fail(sharing.size() > 1 ? "give one of " + listed(sharing, " and ") + ", once"
                                       : "give " + arg + " once");
      }
      slots[slot] = arg;
    }
    if (!spec->mode.empty()) {
      std::vector<std::string> its{spec->mode};
      its.insert(its.end(), spec->also_in.begin(), spec->also_in.end());
      if (modes.empty()) {
        modes = its, mode_by = arg;
      } else {
        const std::size_t before = modes.size();
        std::erase_if(modes, [&](const std::string& m) { return std::find(its.begin(), its.end(), m) == its.end(); });
        if (modes.empty()) return fail(mode_by + " and " + arg + " belong to different runs: give them in two runs");
        if (modes.size() < before) mode_by = arg;  // the option that narrows the run names it
      }
    }
    if (spec->take)
      if (std::string refused = spec->take(value); !refused.empty()) return fail(std::move(refused));
    given.insert(spec);
  }
  // The run's mode is its opener's (an opener belongs to one mode).
  std::string mode;
  for (const OptionSpec* s : given)
    if (s->opens && !s->mode.empty()) mode = s->mode;
  for (const OptionSpec& spec : specs_)
    if (!modes.empty() && mode.empty() && !spec.mode.empty() && given.count(&spec))
      return fail(spec.name + " goes with " + openers_of(modes, " or "));
  if (std::none_of(given.begin(), given.end(), [](const OptionSpec* s) { return s->opens; }))
    return fail("say what to do: " + openers_of({}, " or "));
  for (const OptionSpec& spec : specs_)
    if (spec.mode == mode && spec.required && !given.count(&spec))
      return fail(openers_of({mode}, " and ") + " need " + spec.name);
  return r;
}

std::string ProgramOptions::synopsis(const std::string& mode) const {
  const auto shown = [](const OptionSpec& s) { return s.argument.empty() ? s.name : s.name + " " + s.argument; };
  std::vector<std::string> parts;
  for (const OptionSpec& spec : specs_)
    if (spec.mode.empty() && !spec.repeatable && !spec.opens) parts.push_back("[" + shown(spec) + "]");
  // The openers: one slot of them is required ("--xyz|--oasis PATH"), several are choices.
  std::vector<std::string> opener_slots;
  for (const OptionSpec& spec : specs_)
    if (spec.mode == mode && spec.opens &&
        std::find(opener_slots.begin(), opener_slots.end(), slot_of(spec)) == opener_slots.end())
      opener_slots.push_back(slot_of(spec));
  for (const std::string& slot : opener_slots) {
    std::string names, argument;
    for (const OptionSpec& spec : specs_)
      if (spec.mode == mode && spec.opens && slot_of(spec) == slot) {
        names += (names.empty() ? "" : "|") + spec.name;
        argument = spec.argument;
      }
    const std::string part = argument.empty() ? names : names + " " + argument;
    parts.push_back(opener_slots.size() == 1 ? part : "[" + part + "]");
  }
  for (const OptionSpec& spec : specs_)
    if (!mode.empty() && belongs_to(spec, mode) && !spec.opens)
      parts.push_back(spec.required && spec.mode == mode ? shown(spec) : "[" + shown(spec) + "]");
  for (const OptionSpec& spec : specs_)
    if (spec.repeatable) parts.push_back("[" + shown(spec) + "]...");
  parts.push_back(operands_);
  // Wrap at parts, not inside them.
  const std::string indent(std::string("usage: ").size() + program_.size(), ' ');
  std::string out = program_;
  std::size_t used = indent.size();
  for (const std::string& part : parts) {
    if (used + 1 + part.size() > usage_width) {
      out += "\n" + indent;
      used = indent.size();
    }
    out += " " + part;
    used += 1 + part.size();
  }
  return out;
}

std::string ProgramOptions::usage(std::string_view description, std::string_view epilogue) const {
  std::string out;
  bool first = true;
  for (const std::string& mode : modes()) {
    out += (first ? "usage: " : "       ") + synopsis(mode) + "\n";
    first = false;
  }
  out += "\n" + wrapped(description, usage_width, "", 0) + "\n";
  const std::string indent(help_column, ' ');
  for (const OptionSpec& spec : specs_) {
    std::string head = "  " + spec.name + (spec.argument.empty() ? "" : " " + spec.argument);
    if (spec.help.empty()) {
      out += head + "\n";
    } else if (head.size() + 1 > help_column) {
      out += head + "\n" + indent;
    } else {
      head.resize(help_column, ' ');
      out += head;
    }
    if (!spec.help.empty()) out += wrapped(spec.help, usage_width, indent, help_column) + "\n";
  }
  out += "  --help            prints this text on stdout and exits 0\n";
  out += wrapped(epilogue, usage_width, "", 0) + "\n";
  return out;
}

}  // namespace corvane
