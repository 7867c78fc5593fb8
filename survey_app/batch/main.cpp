// corvane-batch: a processing run from the command line.
#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "batch/batch_operator.h"
#include "batch/report.h"
#include "reader/dump_reader.h"

namespace {

const char* const usage_text =
    "usage: corvane-batch [--date-order mdy|dmy|ymd] [--tree] [--blocks] [--readings] FILE...\n"
    "\n"
    "Reads the Scintrex dump files in the order given (a later file whose name is already\n"
    "listed is left out) and prints:\n"
    "  --tree      every tree node: index, key, text, checked 0|1, colour\n"
    "  --blocks    the block table\n"
    "  --readings  the reading table\n"
    "Dates in the dumps are read in the order of the regional settings unless --date-order\n"
    "names one. Messages go to stderr. Exit 0 on success, 2 on bad usage.\n";

int usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "corvane-batch: " << problem << "\n";
    std::cerr << usage_text;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace corvane;
    DateOrder order = system_date_order();
    bool tree = false, blocks = false, readings = false;
    std::vector<std::string> paths;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg == "--date-order") {
            if (i + 1 >= argc) return usage("--date-order needs mdy, dmy or ymd");
            const auto o = parse_date_order(argv[++i]);
            if (!o) return usage("--date-order needs mdy, dmy or ymd, not \"" + std::string(argv[i]) + "\"");
            order = *o;
        } else if (!options_done && arg == "--tree") {
            tree = true;
        } else if (!options_done && arg == "--blocks") {
            blocks = true;
        } else if (!options_done && arg == "--readings") {
            readings = true;
        } else if (!options_done && (arg == "--help" || arg == "-h")) {
            std::cout << usage_text;
            return 0;
        } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else {
            paths.push_back(arg);
        }
    }
    if (!tree && !blocks && !readings) return usage("say what to print: --tree, --blocks or --readings");
    if (paths.empty()) return usage("no dump files given");

    // The file list: keyed by file name, as the window's list is.
    std::vector<DumpFile> files;
    std::set<std::string> names;
    for (const std::string& p : paths) {
        const std::filesystem::path path(p);
        DumpFile f{path.filename().string(), path.parent_path().string()};
        if (f.directory.empty()) f.directory = ".";
        if (names.insert(f.name).second) files.push_back(std::move(f));
    }

    BatchOperator op(std::cerr);
    SurveyModel model;
    process_files(model, files, op, order);
    if (tree) print_tree(model, std::cout);
    if (blocks) print_blocks(model, std::cout);
    if (readings) print_readings(model, std::cout);
    return 0;
}
