#pragma once
// File patterns of the file-selection pane and the recursive search of
// "Find and Add All Files". Plain C++: the window only forwards its inputs here.
#include <functional>
#include <string>
#include <string_view>

#include "util/operator.h"

namespace corvane::ui {

// The pattern of File_binary for the text of Text_file_extension: a text that begins
// with "*." is the pattern as typed, any other text is preceded by "*." ("dat" and
// "*.dat" both give "*.dat").
std::string list_pattern(std::string_view extension_text);

// The pattern of the recursive search for the text of Text_file_extension: the text
// without spaces at both ends, made a pattern as list_pattern() does; a pattern without
// a "." after its first character becomes "*.*", and one whose last "." is its last
// character gets "*" appended ("*" gives "*.*").
std::string search_pattern(std::string_view extension_text);

// Whether a file name matches a pattern of the file choosers: "*" stands for any run of
// characters, "?" for one; letters match in either case; several patterns may be joined
// by ";". As on the desktops these patterns come from, a pattern ending in ".*" also
// matches a name without any ".", so "*.*" matches every file, and one ending in "."
// matches a name without any "." ("*." lists the files without an extension).
bool matches_pattern(std::string_view pattern, std::string_view name);

// The directory a search starts from: spaces at both ends removed, trailing "/" removed;
// an empty text (or only "/") gives the file-system root "/".
std::string search_start(std::string_view directory_text);

// Searches `directory` and everything below it for files matching `pattern` and calls
// add(file name, directory holding it) for each, files of subdirectories before those
// of the directory holding them; within a directory entries come in name order.
// Hidden entries (names beginning with ".") are passed over, as the file list does.
// Symbolic links are followed, but never into a directory that has already been
// searched (directories are told apart by device and inode), so a link cycle ends.
// Entries that cannot be read are skipped without a word. Between subdirectories the
// operator may let the window's events run. The tree is walked without recursion, so its
// depth is limited only by memory.
void find_files(std::string_view directory, std::string_view pattern, Operator& op,
                const std::function<void(const std::string& name, const std::string& directory)>& add);

}  // namespace corvane::ui
