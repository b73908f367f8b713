#include "script/Prog.h"

#include <array>

#include "base/Display.h"
#include "base/Events.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"
#include "script/Utility.h"
#include "script/WholeNumber.h"

namespace posbench {

PerPort<ProgVariables> gProgVars;

void ResetProgGlobals() { gProgVars.reset(); }

namespace {

bool IsResponseWord(const std::string& text) { return text == "STAT" || text == "RESP"; }

// The response text without its trailing blanks and control characters.
std::string TrimmedResponse(int16_t port) {
    std::string text = gPortState(port).Response;
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
    return text;
}

ProgVariable* FindVariable(int16_t port, const std::string& name) {
    for (ProgVariable& v : gProgVars(port).entries) {
        if (v.Name == name) return &v;
    }
    return nullptr;
}

// Evaluates an operand into value; false when the evaluation left a failure in gsProgErr.
bool Operand(int16_t port, const std::string& text, Value& value) {
    value = ConvToNumOrString(port, text);
    return gsProgErr.empty();
}

Value Number(int64_t n) {
    Value v;
    v.Num = ToLong(n);
    return v;
}

Value Arithmetic(const std::string& word, const Value& a, const Value& b) {
    const int64_t x = a.Num;
    const int64_t y = b.Num;
    if (word == "ADD") return Number(x + y);
    if (word == "SUB") return Number(x - y);
    if (word == "MUL") return Number(x * y);
    if (y == 0) Raise(err::DivisionByZero);
    Value v;
    v.Num = CLng(static_cast<double>(x) / static_cast<double>(y));
    return v;
}

// The whole-number value of a string operand for MASK; an operand whose text is not a number
// (a numeric literal has none) contributes its number instead.
int32_t MaskOperand(const Value& v) { return IsNumericText(v.Str) ? WholeNumber(v.Str) : v.Num; }

Value Mask(int16_t port, const std::string& textA, const Value& a, const std::string& textB,
           const Value& b) {
    Value result;
    result.IsString = a.IsString;
    if (!IsResponseWord(textA) && !IsResponseWord(textB)) {
        result.Num = a.Num & b.Num;
        result.Str = CStr(MaskOperand(a) & MaskOperand(b));
        return result;
    }
    const std::string& m = IsResponseWord(textA) ? textB : textA;
    const std::string r = TrimmedResponse(port);
    const long keep = static_cast<long>(m.size()) - 4;
    if (m.size() >= 3 && m[2] == '*') result.Str = Right(r, keep);
    else if (!m.empty() && m.back() == '*') result.Str = Left(r, keep);
    else result.Str = r;
    return result;
}

// SHOW and PRINT: strings whole, numbers by the last three characters of their digits.
std::string JoinedText(const std::array<Value, 4>& values) {
    std::string text;
    for (const Value& v : values) text += v.IsString ? v.Str : Right(CStr(v.Num), 3);
    return text;
}

// True while the skipping comes from a WHILE whose condition was false: its level stays the
// innermost one until its ENDW, and the whole body is skipped, ELSE and ENDF lines included.
bool InFalseWhile(const PortState& st) {
    return st.LoopDepth >= 1 && st.LoopDepth <= kMaxLoopLevels && st.WhileFalse(st.LoopDepth);
}

void OpenWhile(int16_t port, bool condition) {
    PortState& st = gPortState(port);
    const long level = st.LoopDepth + 1;
    st.LoopLine(level) = st.FileLine;
    st.WhileFalse(level) = !condition;
    st.Skipping = !condition;
    st.LoopDepth = static_cast<int16_t>(level);
}

void EndWhile(int16_t port) {
    PortState& st = gPortState(port);
    if (st.SkipWhileCount != 0) {
        // This ENDW closes a WHILE met while skipping: the outer block is still being skipped.
        --st.SkipWhileCount;
        st.Skipping = true;
        return;
    }
    if (st.LoopDepth < 1) {
        gsProgErr = "ENDW statement without valid WHILE";
        return;
    }
    const long level = st.LoopDepth;
    st.LoopDepth = static_cast<int16_t>(level - 1);
    if (st.WhileFalse(level)) return;
    GoBackToLine(st, static_cast<int16_t>(st.LoopLine(level) - 1));
    DoEvents();
}

}  // namespace

Value ConvToNumOrString(int16_t port, const std::string& text) {
    gsProgErr.clear();
    Value value;
    try {
        if (text.empty()) {
            value.IsString = true;
        } else if (text[0] == '=') {
            const std::string rest = text.substr(1);
            const auto quote = rest.find('"');
            if (quote != std::string::npos) {
                // From after the first quote up to the closing one, the last character.
                value.IsString = true;
                if (rest.size() > quote + 2) value.Str = rest.substr(quote + 1, rest.size() - quote - 2);
            } else {
                value.Num = CLng(Val(rest));
            }
        } else if (IsResponseWord(text)) {
            value.IsString = true;
            value.Str = TrimmedResponse(port);
        } else if (text[0] == '"') {
            value.IsString = true;
            value.Str = text;
        } else if (const ProgVariable* v = FindVariable(port, text)) {
            value.IsString = v->IsString;
            value.Num = v->Num;
            value.Str = v->Str;
        } else {
            gsProgErr = "Invalid Variable " + text;
        }
    } catch (...) {
        gsProgErr = FailureLine("modProg, ConvToNumOrString Error: ");
        return Value{};
    }
    return value;
}

void SaveMyVal(int16_t port, const Value& value, const std::string& name) {
    try {
        ProgVariables& table = gProgVars(port);
        if (ProgVariable* v = FindVariable(port, name)) {
            v->IsString = value.IsString;
            v->Num = value.Num;
            v->Str = value.Str;
            return;
        }
        // No table before the port's first CLEAR.
        if (!table.created) Raise(err::SubscriptOutOfRange);
        table.entries.push_back(ProgVariable{name, value.Str, value.Num, value.IsString});
    } catch (...) {
        gsProgErr = FailureLine("modProg, SaveMyVal Error: ");
    }
}

bool CondTrue(int16_t /*port*/, const Value& left, const std::string& op, const Value& right) {
    int order;
    if (left.IsString) order = left.Str.compare(right.Str);
    else order = left.Num < right.Num ? -1 : (left.Num > right.Num ? 1 : 0);
    if (op == ">") return order > 0;
    if (op == "<") return order < 0;
    if (op == "=") return order == 0;
    if (op == "<>") return order != 0;
    if (op == ">=") return order >= 0;
    if (op == "<=") return order <= 0;
    return false;
}

bool ProcessProgLine(int16_t port, const std::string& line) {
    gsProgErr.clear();
    try {
        std::array<std::string, 6> p;  // p[1] the statement word, p[2]..p[5] its operands
        for (int16_t i = 1; i <= 5; ++i) {
            if (!GetParameter(i, " ", false, line)) {
                Display("Invalid entry in the print configuration definition file");
                return true;
            }
            p[static_cast<std::size_t>(i)] = gsResult;
        }
        const std::string word = UCase(p[1]);
        PortState& st = gPortState(port);
        Value a;
        Value b;

        if (word == "SET") {
            if (!Operand(port, p[3], a)) return false;
            SaveMyVal(port, a, p[2]);
        } else if (word == "ADD" || word == "SUB" || word == "MUL" || word == "DIV") {
            if (!Operand(port, p[2], a) || !Operand(port, p[3], b)) return false;
            SaveMyVal(port, Arithmetic(word, a, b), p[4]);
        } else if (word == "MASK") {
            if (!Operand(port, p[2], a) || !Operand(port, p[3], b)) return false;
            SaveMyVal(port, Mask(port, p[2], a, p[3], b), p[4]);
        } else if (word == "WHILE") {
            if (st.LoopDepth >= kMaxWhileDepth) {
                Display("Too many levels of nesting");
                return true;
            }
            if (!Operand(port, p[2], a) || !Operand(port, p[4], b)) return false;
            OpenWhile(port, CondTrue(port, a, p[3], b));
        } else if (word == "ENDW") {
            EndWhile(port);
        } else if (word == "IF") {
            if (!Operand(port, p[2], a) || !Operand(port, p[4], b)) return false;
            if (!CondTrue(port, a, p[3], b)) st.Skipping = true;
        } else if (word == "ELSE") {
            // The processor hands ELSE over even while skipping; inside a false WHILE it must not
            // start running the rest of the body.
            if (!InFalseWhile(st)) st.Skipping = !st.Skipping;
        } else if (word == "ENDF") {
            st.Skipping = InFalseWhile(st);
        } else if (word == "CLEAR") {
            gProgVars(port).created = true;
            gProgVars(port).entries.clear();
        } else if (word == "SHOW" || word == "PRINT") {
            std::array<Value, 4> values;
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (!Operand(port, p[i + 2], values[i])) return false;
            }
            const std::string text = JoinedText(values);
            if (word == "SHOW") Display(text);
            else if (!WriteReadOk(text, 0, false, port)) Display("Print Error during variable processing");
        } else {
            gsProgErr = "unknown PROG Command";
        }
    } catch (...) {
        gsProgErr = FailureLine("modProg, ProcessProgLine Error: ");
    }
    return gsProgErr.empty();
}

}  // namespace posbench
