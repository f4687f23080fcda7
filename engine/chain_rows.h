// The candidate search's longest chain found from rows of bits, for views
// whose lines fall in a few large classes.
//
// Row i holds a bit per new view line j: set where L(i, j), the length of
// the longest common subsequence of old lines 1..i and new lines 1..j,
// rises from L(i, j - 1). A row follows from the one before in a few word
// operations per 64 new lines, however many lines the old line's class
// holds, where the search by chain ends takes a step for most of them.
//
// The rows tell the same chain. After old line i, the search's level s ends
// at the smallest new line j with L(i, j) = s, the s-th rise of row i; its
// record there was made at the first old line i' with L(i', j) = s; and
// that record's predecessor is level s - 1's end as it stood before line i'.
// So the chain that ends the longest level is read back from the last row
// up, with the rows recomputed in blocks from rows kept every so often, at
// as many levels as the memory allowed needs.
//
// Rows within a band of diagonals look only for the pairings of old line i
// with new lines j whose diagonal j - i lies in the band (and some beside
// it, up to whole words), at a cost of about the band's width / 64 words a
// row. A chain of length c leaves n + m - 2c lines of the two views
// unpaired (n old, m new lines), and a chain that passes through the point
// after old line i and new line j leaves at least |d| + |(m - n) - d| of
// them, d = j - i: |d| on one side of it and |(m - n) - d| on the other.
// So once the band's rows give a chain of length c, a band that holds
// every d with |d| + |(m - n) - d| <= n + m - 2c holds every longest
// chain, and every point through which one passes. There the band's
// lengths L(i, j) are the whole rows': no more, as the band only leaves
// pairings out, and no less, as a longest chain up to the point lies in the
// band. The way back reads only such points: at level s it reads row r at
// the chain's new line for the old lines r from the record's down to the
// one before, and the last rise at or below it in the row before, all on a
// longest chain through the record and the levels above it. So it finds
// the records the whole rows find, and those are the search's.
#ifndef OVARN_ENGINE_CHAIN_ROWS_H_
#define OVARN_ENGINE_CHAIN_ROWS_H_

#include <cstdint>

#include "engine/candidates.h"

// How the search by rows keeps its rows for the way back. The forward pass
// keeps every step[0]-th row; the way back recomputes, within the block of
// step[l - 1] rows that holds the row it reads, every step[l]-th row from
// the row at the block's start, down to step[count - 1] = 1. With a factor
// f between levels each holds about f rows, and each level but the first
// costs at most one more pass over the rows, less as the way back needs
// only the words up to the chain's new line, which falls.
constexpr int32_t kMostRowLevels = 12;
struct row_levels {
  int32_t count = 0;  // 0: the rows are not to be taken
  int32_t step[kMostRowLevels] = {};
};

// The pairings the rows look for: old line i with new line j where
// low <= j - i <= high.
struct diagonal_band {
  int32_t low;
  int32_t high;
};

// Every pairing of old_count and new_count view lines.
diagonal_band whole_band(int32_t old_count, int32_t new_count);

// The band that holds every chain of at least chain pairings: its lines
// unpaired are at most old_count + new_count - 2 chain.
diagonal_band band_holding(int32_t old_count, int32_t new_count, int32_t chain);

// The words of a row within band, at most the whole row's.
int32_t band_row_words(const diagonal_band& band, int32_t new_count);

// The levels whose steps fall by factor (at least 2) from one to the next,
// as few as reach every one of old_count rows (at most kMostRowLevels).
row_levels row_levels_by_factor(int32_t old_count, int32_t factor);

// The fewest levels whose rows of row_words words take at most memory
// bytes; count 0 where kMostRowLevels levels do not fit.
row_levels choose_row_levels(int32_t old_count, int32_t row_words, uint64_t memory);

// The bytes of the rows the levels keep at once.
uint64_t row_level_memory(const row_levels& levels, int32_t old_count, int32_t row_words);

// The row words the search by rows computes at most: a pass for each level.
uint64_t row_word_steps(const row_levels& levels, int32_t old_count, int32_t row_words);

// The length of a longest chain of old lines 1..old_lines and new lines
// 1..new_lines (at most the views' lengths) whose pairings lie in band, or
// in the words of a row within it (band_row_words): at least the longest
// within band, at most the longest of those lines, and that one for a
// whole band. Its word steps are old_lines x band_row_words(band, new_lines).
int32_t prefix_chain_length(const int32_t* old_classes, int32_t old_lines,
                            const int32_t* class_list, int32_t new_count, int32_t new_lines,
                            const diagonal_band& band);

// For a search started by start_candidate_search, on the same classes as
// find_candidates: puts the chain that find_candidates leaves at its longest
// level in records 1..k, record s pairing at level s, and returns k, with
// chain_ends[k] = k. The other levels' chains are not kept. old_classes is
// only read. levels.count must be at least 1, for rows of
// band_row_words(band, new_count) words. Where band does not hold every
// chain as long as the longest it holds (band_holding), returns -1 with
// search as it was; *band_chain is set to that chain's length either way.
int32_t find_chain_by_rows(candidate_search& search, const int32_t* old_classes,
                           int32_t old_count, const int32_t* class_list, int32_t new_count,
                           const row_levels& levels, const diagonal_band& band,
                           int32_t* band_chain);

#endif  // OVARN_ENGINE_CHAIN_ROWS_H_
