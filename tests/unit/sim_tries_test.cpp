#include "modem/sim_tries.h"

#include <gtest/gtest.h>

#include <set>

namespace tessivo {
namespace {

// "line|line|final": the last part is the final result ("ok", "error",
// "+cme error: 10"); anything else there is a reply cut short. "" is silence.
AtReply R(const std::string& text) {
  AtReply reply;
  reply.heardAnything = !text.empty();
  std::string rest = text;
  for (std::size_t bar; (bar = rest.find('|')) != std::string::npos; rest.erase(0, bar + 1)) {
    reply.lines.push_back(rest.substr(0, bar));
  }
  using F = FinalResult;
  reply.final = rest == "ok"                       ? F::Ok
                : rest == "error"                  ? F::Error
                : rest.rfind("+cme error", 0) == 0 ? F::CmeError
                                                   : F::None;
  if (reply.final == F::None && !rest.empty()) reply.lines.push_back(rest);
  return reply;
}

std::string Show(const SimTries& t) {
  const auto one = [](std::optional<unsigned> n) { return n ? std::to_string(*n) : "?"; };
  return t.answered ? one(t.pin) + "/" + one(t.puk) : "no answer";
}

// Rows of a reply and the tries read from it, "pin/puk" with "?" for unknown.
void Check(SimTries (*read)(const AtReply&),
           std::initializer_list<std::pair<const char*, const char*>> rows) {
  for (const auto& [reply, tries] : rows) EXPECT_EQ(Show(read(R(reply))), tries) << reply;
}

// clang-format off
TEST(SimTries, ThreeGpp) {
  Check(TriesFrom3gpp, {  // other codes' lines first, quotes, blanks, odd values
      {"+cpinr: sim pin,3,3|+cpinr: sim puk,10,10|ok", "3/10"},
      {"+cpinr: sim puk2,10,10|+cpinr: sim pin2,3,3|+cpinr: sim puk,9,10|+cpinr: sim pin,1,3|ok", "1/9"},
      {"+cpinr: \"sim pin\",\"2\",\"3\"|ok", "2/?"},
      {"  +cpinr:  sim pin , 0 , 3 |ok", "0/?"},
      {"+cpinr: sim pin,255,3|+cpinr: sim puk,-1,10|ok", "?/?"},
      {"+cpinr: sim pin,,3|+cpinr: sim puk,11,10|ok", "?/?"}, {"+cpinr: sim pin,x|ok", "?/?"},
      {"+creg: 0,1|+cpinr: sim pin,3,3|ok", "3/?"},
      {"+cpinr: sim pin,3,3", "?/?"},  // cut short
      {"+cpinr: sim pin,3,3|+cme error: 10", "?/?"},
      {"error", "?/?"}});
}

TEST(SimTries, Huawei) {
  Check(TriesFromHuawei, {
      {"^cpin: sim pin,3,10,3,10,3|ok", "3/10"},  // the PUK first
      {"^cpin: ready,,9,2,10,3|ok", "2/9"}, {"^cpin: \"sim puk\",10,10,0,10,3|ok", "0/10"},
      {"^cpin: sim pin,3,255,255,255,255|ok", "?/?"}, {"^cpin: sim pin,3,11,-1,10,3|ok", "?/?"},
      {"^cpin: sim pin,3,10|ok", "?/?"}, {"^cpin: sim pin,,10,3,10,3", "?/?"}, {"+cme error: 3", "?/?"},
      {"^sysinfo: 2,3,0,5,1|^cpin: sim pin,,10,3,10,3|ok", "3/10"}});
}

TEST(SimTries, ZteAndQuectel) {
  Check(TriesFromZte, {
      {"+zpinpuk: 3,10|ok", "3/10"}, {"+zpinpuk: \"1\",\"8\"|ok", "1/8"},
      {"+zpinpuk: 255,|ok", "?/?"}, {"+zpinpuk: 3|ok", "?/?"}, {"+zpinpuk: 3,10|error", "?/?"}});
  Check(TriesFromQuectel, {
      {"+qpinc: \"sc\",3,10|+qpinc: \"p2\",3,10|ok", "3/10"},
      {"+qpinc: \"p2\",1,5|+qpinc: sc,2,9|ok", "2/9"},  // the PIN2 line first
      {"+qpinc: \"sc\",,11|ok", "?/?"}, {"+qpinc: \"p2\",3,10|ok", "?/?"}, {"+qpinc: \"sc\",3,10", "?/?"}});
}

TEST(SimTries, Csim) {
  Check([](const AtReply& reply) { return SimTries{TriesFromCsim(reply), std::nullopt}; }, {
      {"+csim: 4,\"63c3\"|ok", "3/?"}, {"+csim: 4,\"63c0\"|ok", "0/?"}, {"+csim: 4,63ca|ok", "10/?"},
      {"+csim: 4,\"63cf\"|ok", "?/?"},  // more than a SIM has
      {"+csim: 4,\"9000\"|ok", "?/?"}, {"+csim: 4,\"6983\"|ok", "?/?"}, {"+csim: 6,\"63c3\"|ok", "?/?"},
      {"+csim: 4,\"63c\"|ok", "?/?"}, {"+csim: 4,\"63c3\"", "?/?"}, {"+cme error: 4", "?/?"}});
}

// The order of the dialects and where asking stops, on a modem that refuses
// with ERROR whatever its script ("command>reply; ...") does not hold.
TEST(SimTries, ReadAsksInOrderAndStops) {
  const std::set<std::string> queries = {kMakerQuery, k3gppTriesQuery, k3gppPinTriesQuery,
      k3gppPukTriesQuery, kHuaweiTriesQuery, kZteTriesQuery, kQuectelTriesQuery,
      kCsimPinTriesQuery, kCsimPukTriesQuery};
  const std::string pinApdu = " at+csim=10,\"0020000100\"", pukApdu = " at+csim=10,\"002c000100\"";
  const struct { std::string script, sent, tries; } cases[] = {
      {"at+cgmi>huawei|ok; at^cpin?>^cpin: sim pin,,10,3,10,3|ok", "at+cgmi at^cpin?", "3/10"},
      {"at+cgmi>huawei technologies|ok; at^cpin?>^cpin: ,,255,255,255,255|ok; at+cpinr>+cpinr: sim pin,2,3|ok",
       "at+cgmi at^cpin? at+cpinr", "2/?"},
      {"at+cgmi>zte incorporated|ok; at+zpinpuk=?>+zpinpuk: 3,10|ok", "at+cgmi at+zpinpuk=?", "3/10"},
      {"at+cgmi>quectel|ok; at+qpinc?>+qpinc: \"sc\",1,10|ok", "at+cgmi at+qpinc?", "1/10"},
      {"at+cgmi>sierra wireless|ok; at+cpinr>+cpinr: sim puk,10,10|ok", "at+cgmi at+cpinr", "?/10"},
      {"at+cpinr=\"sim pin\">+cpinr: sim pin,1,3|ok; at+cpinr=\"sim puk\">+cpinr: sim puk,10,10|ok",
       "at+cgmi at+cpinr at+cpinr=\"sim pin\" at+cpinr=\"sim puk\"", "1/10"},
      {"at+cgmi>zte|ok; at+cpinr>ok; at+csim=10,\"0020000100\">+csim: 4,\"63c2\"|ok; "
       "at+csim=10,\"002c000100\">+csim: 4,\"63ca\"|ok",
       "at+cgmi at+zpinpuk=? at+cpinr" + pinApdu + pukApdu, "2/10"},
      {"", "at+cgmi at+cpinr at+cpinr=\"sim pin\" at+cpinr=\"sim puk\"" + pinApdu + pukApdu, "?/?"},
      // A question without a whole answer in time: nothing is known yet.
      {"at+cgmi>", "at+cgmi", "no answer"},  // mute: one question only
      {"at+cgmi>huawei|ok; at+cpinr>", "at+cgmi at^cpin? at+cpinr", "no answer"},  // quiet on the way
      {"at+cgmi>tessivo|ok; at+cpinr>+cpinr: sim pin,1,3", "at+cgmi at+cpinr", "no answer"},
  };
  for (const auto& c : cases) {
    std::string sent;
    const SimTries tries = ReadSimTries([&](const std::string& command) {
      EXPECT_EQ(queries.count(command), 1u) << command;
      sent += (sent.empty() ? "" : " ") + command;
      const std::size_t at = c.script.find(command + ">");
      if (at == std::string::npos) return R("error");
      const std::size_t from = at + command.size() + 1;
      return R(c.script.substr(from, c.script.find("; ", from) - from));
    });
    EXPECT_EQ(sent, c.sent);
    EXPECT_EQ(Show(tries), c.tries) << c.sent;
  }
}
// clang-format on

}  // namespace
}  // namespace tessivo
