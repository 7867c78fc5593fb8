#include "batch/program_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvane;

namespace {

// Two modes of one opener each, a required and a plain option in the first, a repeatable
// option of every mode, a value refused by its option, and an option of two modes that the
// first requires.
struct Line {
  bool flag = false;
  std::vector<std::string> keys;
  ProgramOptions options{"tool", "FILE..."};
  Line() {
    const auto ok = [](const std::string&) { return std::string(); };
    options.add(
        {.name = "--key", .argument = "KEY", .help = "a key", .repeatable = true, .take = [this](const std::string& k) {
           keys.push_back(k);
           return std::string();
         }});
    options.add({.name = "--xyz", .argument = "PATH", .mode = "export", .opens = true, .slot = "out", .take = ok});
    options.add({.name = "--oasis", .argument = "PATH", .mode = "export", .opens = true, .slot = "out", .take = ok});
    options.add(
        {.name = "--base", .argument = "VALUE", .mode = "export", .also_in = {"map"}, .required = true, .take = ok});
    options.add({.name = "--overwrite", .mode = "export", .take = [this](const std::string&) {
                   flag = true;
                   return std::string();
                 }});
    options.add({.name = "--list", .opens = true, .take = ok});
    options.add({.name = "--map", .argument = "OUT", .mode = "map", .opens = true, .take = [](const std::string& v) {
                   return v.ends_with(".png") ? std::string() : std::string("--map needs a .png file");
                 }});
  }
  ProgramOptions::Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tool");
    return options.parse(int(args.size()), args.data());
  }
};

}  // namespace

TEST(ProgramOptions, ProblemsComeFromTheDeclarations) {
  const struct {
    std::vector<const char*> args;
    std::string problem;
  } cases[] = {
      {{"--xyz", "a", "--base", "1", "f"}, ""},
      {{"--map", "m.png", "--key", "k", "--key", "l", "--", "--xyz"}, ""},
      {{"--ovewrite", "f"}, "unknown option --ovewrite (did you mean --overwrite?)"},
      {{"--frobnicate", "f"}, "unknown option --frobnicate"},
      {{"--xyz", "a", "--map", "m.png"}, "--xyz and --map belong to different runs: give them in two runs"},
      {{"--xyz", "a", "--oasis", "b"}, "give one of --xyz and --oasis, once"},
      {{"--map", "a.png", "--map", "b.png"}, "give --map once"},
      {{"--overwrite", "f"}, "--overwrite goes with --xyz or --oasis"},
      {{"--oasis", "a", "f"}, "--xyz and --oasis need --base"},
      {{"--map", "a.svg"}, "--map needs a .png file"},
      {{"--map"}, "--map needs a value: OUT"},
      {{"f"}, "say what to do: --xyz, --oasis, --list or --map"},
      {{"--list", "--map", "m.png", "f"}, ""},  // an opener without a mode goes with any run
      {{"--base", "1", "--map", "m.png", "f"}, ""},
      {{"--base", "1", "f"}, "--base goes with --xyz, --oasis or --map"},
      {{"--base", "1", "--overwrite", "--map", "m.png"},
       "--overwrite and --map belong to different runs: give them in two runs"},
  };
  for (const auto& c : cases) {
    Line line;
    EXPECT_EQ(line.parse(c.args).problem, c.problem) << c.args.front();
  }
  Line line;
  const ProgramOptions::Parsed parsed = line.parse({"--map", "m.png", "--key", "k", "--key", "l", "--", "--xyz"});
  EXPECT_EQ(line.keys, (std::vector<std::string>{"k", "l"}));
  EXPECT_EQ(parsed.operands, std::vector<std::string>{"--xyz"});
  EXPECT_TRUE(line.parse({"-h"}).help);
}

TEST(ProgramOptions, UsageShowsEachModeAndEveryOption) {
  const std::string usage = Line().options.usage("Does things.", "Exits 0.");
  EXPECT_NE(usage.find("       tool --xyz|--oasis PATH --base VALUE [--overwrite] [--key KEY]... FILE...\n"),
            std::string::npos)
      << usage;
  EXPECT_NE(usage.find("       tool --map OUT [--base VALUE] [--key KEY]... FILE...\n"), std::string::npos) << usage;
  EXPECT_EQ(usage.find("usage: tool --list [--key KEY]... FILE...\n"), 0u) << usage;
  EXPECT_NE(usage.find("  --key KEY         a key\n"), std::string::npos) << usage;
}
