// The converter's --option lines against the output record: the component applies the
// option text first and the record's fields after it, so a field the format's settings (or
// the converter's own flags) fill would silently replace the option's value. Here such
// fields give way to the option, and options the converter cannot let win are refused.
#pragma once

#include "OptionRecords.h"

#include <string>
#include <vector>

// Refuses option lines ("name=value") that cannot take effect: "v" (the component sets the
// verbosity when a task starts; --verbose chooses it), the pad sizes together with
// --letterbox (which sets them), and metadata texts longer than the record holds. Returns
// false with a message that names the option and the converter flag to use.
bool CheckOptionLines(const std::vector<std::string>& lines, bool letterBox, std::string& error);

// Makes every option line win over the record field that would set the same engine value
// again: text fields take the option's value (so the letterbox and the engine see it), a
// number field used only when above 0 is cleared (the option's value stays in effect), and
// a field that is always applied takes the option's value. Lines in order; a later line for
// the same option wins, as in the option text.
void ApplyOptionLines(const std::vector<std::string>& lines, TOutputOptions& record);
