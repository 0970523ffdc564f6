#include <gtest/gtest.h>

#include <random>
#include <string>

#include "model/DiscreteOutputRules.h"

namespace {

struct Values {
    int a, b, c, d;
    bool operator==(const Values&) const = default;
};

DiscreteOutput Output(int32_t source, Values v) {
    return DiscreteOutput{source, uint16_t(v.a), uint16_t(v.b), uint16_t(v.c), uint16_t(v.d)};
}

Values ValuesOf(const DiscreteOutput& o) {
    return {o.setPointLow, o.setPointHigh, o.hysteresisLow, o.hysteresisHigh};
}

std::string Show(const Values& v) {
    return std::to_string(v.a) + "," + std::to_string(v.b) + "," + std::to_string(v.c) + "," +
           std::to_string(v.d);
}

}  // namespace

// What the editor does when the user types a text into a value cell and
// leaves it: the text is read, then the rule of its column runs. (The
// examples the editor's own test shows are not repeated here.)
TEST(DiscreteOutputRules, TypedValuesAreCorrectedByTheRuleOfTheirColumn) {
    const Values start{10, 20, 5, 25};
    struct Case {
        int32_t source;
        int column;
        const char* typed;
        Values expected;
        bool changed;
    } cases[] = {
        {'y', 2, "15", {15, 20, 5, 25}, false},
        {'y', 2, "70000", {384, 384, 5, 385}, true},  // reads 4464
        {'y', 2, "x", {1, 20, 0, 25}, true},          // no digits read 0
        {'y', 3, "30", {10, 30, 5, 31}, true},
        {'y', 3, "7", {7, 7, 5, 25}, true},
        {'y', 3, "3", {3, 3, 2, 25}, true},
        {'y', 3, "0", {1, 1, 0, 25}, true},
        {'y', 3, "5", {5, 5, 5, 25}, true},  // C equal to the new A stays
        {'y', 4, "12", {13, 20, 12, 25}, true},
        {'y', 4, "9", {10, 20, 9, 25}, false},
        {'y', 5, "15", {10, 14, 5, 15}, true},
        {'v', 2, "200", {200, 20, 5, 25}, false},  // a trigger uses A alone
        {'v', 2, "384", {384, 20, 5, 25}, false},
        {'v', 2, "999", {384, 20, 5, 25}, true},
        {'Z', 2, "1", {1, 20, 0, 25}, true},
    };
    for (const Case& c : cases) {
        DiscreteOutput output = Output(c.source, start);
        SetOutputValue(output, c.column, ParseOutputValue(c.typed));
        const bool changed = ApplyValueRule(c.column, output);
        EXPECT_EQ(Show(ValuesOf(output)), Show(c.expected))
            << "source " << char(c.source) << " column " << c.column << " typed " << c.typed;
        EXPECT_EQ(changed, c.changed) << "column " << c.column << " typed " << c.typed;
        EXPECT_EQ(output.source, c.source);
    }
}

TEST(DiscreteOutputRules, ParsingKeepsTheLow16BitsOfTheLeadingNumber) {
    const struct {
        const char* text;
        uint16_t value;
    } cases[] = {{"", 0},      {"abc", 0},    {"12abc", 12},  {"  42", 42},
                 {"+7", 7},    {"-1", 65535}, {"-0", 0},      {"70000", 4464},
                 {"65536", 0}, {"4294967297", 1}, {"1 2", 1}};
    for (const auto& c : cases) EXPECT_EQ(ParseOutputValue(c.text), c.value) << c.text;
}

// From any consistent start, the rules of columns 2, 4 and 5 keep the order
// C < A <= B < D whatever is typed; column 3 may leave C equal to A.
TEST(DiscreteOutputRules, RulesKeepConsistentOutputsConsistent) {
    std::mt19937 random(8);
    std::uniform_int_distribution<int> setPoint(1, 384);
    std::uniform_int_distribution<int> typed(0, 70000);
    for (int i = 0; i < 20000; ++i) {
        int a = setPoint(random), b = setPoint(random);
        if (a > b) std::swap(a, b);
        const int c = std::uniform_int_distribution<int>(0, a - 1)(random);
        const int d = std::uniform_int_distribution<int>(b + 1, 385)(random);
        const int column = 2 + i % 4;
        DiscreteOutput output = Output('y', {a, b, c, d});
        ASSERT_TRUE(OutputValuesConsistent(output));
        SetOutputValue(output, column, static_cast<uint16_t>(typed(random)));
        ApplyValueRule(column, output);
        const Values v = ValuesOf(output);
        const std::string what = "column " + std::to_string(column) + " from " +
                                 Show({a, b, c, d}) + " to " + Show(v);
        if (column == 3 && v.c == v.a) {
            DiscreteOutput relaxed = output;
            relaxed.hysteresisLow = static_cast<uint16_t>(v.a - 1);
            EXPECT_TRUE(OutputValuesConsistent(relaxed)) << what;
        } else {
            EXPECT_TRUE(OutputValuesConsistent(output)) << what;
        }
    }
}

TEST(DiscreteOutputRules, LocksAndConsistencyFollowTheSource) {
    const struct {
        int32_t source;
        bool locked[4];  // columns 2 to 5
        bool consistentWithZeros;
    } cases[] = {
        {'x', {true, true, true, true}, true},     {'w', {true, true, true, true}, true},
        {'v', {false, true, true, true}, false},   {'y', {false, false, false, false}, false},
        {'z', {false, false, false, false}, false}, {'Y', {false, false, false, false}, false},
        {'Z', {false, false, false, false}, false},
    };
    for (const auto& c : cases) {
        for (int column = 2; column <= 5; ++column)
            EXPECT_EQ(IsValueColumnLocked(c.source, column), c.locked[column - 2])
                << char(c.source) << " column " << column;
        EXPECT_FALSE(IsValueColumnLocked(c.source, 1));
        EXPECT_EQ(OutputValuesConsistent(Output(c.source, {0, 0, 0, 0})), c.consistentWithZeros);
    }
    EXPECT_TRUE(OutputValuesConsistent(Output('v', {384, 0, 0, 0})));
    EXPECT_FALSE(OutputValuesConsistent(Output('y', {10, 20, 5, 386})));
    EXPECT_FALSE(OutputValuesConsistent(Output('y', {10, 10, 10, 11})));
    EXPECT_TRUE(OutputValuesConsistent(Output('y', {384, 384, 383, 385})));
}
