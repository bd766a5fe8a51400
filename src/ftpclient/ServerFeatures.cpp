#include "ServerFeatures.h"

#include <string_view>

namespace quorlin {
namespace {

bool SameLetters(std::string_view word, std::string_view expected) {
    if (word.size() != expected.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = word[i] >= 'a' && word[i] <= 'z' ? static_cast<char>(word[i] - 'a' + 'A') : word[i];
        if (c != expected[i]) return false;
    }
    return true;
}

}  // namespace

void ServerFeatures::Read(const FtpReply& reply) {
    *this = ServerFeatures();
    if (reply.code != 211 || reply.outOfTurn || reply.lines.empty()) return;
    listed_ = true;
    // Each feature line starts with a blank, then the feature's name and
    // perhaps its parameters ("MLST type*;size*;modify*;").
    for (size_t at = 1; at < reply.lines.size(); ++at) {
        std::string_view line = reply.lines[at];
        if (line.empty() || line[0] != ' ') continue;
        line.remove_prefix(1);
        const std::string_view name = line.substr(0, line.find(' '));
        if (SameLetters(name, "MLST") || SameLetters(name, "MLSD")) machineListing_ = true;
        else if (SameLetters(name, "MFMT")) modifyTime_ = true;
    }
}

}  // namespace quorlin
