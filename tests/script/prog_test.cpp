// The PROG language: operands, variables, 32-bit arithmetic and its run-time errors, MASK,
// SHOW and PRINT, and WHILE / IF blocks run through the script processor over a real file.
#include "script/Prog.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/File.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "script/Producers.h"
#include "script/ScriptProcessor.h"
#include "script/ScriptState.h"
#include "script/StateMachine.h"
#include "support/FakeDevice.h"
#include "support/TestSupport.h"

namespace posbench {
namespace {

using test::FakeDevice;
using test::RecordingStatusList;
using test::ScratchDir;

class ProgTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetStatusList(&status);
        gcolDevices.Clear();
        gsPortTable.push_back("COM1, 115200, DTR, ON");
        giNumPorts = 1;
        auto owned = std::make_unique<FakeDevice>();
        dev = owned.get();
        gcolDevices.Add("COM1", std::move(owned));
        StateMachineInit();
    }
    void TearDown() override {
        gcolDevices.Clear();
        ResetProducers();
        CloseAllFiles();
    }

    bool Prog(const std::string& line) { return ProcessProgLine(1, line); }
    // Statements that must all succeed.
    void Progs(const std::vector<std::string>& lines) {
        for (const auto& l : lines) ASSERT_TRUE(Prog(l)) << l << ": " << gsProgErr;
    }
    Value Var(const std::string& name) { return ConvToNumOrString(1, name); }

    // A [PRO] script run by the processor and the state machine until it ends.
    void RunScript(const std::vector<std::string>& lines) {
        std::string text = "[PRO]\r\n";
        for (const auto& l : lines) text += l + "\r\n";
        const std::string path = dir.Write("prog.txt", text);
        gbStop(1) = false;
        gbScriptRunning(1) = true;
        RunTextFile(1, false, path);
        for (int i = 0; i < 5000 && gbScriptRunning(1); ++i) StateMachinePass();
        ASSERT_FALSE(gbScriptRunning(1));
    }

    ScratchDir dir;
    RecordingStatusList status;
    FakeDevice* dev = nullptr;
};

// ---- Operands and variables ----

TEST_F(ProgTest, OperandForms) {
    Value v = ConvToNumOrString(1, "");
    EXPECT_TRUE(v.IsString);
    EXPECT_EQ(v.Str, "");
    v = ConvToNumOrString(1, "=\"AB\"");
    EXPECT_TRUE(v.IsString);
    EXPECT_EQ(v.Str, "AB");
    EXPECT_EQ(ConvToNumOrString(1, "=x\"yz").Str, "y");
    v = ConvToNumOrString(1, "=12.5");
    EXPECT_FALSE(v.IsString);
    EXPECT_EQ(v.Num, 12);
    EXPECT_EQ(ConvToNumOrString(1, "=&H10").Num, 16);
    v = ConvToNumOrString(1, "\"Q\"");
    EXPECT_TRUE(v.IsString);
    EXPECT_EQ(v.Str, "\"Q\"");

    gPortState(1).Response = "OK 12  (0D)\r\n \x01";
    v = ConvToNumOrString(1, "RESP");
    EXPECT_TRUE(v.IsString);
    EXPECT_EQ(v.Str, "OK 12  (0D)");

    v = ConvToNumOrString(1, "Q");
    EXPECT_EQ(gsProgErr, "Invalid Variable Q");
    EXPECT_FALSE(v.IsString);
    EXPECT_EQ(v.Num, 0);
    ConvToNumOrString(1, "=99999999999");
    EXPECT_EQ(gsProgErr, "modProg, ConvToNumOrString Error: 6 Overflow");
}

TEST_F(ProgTest, VariablesNeedClearAreCaseSensitiveAndPerPort) {
    EXPECT_FALSE(Prog("SET X =5"));
    EXPECT_EQ(gsProgErr, "modProg, SaveMyVal Error: 9 Subscript out of range");
    Progs({"clear", "SET X =5", "SET x \"s\"", "SET X =6"});
    EXPECT_EQ(Var("X").Num, 6);
    EXPECT_EQ(Var("x").Str, "\"s\"");
    EXPECT_EQ(gProgVars(1).entries.size(), 2u);
    EXPECT_EQ(ConvToNumOrString(2, "X").Num, 0);
    EXPECT_EQ(gsProgErr, "Invalid Variable X");
}

// ---- Arithmetic ----

TEST_F(ProgTest, ArithmeticOnWholeNumbersWithDivisionHalvesToEven) {
    Progs({"CLEAR", "SET X =5", "ADD X =3 Y", "SHOW Y"});
    EXPECT_EQ(status.lines.back(), "8");
    Progs({"SUB =3 X D", "MUL =-4 X M", "DIV =7 =2 Q1", "DIV =5 =2 Q2", "DIV =-5 =2 Q3",
           "DIV =10 =4 Q4"});
    EXPECT_EQ(Var("D").Num, -2);
    EXPECT_EQ(Var("M").Num, -20);
    EXPECT_EQ(Var("Q1").Num, 4);
    EXPECT_EQ(Var("Q2").Num, 2);
    EXPECT_EQ(Var("Q3").Num, -2);
    EXPECT_EQ(Var("Q4").Num, 2);
    EXPECT_FALSE(Var("Q1").IsString);
}

TEST_F(ProgTest, OverflowAndDivisionByZeroAreErrorLinesAndStoreNothing) {
    Progs({"CLEAR"});
    EXPECT_FALSE(Prog("ADD =2147483647 =1 Z"));
    EXPECT_EQ(gsProgErr, "modProg, ProcessProgLine Error: 6 Overflow");
    EXPECT_FALSE(Prog("MUL =65536 =65536 Z"));
    EXPECT_FALSE(Prog("DIV =-2147483648 =-1 Z"));
    EXPECT_EQ(gsProgErr, "modProg, ProcessProgLine Error: 6 Overflow");
    EXPECT_FALSE(Prog("DIV =1 =0 Z"));
    EXPECT_EQ(gsProgErr, "modProg, ProcessProgLine Error: 11 Division by zero");
    EXPECT_TRUE(gProgVars(1).entries.empty());
    EXPECT_FALSE(Prog("ADD =1 nope Z"));
    EXPECT_EQ(gsProgErr, "Invalid Variable nope");
}

TEST_F(ProgTest, MaskAndsNumbersOrCutsTheResponse) {
    Progs({"CLEAR", "MASK =12 =10 D"});
    EXPECT_EQ(Var("D").Num, 8);
    EXPECT_EQ(Var("D").Str, "8");
    Progs({"SET H =\"&HF0\"", "SET L =\"60\"", "MASK H L S"});
    EXPECT_EQ(Var("S").Str, "48");
    EXPECT_TRUE(Var("S").IsString);

    gPortState(1).Response = "ABCDEFGH ";
    // The mask is the raw operand text: "*" third keeps the last (length - 4) characters, a
    // trailing "*" the first (length - 4).
    Progs({"MASK STAT =\"*XY\" T", "MASK =abc* RESP F", "MASK RESP =5 W", "MASK RESP =* N"});
    EXPECT_EQ(Var("T").Str, "GH");
    EXPECT_TRUE(Var("T").IsString);
    EXPECT_EQ(Var("F").Str, "A");
    EXPECT_EQ(Var("W").Str, "ABCDEFGH");
    EXPECT_EQ(Var("N").Str, "");
}

// ---- SHOW and PRINT ----

TEST_F(ProgTest, ShowAndPrintJoinStringsAndTheLastThreeDigitsOfNumbers) {
    Progs({"CLEAR", "SET S =\"AB\"", "SHOW =1234", "SHOW S =-5 =7 S"});
    EXPECT_EQ(status.lines, (std::vector<std::string>{"234", "AB-57AB"}));
    Progs({"PRINT S =1234 \"q\""});
    ASSERT_EQ(dev->writes.size(), 1u);
    EXPECT_EQ(dev->writes[0], "AB234\"q\"");
    dev->failWrites = true;
    EXPECT_TRUE(Prog("PRINT S"));
    EXPECT_EQ(status.lines.back(), "Print Error during variable processing");
}

// ---- Conditions and blocks ----

TEST_F(ProgTest, ComparisonsAreStringWiseWhenTheLeftValueIsAString) {
    const Value ten{false, 10, ""};
    const Value nine{false, 9, ""};
    EXPECT_TRUE(CondTrue(1, ten, ">=", nine));
    EXPECT_FALSE(CondTrue(1, ten, "=<", nine));
    EXPECT_TRUE(CondTrue(1, Value{true, 0, "10"}, "<", Value{true, 0, "9"}));
    EXPECT_FALSE(CondTrue(1, Value{true, 0, "ab"}, "=", Value{true, 0, "AB"}));

    Progs({"CLEAR", "SET S =\"AB\"", "IF S = =\"AB\""});
    EXPECT_FALSE(gPortState(1).Skipping);
    Progs({"IF S = =\"AC\""});
    EXPECT_TRUE(gPortState(1).Skipping);
    Progs({"ELSE"});
    EXPECT_FALSE(gPortState(1).Skipping);
    Progs({"ELSE", "ENDF"});
    EXPECT_FALSE(gPortState(1).Skipping);
}

TEST_F(ProgTest, WhileRereadsItsLineOnEveryPass) {
    RunScript({"CLEAR", "SET X =0", "WHILE X < =3", "ADD X =1 X", "SHOW X", "ENDW", "SHOW =999"});
    EXPECT_EQ(status.lines, (std::vector<std::string>{"1", "2", "3", "999"}));
    EXPECT_EQ(gPortState(1).LoopDepth, 0);
    EXPECT_EQ(gPortState(1).LineNum, 8);
}

TEST_F(ProgTest, FalseWhileSkipsItsBodyIncludingNestedWhiles) {
    RunScript({"CLEAR", "SET X =5", "WHILE X < =3", "SHOW =1", "WHILE X > =0", "SHOW =2", "ENDW",
               "SHOW =3", "ENDW", "SHOW =4"});
    EXPECT_EQ(status.lines, (std::vector<std::string>{"4"}));
    EXPECT_EQ(gPortState(1).LoopDepth, 0);
    EXPECT_EQ(gPortState(1).SkipWhileCount, 0);
}

TEST_F(ProgTest, NestedWhilesAndIfElseRunTheRightBranches) {
    RunScript({"CLEAR", "SET I =0", "WHILE I < =2", "SET J =0", "WHILE J < =2", "IF I = J",
               "SHOW =\"same\"", "ELSE", "SHOW I J", "ENDF", "ADD J =1 J", "ENDW", "ADD I =1 I",
               "ENDW"});
    EXPECT_EQ(status.lines, (std::vector<std::string>{"same", "01", "10", "same"}));
    EXPECT_EQ(gPortState(1).LoopDepth, 0);
}

TEST_F(ProgTest, ElseAndEndfInsideAFalseWhileDoNotEndItsSkipping) {
    RunScript({"CLEAR", "SET X =9", "WHILE X < =3", "IF X = =9", "SHOW =1", "ELSE", "SHOW =2", "ENDF",
               "SHOW =3", "ENDW", "SHOW =4"});
    EXPECT_EQ(status.lines, (std::vector<std::string>{"4"}));
    EXPECT_FALSE(gPortState(1).Skipping);
}

TEST_F(ProgTest, WhileNestingLimitAndEndwWithoutWhile) {
    EXPECT_FALSE(Prog("ENDW"));
    EXPECT_EQ(gsProgErr, "ENDW statement without valid WHILE");
    gPortState(1).LoopDepth = 7;
    EXPECT_TRUE(Prog("WHILE =1 < =2"));
    EXPECT_EQ(status.lines.back(), "Too many levels of nesting");
    EXPECT_EQ(gPortState(1).LoopDepth, 7);
    gPortState(1).LoopDepth = 0;
    gPortState(1).SkipWhileCount = 1;
    EXPECT_TRUE(Prog("ENDW"));
    EXPECT_EQ(gPortState(1).SkipWhileCount, 0);
    EXPECT_TRUE(gPortState(1).Skipping);
}

TEST_F(ProgTest, UnknownStatementsAndOddLinesNeverCrash) {
    EXPECT_FALSE(Prog("JUMP X"));
    EXPECT_EQ(gsProgErr, "unknown PROG Command");
    EXPECT_FALSE(Prog(""));
    for (const std::string& line : std::vector<std::string>{
             "SET", "ADD", "MASK STAT", "WHILE", "IF =1", "SHOW \"", std::string("SET A\0B =1", 10),
             "SHOW " + std::string(5000, 'x')}) {
        Prog(line);
    }
    Progs({"CLEAR", "SET A =\"", "SET B"});
    EXPECT_EQ(Var("A").Str, "");
    EXPECT_TRUE(Var("B").IsString);
}

}  // namespace
}  // namespace posbench
