#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tessory {

// Text as code points, lower-cased by LowerCodePoints; a byte that starts no valid UTF-8
// sequence stands for itself.
std::u32string LowerText(std::string_view utf8);

// One wildcard pattern: "?" any character, "*" any run, "#" a digit, "[abc]", "[!abc]", "[a-f]".
class WildcardPattern {
public:
    // Compiles a pattern (lower-cased first); a bracket list left open or a range whose first
    // character comes after its last makes it malformed.
    explicit WildcardPattern(std::string_view utf8);
    bool Malformed() const { return malformed_; }
    // True when the pattern matches the whole (already lower-cased) text; never for a malformed pattern.
    bool Matches(std::u32string_view text) const;
    // True for "*", which matches every text.
    bool MatchesAll() const { return matchesAll_; }

private:
    struct Element {
        enum Kind { Literal, AnyOne, AnyRun, Digit, Set } kind;
        char32_t literal = 0;
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
        bool Accepts(char32_t c) const;
    };
    std::vector<Element> elements_;
    bool malformed_ = false;
    bool matchesAll_ = false;
};

// A ";"-separated list of patterns, kept in order; pieces are not trimmed.
class PatternList {
public:
    explicit PatternList(std::string_view setting);
    enum class Result { NoMatch, Match, Malformed };
    // Tries the patterns in order: the first that matches gives Match; reaching a malformed
    // pattern before any match gives Malformed.
    Result FirstMatch(std::u32string_view loweredText) const;
    bool Empty() const { return patterns_.empty(); }
    // True when the first pattern is "*": FirstMatch gives Match whatever the text.
    bool MatchesEverything() const { return !patterns_.empty() && patterns_.front().MatchesAll(); }

private:
    std::vector<WildcardPattern> patterns_;
};

}  // namespace tessory
