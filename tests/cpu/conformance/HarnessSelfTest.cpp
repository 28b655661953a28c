// The harness must fail a vector whose expectation the core does not meet:
// hand-made vectors with one deliberate error each, so that a loader or a
// deviation row that swallowed differences would show here.
#include <gtest/gtest.h>

#include "Conformance.h"

namespace conformance {
namespace {

// LD (HL),n with HL = 0x8000, n = 0x5A at 0x0100, as the chip does it.
Vector StoreImmediate() {
    Vector v{};
    v.set = DataSet::SingleStep;
    v.name = "self LD (HL),n";
    v.initial.PC = 0x0100;
    v.initial.H = 0x80;
    v.initial.F = 0x28;  // bits 5 and 3 set: must stay set
    v.initial.R = 0x7F;
    v.initialRam = {{0x0100, 0x36}, {0x0101, 0x5A}};
    v.final = v.initial;
    v.final.PC = 0x0102;
    v.final.R = 0x00;  // the chip's own count; the core's + 3 replaces it
    v.finalRam = {{0x0100, 0x36}, {0x0101, 0x5A}, {0x8000, 0x5A}};
    v.writes = {{0x8000, 0x5A}};
    v.cycles = 10;
    return v;
}

TEST(ConformanceHarness, PassesTheTrueVectorAndFailsEachDeliberateError) {
    Tally tally;
    EXPECT_EQ(Check(StoreImmediate(), tally), Verdict::PassUnmasked) << (tally.failures.empty() ? "" : tally.failures[0]);

    struct Case {
        const char* what;
        void (*spoil)(Vector&);
        const char* field;  // the diff must name it
    };
    const Case cases[] = {
        {"register", [](Vector& v) { v.final.A = 1; }, " A "},
        {"documented flag", [](Vector& v) { v.final.F |= 0x01; }, " F "},
        {"cycles", [](Vector& v) { v.cycles = 11; }, " cycles "},
        {"written value", [](Vector& v) { v.writes[0].value = 0x5B; }, " writes "},
        {"memory contents", [](Vector& v) { v.finalRam[2].value = 0x00; }, " memory "},
        {"missing port access", [](Vector& v) { v.ports.push_back({0x12BE, 0x00, true}); }, " ports "},
        {"PC", [](Vector& v) { v.final.PC = 0x0103; }, " PC "},
    };
    for (const Case& c : cases) {
        Vector v = StoreImmediate();
        c.spoil(v);
        Tally t;
        EXPECT_EQ(Check(v, t), Verdict::Fail) << c.what;
        ASSERT_EQ(t.failures.size(), 1u) << c.what;
        EXPECT_NE(t.failures[0].find(c.field), std::string::npos) << c.what << ": " << t.failures[0];
    }
}

// The exact model is judged on R as the chip counts it (0x7F + 1 fetch
// wraps in seven bits) and on the internal state the default model skips.
TEST(ConformanceHarness, TheExactModelIsJudgedOnRAndTheInternalState) {
    Tally tally;
    EXPECT_EQ(Check(StoreImmediate(), tally, Model::Exact), Verdict::PassUnmasked)
        << (tally.failures.empty() ? "" : tally.failures[0]);
    const struct {
        const char* what;
        void (*spoil)(Vector&);
        const char* field;
    } cases[] = {
        {"R", [](Vector& v) { v.final.R = 0x80; }, " R "},
        {"WZ", [](Vector& v) { v.final.WZ = 0x0102; }, " WZ "},
        {"Q", [](Vector& v) { v.final.Q = v.final.F; }, " Q "},
        {"EI", [](Vector& v) { v.final.EI = 1; }, " EI "},
    };
    for (const auto& c : cases) {
        Vector v = StoreImmediate();
        c.spoil(v);
        Tally t;
        EXPECT_EQ(Check(v, t, Model::Exact), Verdict::Fail) << c.what;
        ASSERT_EQ(t.failures.size(), 1u) << c.what;
        EXPECT_NE(t.failures[0].find(c.field), std::string::npos) << c.what << ": " << t.failures[0];
        Tally d;
        EXPECT_NE(Check(v, d), Verdict::Fail) << c.what << ": the default model keeps no such state";
    }
}

}  // namespace
}  // namespace conformance
