// Byte-level mutations of a file and their replayable text form, for the converter fuzzer.
//
// A mutation text is a list of steps separated by ';', applied in order to the bytes as the
// previous steps left them. Offsets and lengths are decimal, bytes are hexadecimal:
//
//   flip@OFF:0xMM          XOR the byte at OFF with MM
//   set@OFF:HEX            overwrite the bytes from OFF with the given bytes ("00ff7f")
//   zero@OFF+LEN           overwrite LEN bytes from OFF with zeros
//   dup@SRC+LEN@DST        insert a copy of the LEN bytes at SRC before offset DST
//   cut@OFF+LEN            remove LEN bytes from OFF
//   trunc@LEN              keep only the first LEN bytes
//
// The empty text (or "none") leaves the file as it is.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace fuzz {

enum class StepKind { Flip, Set, Zero, Dup, Cut, Trunc };

struct Step {
    StepKind kind = StepKind::Flip;
    uint64_t offset = 0;        // flip, set, zero, dup (source), cut; the length for trunc
    uint64_t length = 0;        // zero, dup, cut
    uint64_t target = 0;        // dup: where the copy is inserted
    std::vector<uint8_t> bytes; // flip: one mask byte; set: the bytes written
};

using Mutation = std::vector<Step>;

std::string formatMutation(const Mutation& mutation);

// Parses a mutation text; on a malformed text returns false and says why in `error`.
bool parseMutation(const std::string& text, Mutation& mutation, std::string& error);

// Applies one step. A step that reaches past the end of the data is clamped to it (and
// `clamped` is set), so a recorded text still applies to a file of another size.
void applyStep(const Step& step, std::vector<uint8_t>& data, bool& clamped);

// Draws `count` random steps for `data`, applying each to it as it is drawn, and returns
// them. The same seed, count and input always give the same steps on every platform:
// only std::mt19937_64, whose output sequence the standard fixes, and our own reductions
// of its numbers are used.
Mutation mutate(std::vector<uint8_t>& data, uint64_t seed, int count);

} // namespace fuzz
