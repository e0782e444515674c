#include "line_editor.h"

namespace tessivo::modemsim {

namespace {

bool IsA(char c) {
  return c == 'A' || c == 'a';
}
bool IsT(char c) {
  return c == 'T' || c == 't';
}

}  // namespace

size_t LineEditor::PrefixAt() const {
  for (size_t i = 0; i + 1 < typed_.size(); ++i) {
    if (IsA(typed_[i]) && IsT(typed_[i + 1])) return i;
  }
  return std::string::npos;
}

LineEditor::Event LineEditor::Feed(char c, char endOfLine, char backspace) {
  if (c == endOfLine) {
    size_t at = PrefixAt();
    line_ = at == std::string::npos ? std::string() : typed_.substr(at);
    tooLong_ = at != std::string::npos && overflow_;
    Clear();
    return Event::kLine;
  }
  if (c == backspace) {
    if (!typed_.empty()) typed_.pop_back();
    return Event::kNone;
  }
  auto byte = static_cast<unsigned char>(c);
  // Line feeds after the carriage return and other control characters are
  // no part of a command.
  if (byte < 0x20 || byte == 0x7f) return Event::kNone;
  // "A/" is a prefix of its own; inside a line that has begun with "AT" a
  // slash is just a character.
  if (c == '/' && !typed_.empty() && IsA(typed_.back()) && PrefixAt() == std::string::npos) {
    Clear();
    return Event::kRepeat;
  }
  if (typed_.size() >= kMaxLine) {
    // Text before the prefix is ignored anyway: keep only what may still
    // matter, the line from "AT" on or an "A" waiting for its "T".
    size_t at = PrefixAt();
    typed_.erase(0, at == std::string::npos ? typed_.size() - 1 : at);
    if (typed_.size() >= kMaxLine) {
      // A command this long is an error, but it still ends at S3.
      overflow_ = true;
      return Event::kNone;
    }
  }
  typed_ += c;
  return Event::kNone;
}

void LineEditor::Clear() {
  typed_.clear();
  overflow_ = false;
}

}  // namespace tessivo::modemsim
