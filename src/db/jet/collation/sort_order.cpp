#include "db/jet/collation/sort_order.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "db/jet/collation/sort_order_languages.h"
#include "db/jet/base/text.h"

namespace qv::jet {

extern const unsigned char kGeneralLegacyWeights[];
extern const unsigned long kGeneralLegacyWeightsSize;
extern const unsigned char kGeneral2010Weights[];
extern const unsigned long kGeneral2010WeightsSize;

namespace {

enum Kind : uint8_t {
  kIgnored = 0,
  kSimple = 1,
  kInternational = 2,
  kUnprintable = 3,
  kModifier = 4,
  kInternationalMarked = 5,
  kSignificant = 6,
  kSurrogate = 7,
};

constexpr uint8_t kEndText = 0x01;
constexpr uint8_t kEndKey = 0x00;
constexpr uint8_t kFiller = 0x02;
constexpr uint8_t kMarkFlush = 0x80;
constexpr uint8_t kUnprintableMidfix = 0x06;

// One code unit's weights; byte strings live in the table's pool.
struct Weight {
  uint8_t kind = kIgnored;
  uint8_t inlineLength = 0;
  uint8_t extraLength = 0;
  uint8_t modifierOrMark = 0;  // extra-modifier value, or the mark of international+
  uint32_t inlineAt = 0;
  uint32_t extraAt = 0;
};

char16_t lowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// The number of units of a sequence (up to three, 0-padded) when text holds it at i, else 0.
size_t matchAt(const char16_t (&units)[3], std::u16string_view text, size_t i) {
  size_t n = 0;
  while (n < 3 && units[n] != 0) {
    if (i + n >= text.size() || text[i + n] != units[n]) return 0;
    ++n;
  }
  return n;
}

// The language's weight of the longest sequence text holds at i (its length in *length),
// or nullptr.
const LanguageWeight* languageWeightAt(const LanguageOrder& order, std::u16string_view text, size_t i, size_t* length) {
  const LanguageWeight* best = nullptr;
  *length = 0;
  for (size_t k = 0; k < order.weightCount; ++k) {
    const size_t n = matchAt(order.weights[k].units, text, i);
    if (n > *length) {
      best = &order.weights[k];
      *length = n;
    }
  }
  return best;
}

class WeightTable final : public TextKeyEncoder {
 public:
  WeightTable(const unsigned char* data, unsigned long size, std::string name) : name_(std::move(name)) {
    weights_.resize(0x10000);
    unsigned long pos = 0;
    auto need = [&](unsigned long n) {
      if (pos + n > size) throw std::logic_error("sort order table is truncated");
    };
    auto bytes = [&](uint8_t* length, uint32_t* at) {
      need(1);
      *length = data[pos++];
      need(*length);
      *at = static_cast<uint32_t>(pool_.size());
      pool_.insert(pool_.end(), data + pos, data + pos + *length);
      pos += *length;
    };
    uint32_t unit = 0;
    auto skipSurrogates = [&] {
      while (unit >= 0xD800 && unit <= 0xDFFF) ++unit;
    };
    skipSurrogates();
    while (pos < size) {
      uint8_t op = data[pos++];
      uint32_t count = 1;
      if (op & 0x08) {
        need(2);
        count = static_cast<uint32_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
      }
      Weight w;
      w.kind = op & 0x07;
      switch (w.kind) {
        case kSimple:
        case kSignificant:
        case kUnprintable: bytes(&w.inlineLength, &w.inlineAt); break;
        case kInternational:
          bytes(&w.inlineLength, &w.inlineAt);
          bytes(&w.extraLength, &w.extraAt);
          break;
        case kModifier:
          need(1);
          w.modifierOrMark = data[pos++];
          break;
        case kInternationalMarked:
          bytes(&w.inlineLength, &w.inlineAt);
          bytes(&w.extraLength, &w.extraAt);
          need(1);
          w.modifierOrMark = data[pos++];
          break;
        default: break;
      }
      for (uint32_t k = 0; k < count; ++k) {
        if (unit > 0xFFFF) throw std::logic_error("sort order table is too long");
        Weight u = w;
        if (k > 0 && w.kind == kSimple) {
          // A run: the inline bytes of each further unit are one more, big-endian.
          const uint32_t previous = weights_[unit - 1].inlineAt;
          u.inlineAt = static_cast<uint32_t>(pool_.size());
          pool_.resize(pool_.size() + w.inlineLength);
          uint8_t* next = pool_.data() + u.inlineAt;
          std::memcpy(next, pool_.data() + previous, w.inlineLength);
          for (size_t b = u.inlineLength; b-- > 0;)
            if (++next[b] != 0) break;
        }
        weights_[unit++] = u;
        skipSurrogates();
      }
    }
    if (unit != 0x10000) throw std::logic_error("sort order table is incomplete");
    // Surrogates: the inline bytes follow from the unit, the extra byte is fixed.
    uint32_t extraAt = static_cast<uint32_t>(pool_.size());
    pool_.push_back(0x3F);
    for (uint32_t c = 0xD800; c <= 0xDFFF; ++c) {
      uint32_t index;
      if (c <= 0xDBFF) {
        index = c - 10238;
      } else {
        uint32_t within = (c - 0xDC00) % 1024;
        uint32_t shift = within < 8 ? 9992 : within < 262 ? 9990 : within < 516 ? 9988 : within < 770 ? 9986 : 9984;
        index = c - shift;
      }
      Weight w;
      w.kind = kSurrogate;
      w.inlineLength = 2;
      w.inlineAt = static_cast<uint32_t>(pool_.size());
      pool_.push_back(static_cast<uint8_t>(index >> 8));
      pool_.push_back(static_cast<uint8_t>(index));
      w.extraLength = 1;
      w.extraAt = extraAt;
      weights_[c] = w;
    }
  }

  std::string name() const override { return name_; }

  void append(std::u16string_view text, bool ascending, std::vector<uint8_t>& out) const override {
    encode(text, ascending, out, nullptr);
  }

  // The part of a text its key is made of: at most 255 units, without trailing blanks.
  static std::u16string_view keyedPart(std::u16string_view text) {
    if (text.size() > 255) text = text.substr(0, 255);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return text;
  }

  // The key, with the units and sequences a language weighs otherwise (if any) keyed by
  // the language's weights.
  void encode(std::u16string_view text, bool ascending, std::vector<uint8_t>& out,
              const LanguageOrder* language) const {
    text = keyedPart(text);
    const size_t start = out.size();
    std::vector<uint8_t> extra, unprintable, marks;
    bool haveExtra = false, haveUnprintable = false, haveMarks = false;
    size_t extraUnits = 0;        // units the extra bytes account for
    size_t extraLeadingMods = 0;  // modifier bytes at the very start of the extra bytes
    size_t position = 0;          // units with inline bytes so far
    for (size_t i = 0; i < text.size();) {
      size_t length = 0;
      if (const LanguageWeight* own = language ? languageWeightAt(*language, text, i, &length) : nullptr) {
        out.insert(out.end(), own->inlineBytes, own->inlineBytes + own->inlineLength);
        if (own->extra != 0) {
          haveExtra = true;
          if (extraUnits < position) {
            extra.insert(extra.end(), position - extraUnits, kFiller);
            extraUnits = position;
          }
          extra.push_back(own->extra);
          ++extraUnits;
        }
        ++position;
        i += length;
        continue;
      }
      const char16_t c = text[i++];
      const Weight& w = weights_[c];
      const size_t here = position;
      if (w.inlineLength > 0 && w.kind != kUnprintable) {
        out.insert(out.end(), pool_.begin() + w.inlineAt, pool_.begin() + w.inlineAt + w.inlineLength);
        ++position;
      }
      if (w.kind == kSimple || w.kind == kSignificant || w.kind == kIgnored) continue;
      bool hasExtraBytes = w.extraLength > 0 && w.kind != kUnprintable;
      bool modifier = w.kind == kModifier && w.modifierOrMark != 0;
      if (hasExtraBytes || modifier) {
        haveExtra = true;
        if (extraUnits < here) {
          extra.insert(extra.end(), here - extraUnits, kFiller);
          extraUnits = here;
        }
        if (hasExtraBytes) {
          extra.insert(extra.end(), pool_.begin() + w.extraAt, pool_.begin() + w.extraAt + w.extraLength);
          ++extraUnits;
        } else if (!extra.empty()) {
          extra.back() = static_cast<uint8_t>(extra.back() + w.modifierOrMark);
        } else {
          extra.push_back(w.modifierOrMark);
          extraLeadingMods = 1;
        }
      }
      if (w.kind == kUnprintable) {
        haveUnprintable = true;
        size_t at = here;
        if (haveExtra) at = extra.size() + (here - extraUnits) - extraLeadingMods;
        uint32_t v = static_cast<uint32_t>(7 + 4 * at) | 0x8000u;
        unprintable.push_back(static_cast<uint8_t>(v >> 8));
        unprintable.push_back(static_cast<uint8_t>(v));
        unprintable.push_back(kUnprintableMidfix);
        unprintable.insert(unprintable.end(), pool_.begin() + w.inlineAt, pool_.begin() + w.inlineAt + w.inlineLength);
      }
      if (w.kind == kInternationalMarked) {
        haveMarks = true;
        marks.push_back(w.modifierOrMark);
      }
    }
    out.push_back(kEndText);
    while (!extra.empty() && extra.back() <= kFiller) extra.pop_back();
    if (!extra.empty() || haveUnprintable || haveMarks) {
      out.insert(out.end(), extra.begin(), extra.end());
      if (haveUnprintable || haveMarks) {
        out.push_back(kEndText);
        out.push_back(kEndText);
        if (haveMarks) {
          while (!marks.empty() && marks.back() == 3) marks.pop_back();
          uint8_t cur = kMarkFlush;
          int n = 0;
          for (uint8_t m : marks) {
            cur = static_cast<uint8_t>(cur | (m << ((2 - n) * 2)));
            if (++n == 3) {
              out.push_back(cur);
              cur = kMarkFlush;
              n = 0;
            }
          }
          if (n > 0) out.push_back(cur);
          for (uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) out.push_back(b);
          if (haveUnprintable) out.push_back(0xFF);
        }
        if (haveUnprintable) {
          out.push_back(kEndText);
          out.insert(out.end(), unprintable.begin(), unprintable.end());
        }
      }
    }
    if (!ascending) {
      out.push_back(kEndKey);
      for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~out[i]);
    }
    out.push_back(kEndKey);
  }

 private:
  std::vector<Weight> weights_;
  std::vector<uint8_t> pool_;
  std::string name_;
};

const WeightTable& generalLegacy() {
  static const WeightTable legacy(kGeneralLegacyWeights, kGeneralLegacyWeightsSize, "General (legacy)");
  return legacy;
}

class TailoredOrder final : public TextKeyEncoder {
 public:
  explicit TailoredOrder(const LanguageOrder& order) : order_(order) {}

  std::string name() const override { return order_.name; }

  void append(std::u16string_view text, bool ascending, std::vector<uint8_t>& out) const override {
    const std::u16string_view keyed = WeightTable::keyedPart(text);
    // Left to right, as the key is made: a sequence the language weighs as one hides the
    // refused ones that begin inside it ("dzs" is a letter, its "zs" is not looked at).
    for (size_t i = 0; i < keyed.size();) {
      const char16_t c = keyed[i];
      for (size_t r = 0; r < order_.refusedUnitCount; ++r) {
        if (c >= order_.refusedUnits[r].from && c <= order_.refusedUnits[r].to)
          refuse(keyed.substr(i, c >= 0xD800 && c <= 0xDBFF && i + 1 < keyed.size() ? 2 : 1));
      }
      size_t weighed = 0;
      languageWeightAt(order_, keyed, i, &weighed);
      if (const size_t n = refusedAt(keyed, i); n > weighed) refuse(keyed.substr(i, n));
      if (order_.doubles && weighed == 0 && i + 1 < keyed.size()) {
        // "ccs": a letter before a sequence that begins with it again.
        size_t next = 0;
        languageWeightAt(order_, keyed, i + 1, &next);
        next = std::max(next, refusedAt(keyed, i + 1));
        if (next > 1 && lowerAscii(keyed[i + 1]) == lowerAscii(c)) refuse(keyed.substr(i, next + 1));
      }
      i += std::max<size_t>(weighed, 1);
    }
    generalLegacy().encode(keyed, ascending, out, &order_);
  }

 private:
  [[noreturn]] void refuse(std::u16string_view letter) const {
    throw UnencodableText("the " + std::string(order_.name) + " sort order places \"" + utf16ToUtf8(letter) +
                          "\" where this program does not know; a text holding it cannot be indexed");
  }

  // The length of the longest refused sequence text holds at i (0: none).
  size_t refusedAt(std::u16string_view text, size_t i) const {
    size_t longest = 0;
    for (size_t r = 0; r < order_.refusedCount; ++r)
      longest = std::max(longest, matchAt(order_.refused[r].units, text, i));
    return longest;
  }

  const LanguageOrder& order_;
};

const LanguageOrder* findLanguage(uint16_t language) {
  for (size_t i = 0; i < kLanguageOrderCount; ++i)
    if (kLanguageOrders[i].language == language) return &kLanguageOrders[i];
  return nullptr;
}

}  // namespace

const TextKeyEncoder* textKeyEncoder(uint16_t language, uint8_t version) {
  if (language == 0x0409 && version == 0) return &generalLegacy();
  if (language == 0x0409 && version == 1) {
    static const WeightTable current(kGeneral2010Weights, kGeneral2010WeightsSize, "General");
    return &current;
  }
  // Keys Access wrote exist for the other languages' orders of version 0 only.
  const LanguageOrder* l = findLanguage(language);
  if (!l || version != 0) return nullptr;
  static const auto orders = [] {
    std::vector<std::unique_ptr<TailoredOrder>> all;
    for (size_t i = 0; i < kLanguageOrderCount; ++i) all.push_back(std::make_unique<TailoredOrder>(kLanguageOrders[i]));
    return all;
  }();
  return orders[static_cast<size_t>(l - kLanguageOrders)].get();
}

std::string sortOrderName(uint16_t language, uint8_t version) {
  if (language == 0x0409 && version == 0) return "General (legacy)";
  if (language == 0x0409 && version == 1) return "General";
  if (const LanguageOrder* l = findLanguage(language); l && version == 0) return l->name;
  char buf[64];
  std::snprintf(buf, sizeof buf, "language 0x%04X version %u", language, static_cast<unsigned>(version));
  return buf;
}

}  // namespace qv::jet
