#pragma once
// The PROG language of a script's [PRO] section: per-port variables, 32-bit arithmetic,
// comparisons, WHILE ... ENDW and IF ... ELSE ... ENDF, and showing or printing values. Blocks
// are not parsed ahead: WHILE and IF set the port's Skipping flag, the script processor drops
// lines while it is set, and ENDW rewinds the script so that the WHILE line is read again.
#include <cstdint>
#include <string>
#include <vector>

#include "base/PerPort.h"

namespace posbench {

// What an operand evaluates to.
struct Value {
    bool IsString = false;
    int32_t Num = 0;
    std::string Str;
};

struct ProgVariable {
    std::string Name;   // compared exactly
    std::string Str;
    int32_t Num = 0;
    bool IsString = false;
};

// A port's variables. The table exists only once CLEAR has run on the port: before that a new
// variable cannot be stored.
struct ProgVariables {
    bool created = false;
    std::vector<ProgVariable> entries;
};

extern PerPort<ProgVariables> gProgVars;

void ResetProgGlobals();

// WHILE opens no level once this many are open (LOOP and WHILE share the levels).
inline constexpr int16_t kMaxWhileDepth = 7;

// One statement; true when gsProgErr is empty at the end (the processor shows it otherwise).
bool ProcessProgLine(int16_t port, const std::string& line);

// An operand: "" (empty string), ="text" (string literal), =n (number), STAT or RESP (the
// port's response text), "text" (string with its quotes), or a variable name.
Value ConvToNumOrString(int16_t port, const std::string& text);

// Stores value under name in the port's table (gsProgErr on failure).
void SaveMyVal(int16_t port, const Value& value, const std::string& name);

// left op right with op one of > < = <> >= <=; strings compare when left is a string.
bool CondTrue(int16_t port, const Value& left, const std::string& op, const Value& right);

}  // namespace posbench
