#include "wildcard.h"

#include "case_mapping.h"

namespace tessory {
namespace {

// Decodes one UTF-8 sequence; a malformed byte stands for itself.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    unsigned char lead = static_cast<unsigned char>(text[pos++]);
    int extra = 0;
    if (lead >= 0xC2 && lead <= 0xDF) extra = 1;
    else if (lead >= 0xE0 && lead <= 0xEF) extra = 2;
    else if (lead >= 0xF0 && lead <= 0xF4) extra = 3;
    if (extra == 0 || pos + static_cast<size_t>(extra) > text.size()) return lead;
    char32_t value = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        unsigned char next = static_cast<unsigned char>(text[pos + static_cast<size_t>(i)]);
        if ((next & 0xC0) != 0x80) return lead;
        value = (value << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[extra] || value > 0x10FFFF) return lead;  // overlong or out of range
    pos += static_cast<size_t>(extra);
    return value;
}

}  // namespace

std::u32string LowerText(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) out.push_back(NextCodePoint(utf8, pos));
    LowerCodePoints(out);
    return out;
}

bool WildcardPattern::Element::Accepts(char32_t c) const {
    switch (kind) {
    case Literal: return c == literal;
    case AnyOne: return true;
    case Digit: return c >= U'0' && c <= U'9';
    case Set: {
        bool inList = false;
        for (const auto& range : ranges) inList = inList || (c >= range.first && c <= range.second);
        return inList != negated;
    }
    case AnyRun: break;
    }
    return false;
}

WildcardPattern::WildcardPattern(std::string_view utf8) {
    std::u32string p = LowerText(utf8);
    matchesAll_ = p == U"*";
    for (size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        if (c == U'?') {
            elements_.push_back(Element{Element::AnyOne, 0, false, {}});
        } else if (c == U'*') {
            if (elements_.empty() || elements_.back().kind != Element::AnyRun) elements_.push_back(Element{Element::AnyRun, 0, false, {}});
        } else if (c == U'#') {
            elements_.push_back(Element{Element::Digit, 0, false, {}});
        } else if (c == U'[') {
            size_t close = p.find(U']', i + 1);
            if (close == std::u32string::npos) {
                malformed_ = true;
                return;
            }
            Element set{Element::Set, 0, false, {}};
            size_t j = i + 1;
            if (j < close && p[j] == U'!') {
                set.negated = true;
                ++j;
            }
            if (j == close && !set.negated) {
                i = close;  // "[]" matches the empty text at its place
                continue;
            }
            for (; j < close; ++j) {
                if (j + 2 < close && p[j + 1] == U'-') {
                    if (p[j] > p[j + 2]) {
                        malformed_ = true;
                        return;
                    }
                    set.ranges.emplace_back(p[j], p[j + 2]);
                    j += 2;
                } else {
                    set.ranges.emplace_back(p[j], p[j]);
                }
            }
            elements_.push_back(std::move(set));
            i = close;
        } else {
            elements_.push_back(Element{Element::Literal, c, false, {}});
        }
    }
}

bool WildcardPattern::Matches(std::u32string_view text) const {
    if (malformed_) return false;
    if (matchesAll_) return true;
    // Greedy match that backtracks only to the last "*": every other element takes one character.
    size_t e = 0, t = 0;
    size_t starElement = std::u32string_view::npos, starText = 0;
    while (t < text.size()) {
        if (e < elements_.size() && elements_[e].kind == Element::AnyRun) {
            starElement = e++;
            starText = t;
        } else if (e < elements_.size() && elements_[e].Accepts(text[t])) {
            ++e;
            ++t;
        } else if (starElement != std::u32string_view::npos) {
            e = starElement + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (e < elements_.size() && elements_[e].kind == Element::AnyRun) ++e;
    return e == elements_.size();
}

PatternList::PatternList(std::string_view setting) {
    if (setting.empty()) return;
    size_t start = 0;
    while (true) {
        size_t end = setting.find(';', start);
        patterns_.emplace_back(setting.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
}

PatternList::Result PatternList::FirstMatch(std::u32string_view loweredText) const {
    for (const WildcardPattern& pattern : patterns_) {
        if (pattern.Malformed()) return Result::Malformed;
        if (pattern.Matches(loweredText)) return Result::Match;
    }
    return Result::NoMatch;
}

}  // namespace tessory
