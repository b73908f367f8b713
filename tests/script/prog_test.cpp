// The PROG language: operands, variables, 32-bit arithmetic and its run-time errors, MASK,
// SHOW and PRINT, and WHILE / IF blocks run through the script processor over a real file.
#include "script/Prog.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/ScriptBench.h"

namespace posbench {
namespace {

using Lines = std::vector<std::string>;

class ProgTest : public test::ScriptBench {
protected:
    bool Prog(const std::string& line) { return ProcessProgLine(1, line); }
    // Statements that must all succeed.
    void Progs(const Lines& lines) {
        for (const auto& l : lines) ASSERT_TRUE(Prog(l)) << l << ": " << gsProgErr;
    }
    Value Var(const std::string& name) { return ConvToNumOrString(1, name); }
    void RunProg(const Lines& lines) {
        Lines all{"[PRO]"};
        all.insert(all.end(), lines.begin(), lines.end());
        Run(Write("prog.txt", all));
    }
};

TEST_F(ProgTest, OperandForms) {
    gPortState(1).Response = "OK 12  (0D)\r\n \x01";
    struct Case { const char* operand; bool isString; const char* str; int32_t num; };
    for (const Case& c : {Case{"", true, "", 0}, Case{"=\"AB\"", true, "AB", 0},
                          Case{"=x\"yz", true, "y", 0}, Case{"=12.5", false, "", 12},
                          Case{"=&H10", false, "", 16}, Case{"\"Q\"", true, "\"Q\"", 0},
                          Case{"RESP", true, "OK 12  (0D)", 0}, Case{"Q", false, "", 0}}) {
        SCOPED_TRACE(c.operand);
        const Value v = ConvToNumOrString(1, c.operand);
        EXPECT_EQ(v.IsString, c.isString);
        if (c.isString) EXPECT_EQ(v.Str, c.str);
        else EXPECT_EQ(v.Num, c.num);
    }
    EXPECT_EQ(gsProgErr, "Invalid Variable Q");
    ConvToNumOrString(1, "=99999999999");
    EXPECT_EQ(gsProgErr, "modProg, ConvToNumOrString Error: 6 Overflow");
}

TEST_F(ProgTest, VariablesNeedClearAreCaseSensitiveAndPerPortAndUnknownStatementsAreNamed) {
    EXPECT_FALSE(Prog("SET X =5"));
    EXPECT_EQ(gsProgErr, "modProg, SaveMyVal Error: 9 Subscript out of range");
    Progs({"clear", "SET X =5", "SET x \"s\"", "SET X =6", "SET A =\"", "SET B"});  // half statements: empty values
    EXPECT_EQ(Var("X").Num, 6);
    EXPECT_EQ(Var("x").Str + "|" + Var("A").Str, "\"s\"|");
    EXPECT_TRUE(Var("B").IsString);
    EXPECT_EQ(gProgVars(1).entries.size(), 4u);
    EXPECT_EQ(ConvToNumOrString(2, "X").Num, 0);
    EXPECT_EQ(gsProgErr, "Invalid Variable X");
    EXPECT_FALSE(Prog("JUMP X"));
    EXPECT_EQ(gsProgErr, "unknown PROG Command");
}

TEST_F(ProgTest, ArithmeticOnWholeNumbersDivisionHalvesToEvenAndErrorsStoreNothing) {
    Progs({"CLEAR", "SET X =5"});
    const std::string overflow = "modProg, ProcessProgLine Error: 6 Overflow";
    struct Case { const char* stmt; int32_t result; std::string error; };
    const std::string byZero = "modProg, ProcessProgLine Error: 11 Division by zero";
    for (const Case& c : {Case{"ADD X =3 R", 8, ""}, Case{"SUB =3 X R", -2, ""},
                          Case{"MUL =-4 X R", -20, ""}, Case{"DIV =7 =2 R", 4, ""},
                          Case{"DIV =5 =2 R", 2, ""}, Case{"DIV =-5 =2 R", -2, ""},
                          Case{"DIV =10 =4 R", 2, ""}, Case{"ADD =2147483647 =1 Z", 0, overflow},
                          Case{"MUL =65536 =65536 Z", 0, overflow},
                          Case{"DIV =-2147483648 =-1 Z", 0, overflow},
                          Case{"DIV =1 =0 Z", 0, byZero},
                          Case{"ADD =1 nope Z", 0, "Invalid Variable nope"}}) {
        SCOPED_TRACE(c.stmt);
        gsProgErr.clear();
        EXPECT_EQ(Prog(c.stmt), c.error.empty());
        EXPECT_EQ(gsProgErr, c.error);
        if (c.error.empty()) {
            EXPECT_EQ(Var("R").Num, c.result);
        }
    }
    EXPECT_FALSE(Var("R").IsString);
    EXPECT_EQ(gProgVars(1).entries.size(), 2u);  // X and R: no Z
}

TEST_F(ProgTest, MaskAndsOrCutsShowAndPrintJoinStringsAndTheLastThreeDigitsOfNumbers) {
    gPortState(1).Response = "ABCDEFGH ";
    // The mask is the raw operand text: "*" third keeps the last (length - 4) characters, a
    // trailing "*" the first (length - 4).
    Progs({"CLEAR", "MASK =12 =10 D", "SET H =\"&HF0\"", "SET L =\"60\"", "MASK H L S", "MASK STAT =\"*XY\" T",
           "MASK =abc* RESP F", "MASK RESP =5 W", "MASK RESP =* N"});
    EXPECT_EQ(Var("D").Num, 8);
    EXPECT_EQ((Lines{Var("D").Str, Var("S").Str, Var("T").Str, Var("F").Str, Var("W").Str, Var("N").Str}),
              (Lines{"8", "48", "GH", "A", "ABCDEFGH", ""}));
    EXPECT_TRUE(Var("S").IsString && Var("T").IsString);

    Progs({"CLEAR", "SET S =\"AB\"", "SHOW =1234", "SHOW S =-5 =7 S", "PRINT S =1234 \"q\""});
    EXPECT_EQ(status.lines, (Lines{"234", "AB-57AB"}));
    EXPECT_EQ(dev->writes, (Lines{"AB234\"q\""}));
    dev->failWrites = true;
    EXPECT_TRUE(Prog("PRINT S"));
    EXPECT_EQ(status.lines.back(), "Print Error during variable processing");
}

TEST_F(ProgTest, ComparisonsAreStringWiseWhenTheLeftValueIsAString) {
    const Value ten{false, 10, ""}, nine{false, 9, ""};
    EXPECT_TRUE(CondTrue(1, ten, ">=", nine) && CondTrue(1, Value{true, 0, "10"}, "<", Value{true, 0, "9"}));
    EXPECT_FALSE(CondTrue(1, ten, "=<", nine) || CondTrue(1, Value{true, 0, "ab"}, "=", Value{true, 0, "AB"}));

    Progs({"CLEAR", "SET S =\"AB\"", "IF S = =\"AC\""});
    EXPECT_TRUE(gPortState(1).Skipping);
    Progs({"ELSE", "ELSE", "ENDF"});  // a second ELSE changes nothing
    EXPECT_FALSE(gPortState(1).Skipping);
}

TEST_F(ProgTest, SkippedBlocksSkipTheWhileAndIfBlocksNestedInside) {
    const Lines scripts[] = {
        {"CLEAR", "SET X =5", "WHILE X < =3", "SHOW =1", "WHILE X > =0", "SHOW =2", "ENDW", "SHOW =3",
         "ENDW", "SHOW =4"},
        // ELSE and ENDF inside the false WHILE do not end its skipping
        {"CLEAR", "SET X =9", "WHILE X < =3", "IF X = =9", "SHOW =1", "ELSE", "SHOW =2", "ENDF",
         "SHOW =3", "ENDW", "SHOW =4"},
        // an IF inside a false IF: its ELSE and ENDF belong to it, not to the outer block
        {"CLEAR", "SET X =0", "IF X = =1", "IF X = =0", "SHOW =1", "ELSE", "SHOW =2", "ENDF",
         "SHOW =3", "ENDF", "SHOW =4"}};
    for (const Lines& script : scripts) {
        SCOPED_TRACE(script[1]);
        status.lines.clear();
        RunProg(script);
        EXPECT_EQ(status.lines, (Lines{"4"}));
        EXPECT_EQ(gPortState(1).LoopDepth, 0);
        EXPECT_EQ(gPortState(1).SkipWhileCount, 0);
        EXPECT_FALSE(gPortState(1).Skipping);
    }
}

TEST_F(ProgTest, LoopsAfterAChainedFileGoBackToTheirOwnLine) {
    Write("sub.txt", {"[MES] a", "b", "c"});
    Run(Write("main.txt", {"[CON] sub.txt", "[PRO] CLEAR", "SET I =0", "WHILE I < =2",
                           "ADD I =1 I", "SHOW I", "ENDW", "[UTI] LOOP 2", "[MES] x",
                           "[UTI] LOOP NEXT"}));
    EXPECT_EQ(status.lines, (Lines{"a", "b", "c", "1", "2", "x", "x"}));
}

// Each WHILE rereads its line on every pass.
TEST_F(ProgTest, NestedWhilesAndIfElseRunTheRightBranches) {
    RunProg({"CLEAR", "SET I =0", "WHILE I < =2", "SET J =0", "WHILE J < =2", "IF I = J",
             "SHOW =\"same\"", "ELSE", "SHOW I J", "ENDF", "ADD J =1 J", "ENDW", "ADD I =1 I", "ENDW", "SHOW =999"});
    EXPECT_EQ(status.lines, (Lines{"same", "01", "10", "same", "999"}));
    EXPECT_EQ(gPortState(1).LoopDepth, 0);
}

TEST_F(ProgTest, WhileNestingLimitAndEndwWithoutWhile) {
    EXPECT_FALSE(Prog("ENDW"));
    EXPECT_EQ(gsProgErr, "ENDW statement without valid WHILE");
    gPortState(1).LoopDepth = 7;
    EXPECT_TRUE(Prog("WHILE =1 < =2"));
    EXPECT_EQ(status.lines, Lines{"Too many levels of nesting"});
    EXPECT_EQ(gPortState(1).LoopDepth, 7);
    gPortState(1).LoopDepth = 0;
    gPortState(1).SkipWhileCount = 1;
    EXPECT_TRUE(Prog("ENDW"));
    EXPECT_EQ(gPortState(1).SkipWhileCount, 0);
    EXPECT_TRUE(gPortState(1).Skipping);
}

}  // namespace
}  // namespace posbench
