#include <gtest/gtest.h>

#include "sim/RequestParser.h"

namespace {

using sim::Request;
using sim::RequestParser;
using Kind = Request::Kind;

std::vector<Request> Parse(std::initializer_list<int> values, bool endOfBurst = true) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    RequestParser parser;
    std::vector<Request> out;
    parser.Feed(bytes.data(), bytes.size(), out);
    if (endOfBurst) parser.EndOfBurst(out);
    return out;
}

std::vector<Kind> Kinds(const std::vector<Request>& requests) {
    std::vector<Kind> kinds;
    for (const Request& r : requests) kinds.push_back(r.kind);
    return kinds;
}

TEST(RequestParser, TellsTheProbeFromTheScanRequest) {
    EXPECT_EQ(Kinds(Parse({0xF8})), std::vector<Kind>{Kind::Probe});
    EXPECT_EQ(Kinds(Parse({0xF8, 'A', 'S'})), std::vector<Kind>{Kind::Scan});
    // A waiting 0xF8 stays open until the burst ends.
    EXPECT_TRUE(Parse({0xF8}, false).empty());
    EXPECT_TRUE(Parse({0xF8, 'A'}, false).empty());
    EXPECT_EQ(Kinds(Parse({0xF8, 'A'})), (std::vector<Kind>{Kind::Probe, Kind::Noise}));
    EXPECT_EQ(Kinds(Parse({0xF8, 0xF8, 'A', 'S'})), (std::vector<Kind>{Kind::Probe, Kind::Scan}));
}

TEST(RequestParser, MeasuresFramesByTheirLetterNotByCr) {
    // A CR inside the payload does not end a parameter-set frame.
    std::vector<uint8_t> frame = {0x1B, 'A', 'C'};
    frame.resize(157, 0x0D);
    frame.push_back(0x0D);
    RequestParser parser;
    std::vector<Request> out;
    parser.Feed(frame.data(), 100, out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(parser.HasPartialFrame());
    parser.Feed(frame.data() + 100, frame.size() - 100, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].kind, Kind::Framed);
    EXPECT_EQ(out[0].bytes.size(), 158u);
}

TEST(RequestParser, NoiseBeforeARequestIsKeptApart) {
    const auto out = Parse({0x00, 0x41, 0x1B, 'A', 'V', 0x0D, 0x1B, 'A', 'Q', 1, 0x0D});
    ASSERT_EQ(Kinds(out), (std::vector<Kind>{Kind::Noise, Kind::Framed, Kind::Framed}));
    EXPECT_EQ(out[0].bytes.size(), 2u);
    EXPECT_EQ(out[2].bytes.size(), 5u);  // unknown letter: up to the CR
}

}  // namespace
