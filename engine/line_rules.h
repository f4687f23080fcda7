// The line rules of a comparison: which differences between two lines the
// options -b, -w and -i make the engine ignore, and the byte map they
// compare through. The engine takes them as this record; it reads no
// option itself.
#ifndef OVARN_ENGINE_LINE_RULES_H_
#define OVARN_ENGINE_LINE_RULES_H_

// The two fixed byte maps. fold_map maps 0x40-0x5F onto 0x60-0x7F.
extern const unsigned char identity_map[256];
extern const unsigned char fold_map[256];

struct line_rules {
  bool blank_runs = false;  // -b: a run of blanks counts as one
  bool all_blanks = false;  // -w: blanks count for nothing
  bool fold_case = false;   // -i: capitals count as small letters
  // The active char_map: fold_map under -i, identity_map otherwise.
  const unsigned char* char_map = identity_map;
};

line_rules make_line_rules(bool blank_runs, bool all_blanks, bool fold_case);

// Whether lines that differ in their bytes may still agree: any of -b, -w, -i.
bool loose_rules(const line_rules& rules);

#endif  // OVARN_ENGINE_LINE_RULES_H_
