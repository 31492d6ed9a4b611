#pragma once
// Word lists of quillon-dist: UTF-8 lines "word<TAB>translation[<TAB>translation...]"; blank
// lines and lines starting with '#' are skipped; a leading byte-order mark is ignored. Used by
// `dict make` and `build` to make dictionary files of the reference product's format.
#include "DictionaryFile.h"

#include <functional>
#include <string>
#include <vector>

namespace quillon::dist {

struct WordListError {
    int line = 0;     // 1-based
    std::string what; // "not UTF-8 text", ...
};

// Appends the entries of `text` to `entries`. False at the first bad line, with its number and
// reason in `error`.
bool ParseWordList(const std::string& text, std::vector<kaldo::DictionaryEntry>& entries,
                   WordListError& error);

// Reads the word list `path` line by line in bounded memory (a line may hold at most
// kMaxWordListLine bytes), handing each entry to `add`; false at the first bad line (its number
// and reason in `error`), when the file cannot be read (line 0), or when `add` answers false.
inline constexpr std::size_t kMaxWordListLine = 16u << 20;
bool ReadWordList(const std::string& path, const std::function<bool(kaldo::DictionaryEntry&&)>& add,
                  WordListError& error);

} // namespace quillon::dist
