#pragma once
// A command line's options, each declared once: its name, its argument, its help, the mode
// of the run it belongs to and what it does with its value. The parsing, the errors, the
// conflicts and the usage text all come from the declarations.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

struct OptionSpec {
  std::string name = {};      // "--xyz"
  std::string argument = {};  // "PATH"; empty for a switch
  std::string help = {};      // sentences; the usage text wraps them
  // The mode of the run the option belongs to ("export"); empty: every mode. Options of two
  // modes do not go together.
  std::string mode = {};
  // Other modes the option may be given in, never required there ("--raw" maps and grids
  // raw values).
  std::vector<std::string> also_in = {};
  // An option that says what to do: a run needs one. A mode's other options need one of
  // its openers; openers without a mode go with any run. Openers that share a `slot` are
  // alternatives ("--xyz|--oasis PATH").
  bool opens = false;
  // Given whenever its mode is open.
  bool required = false;
  // Options of one slot together are given once; the slot is the name unless set.
  std::string slot = {};
  bool repeatable = false;  // "[--uncheck KEY]..."
  // Takes the value (or "" for a switch): empty when taken, else the reason it was not.
  std::function<std::string(const std::string& value)> take = {};
};

class ProgramOptions {
public:
  ProgramOptions(std::string program, std::string operands);

  void add(OptionSpec spec);

  struct Parsed {
    bool help = false;                  // --help or -h: print usage() and stop
    std::string problem;                // empty when the line is good
    std::vector<std::string> operands;  // the arguments that are not options
  };
  // Every argument in turn; "--" ends the options. A problem stops the parsing: an unknown
  // option (with the closest name, when one is near), a missing or refused value, an option
  // given twice, options of two modes, a mode's option without its opener, a required one
  // missing, or nothing to do.
  Parsed parse(int argc, const char* const* argv);

  // The synopsis of each mode (the openers without a mode first), then every option with
  // its help.
  std::string usage(std::string_view description, std::string_view epilogue) const;

  // The declared name nearest to `unknown`, when it is a likely misspelling; else empty.
  std::string closest(std::string_view unknown) const;

private:
  const OptionSpec* find(std::string_view name) const;
  std::vector<std::string> modes() const;  // in order of declaration
  // The openers of `modes` (of every mode when empty), listed.
  std::string openers_of(const std::vector<std::string>& modes, std::string_view joiner) const;
  std::string synopsis(const std::string& mode) const;

  std::string program_;
  std::string operands_;
  std::vector<OptionSpec> specs_;
};

}  // namespace corvane
