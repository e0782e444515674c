#include "modem/sim_tries.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tessivo {
namespace {

using F = FinalResult;
constexpr std::optional<unsigned> kUnknown = std::nullopt;

AtReply Reply(std::vector<std::string> lines, FinalResult final = F::Ok) {
  AtReply reply;
  reply.lines = std::move(lines);
  reply.final = final;
  reply.finalLine = final == F::Ok ? "ok" : final == F::None ? "" : "error";
  reply.heardAnything = true;
  return reply;
}

struct TriesCase {
  AtReply reply;
  std::optional<unsigned> pin;
  std::optional<unsigned> puk;
};

void Check(SimTries (*read)(const AtReply&), const std::vector<TriesCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.reply.lines) + " final " +
                 std::to_string(static_cast<int>(c.reply.final)));
    const SimTries tries = read(c.reply);
    EXPECT_EQ(tries.pin, c.pin);
    EXPECT_EQ(tries.puk, c.puk);
  }
}

TEST(SimTries, ThreeGpp) {
  Check(TriesFrom3gpp,
        {
            {Reply({"+cpinr: sim pin,3,3", "+cpinr: sim puk,10,10"}), 3, 10},
            {Reply({"+cpinr: sim puk2,10,10", "+cpinr: sim pin2,3,3", "+cpinr: sim puk,9,10",
                    "+cpinr: sim pin,1,3"}),
             1, 9},  // other codes' lines first
            {Reply({"+cpinr: \"sim pin\",\"2\",\"3\""}), 2, kUnknown},
            {Reply({"  +cpinr:  sim pin , 0 , 3 "}), 0, kUnknown},
            {Reply({"+cpinr: sim pin2,3,3"}), kUnknown, kUnknown},
            {Reply({"+cpinr: sim pin,255,3", "+cpinr: sim puk,-1,10"}), kUnknown, kUnknown},
            {Reply({"+cpinr: sim pin,,3", "+cpinr: sim puk,11,10"}), kUnknown, kUnknown},
            {Reply({"+cpinr: sim pin,x,3", "+cpinr: sim puk"}), kUnknown, kUnknown},
            {Reply({"+creg: 0,1", "+cpinr: sim pin,3,3"}), 3, kUnknown},  // unrelated line
            {Reply({"+cpinr: sim pin,3,3"}, F::None), kUnknown, kUnknown},  // cut short
            {Reply({"+cpinr: sim pin,3,3"}, F::CmeError), kUnknown, kUnknown},
            {Reply({}, F::Error), kUnknown, kUnknown},
        });
}

TEST(SimTries, Huawei) {
  Check(TriesFromHuawei,
        {
            {Reply({"^cpin: sim pin,3,10,3,10,3"}), 3, 10},  // PUK before PIN
            {Reply({"^cpin: ready,,9,2,10,3"}), 2, 9},       // times empty
            {Reply({"^cpin: \"sim puk\",10,10,0,10,3"}), 0, 10},
            {Reply({"^cpin: sim pin,3,255,255,255,255"}), kUnknown, kUnknown},
            {Reply({"^cpin: sim pin,3,11,-1,10,3"}), kUnknown, kUnknown},
            {Reply({"^cpin: sim pin,3,10"}), kUnknown, kUnknown},  // too few fields
            {Reply({"^sysinfo: 2,3,0,5,1", "^cpin: sim pin,,10,3,10,3"}), 3, 10},
            {Reply({"^cpin: sim pin,,10,3,10,3"}, F::None), kUnknown, kUnknown},
            {Reply({}, F::CmeError), kUnknown, kUnknown},
        });
}

TEST(SimTries, ZteAndQuectel) {
  Check(TriesFromZte,
        {
            {Reply({"+zpinpuk: 3,10"}), 3, 10},
            {Reply({"+zpinpuk: \"1\",\"8\""}), 1, 8},
            {Reply({"+zpinpuk: 255,"}), kUnknown, kUnknown},
            {Reply({"+zpinpuk: 3"}), kUnknown, kUnknown},
            {Reply({"+zpinpuk: 3,10"}, F::Error), kUnknown, kUnknown},
        });
  Check(TriesFromQuectel,
        {
            {Reply({"+qpinc: \"sc\",3,10", "+qpinc: \"p2\",3,10"}), 3, 10},
            {Reply({"+qpinc: \"p2\",1,5", "+qpinc: \"sc\",2,9"}), 2, 9},  // p2 first
            {Reply({"+qpinc: sc,0,10"}), 0, 10},
            {Reply({"+qpinc: \"sc\",,11"}), kUnknown, kUnknown},
            {Reply({"+qpinc: \"p2\",3,10"}), kUnknown, kUnknown},
            {Reply({"+qpinc: \"sc\",3,10"}, F::None), kUnknown, kUnknown},
        });
}

TEST(SimTries, Csim) {
  const struct {
    AtReply reply;
    std::optional<unsigned> tries;
  } cases[] = {
      {Reply({"+csim: 4,\"63c3\""}), 3},
      {Reply({"+csim: 4,\"63c0\""}), 0},
      {Reply({"+csim: 4,\"63ca\""}), 10},
      {Reply({"+csim: 4,63c2"}), 2},
      {Reply({"+csim: 4,\"63cf\""}), kUnknown},  // more than a SIM has
      {Reply({"+csim: 4,\"9000\""}), kUnknown},  // verified: no count told
      {Reply({"+csim: 4,\"6983\""}), kUnknown},
      {Reply({"+csim: 6,\"63c3\""}), kUnknown},
      {Reply({"+csim: 4,\"63c\""}), kUnknown},
      {Reply({"+csim: 4,\"63c3\""}, F::None), kUnknown},
      {Reply({}, F::CmeError), kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.reply.lines));
    EXPECT_EQ(TriesFromCsim(c.reply), c.tries);
  }
}

// The order of the dialects and where asking stops, on a modem that answers
// only what its script holds; anything else it refuses with ERROR.
TEST(SimTries, ReadAsksInOrderAndStops) {
  const AtReply kError = Reply({}, F::Error);
  AtReply silence;
  const std::set<std::string> queries = {
      kMakerQuery,        k3gppTriesQuery,   k3gppPinTriesQuery, k3gppPukTriesQuery,
      kHuaweiTriesQuery,  kZteTriesQuery,    kQuectelTriesQuery, kCsimPinTriesQuery,
      kCsimPukTriesQuery,
  };
  const struct {
    const char* name;
    std::map<std::string, AtReply> script;
    std::vector<std::string> sent;
    std::optional<unsigned> pin;
    std::optional<unsigned> puk;
  } cases[] = {
      {"huawei answers itself",
       {{"at+cgmi", Reply({"huawei"})}, {"at^cpin?", Reply({"^cpin: sim pin,,10,3,10,3"})}},
       {"at+cgmi", "at^cpin?"}, 3, 10},
      {"huawei unknown counts, then 3gpp",
       {{"at+cgmi", Reply({"huawei technologies co., ltd."})},
        {"at^cpin?", Reply({"^cpin: sim pin,,255,255,255,255"})},
        {"at+cpinr", Reply({"+cpinr: sim pin,2,3"})}},
       {"at+cgmi", "at^cpin?", "at+cpinr"}, 2, kUnknown},
      {"zte", {{"at+cgmi", Reply({"zte incorporated"})}, {"at+zpinpuk=?", Reply({"+zpinpuk: 3,10"})}},
       {"at+cgmi", "at+zpinpuk=?"}, 3, 10},
      {"quectel",
       {{"at+cgmi", Reply({"quectel"})}, {"at+qpinc?", Reply({"+qpinc: \"sc\",1,10"})}},
       {"at+cgmi", "at+qpinc?"}, 1, 10},
      {"other maker: 3gpp only",
       {{"at+cgmi", Reply({"sierra wireless"})},
        {"at+cpinr", Reply({"+cpinr: sim pin,3,3", "+cpinr: sim puk,10,10"})}},
       {"at+cgmi", "at+cpinr"}, 3, 10},
      {"bare cpinr refused: asked per code",
       {{"at+cgmi", kError},
        {"at+cpinr=\"sim pin\"", Reply({"+cpinr: sim pin,1,3"})},
        {"at+cpinr=\"sim puk\"", Reply({"+cpinr: sim puk,10,10"})}},
       {"at+cgmi", "at+cpinr", "at+cpinr=\"sim pin\"", "at+cpinr=\"sim puk\""}, 1, 10},
      {"cpinr ok but silent on the counts: no per-code retry, csim",
       {{"at+cgmi", Reply({"zte"})}, {"at+cpinr", Reply({})},
        {"at+csim=10,\"0020000100\"", Reply({"+csim: 4,\"63c2\""})},
        {"at+csim=10,\"002c000100\"", Reply({"+csim: 4,\"63ca\""})}},
       {"at+cgmi", "at+zpinpuk=?", "at+cpinr", "at+csim=10,\"0020000100\"",
        "at+csim=10,\"002c000100\""},
       2, 10},
      {"nobody tells",
       {},
       {"at+cgmi", "at+cpinr", "at+cpinr=\"sim pin\"", "at+cpinr=\"sim puk\"",
        "at+csim=10,\"0020000100\"", "at+csim=10,\"002c000100\""},
       kUnknown, kUnknown},
      {"mute modem: one question", {{"at+cgmi", silence}}, {"at+cgmi"}, kUnknown, kUnknown},
      {"goes quiet in the middle",
       {{"at+cgmi", Reply({"huawei"})}, {"at^cpin?", kError}, {"at+cpinr", silence}},
       {"at+cgmi", "at^cpin?", "at+cpinr"}, kUnknown, kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> sent;
    const SimTries tries = ReadSimTries([&](const std::string& command) {
      sent.push_back(command);
      const auto it = c.script.find(command);
      return it != c.script.end() ? it->second : kError;
    });
    EXPECT_EQ(sent, c.sent);
    for (const auto& command : sent) EXPECT_EQ(queries.count(command), 1u) << command;
    EXPECT_EQ(tries.pin, c.pin);
    EXPECT_EQ(tries.puk, c.puk);
  }
}

}  // namespace
}  // namespace tessivo
