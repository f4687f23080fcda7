// Verification of the pairings against the text, and the line offsets that
// output uses to read lines again.
#ifndef OVARN_ENGINE_VERIFY_MATCHES_H_
#define OVARN_ENGINE_VERIFY_MATCHES_H_

#include <cstdint>
#include <cstdio>

// Element i is the byte offset just past the newline of line i; element 0 is 0.
extern int64_t* old_offsets;
extern int64_t* new_offsets;

// Slot 0 reads the old file, slot 1 the new file. verify_matches opens and
// closes them; the change output opens them again for printing.
extern FILE* input_streams[2];

// Drops the pairings of match_vector whose lines differ under -b, -w, -i and
// fills old_offsets and new_offsets (allocated by the caller). Files of a few
// megabytes and more are read in two parts at once, split at a line start
// that loading noted in line_marks; the result is that of one part.
void verify_matches();

// Reads the rest of the current line of slot's stream through its newline;
// returns the number of reads, end of file counted as one.
int64_t skip_rest_of_line(int slot);

#endif  // OVARN_ENGINE_VERIFY_MATCHES_H_
