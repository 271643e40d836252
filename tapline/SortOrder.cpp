#include "tapline/SortOrder.h"

namespace tapline {

namespace {

struct Ordering {
  SortKind kind;
  bool reversed;
  const SortKey* keys;

  // True when item a goes strictly before item b.
  bool Before(std::uint32_t a, std::uint32_t b) const {
    return CompareSortKeys(kind, reversed, keys[a], keys[b]) < 0;
  }
};

// Bottom-up merge sort of indices: stable, no allocation.
void StableSort(const Ordering& ordering, std::uint32_t* items, std::uint32_t* scratch, std::uint32_t count) {
  std::uint32_t* from = items;
  std::uint32_t* to = scratch;
  for (std::uint32_t width = 1; width < count; width *= 2) {
    for (std::uint32_t left = 0; left < count; left += 2 * width) {
      std::uint32_t middle = left + width < count ? left + width : count;
      std::uint32_t right = left + 2 * width < count ? left + 2 * width : count;
      std::uint32_t i = left, j = middle, k = left;
      while (i < middle && j < right) to[k++] = ordering.Before(from[j], from[i]) ? from[j++] : from[i++];
      while (i < middle) to[k++] = from[i++];
      while (j < right) to[k++] = from[j++];
    }
    std::uint32_t* swap = from;
    from = to;
    to = swap;
  }
  if (from != items) {
    for (std::uint32_t k = 0; k < count; ++k) items[k] = from[k];
  }
}

bool IsIdentity(const std::uint32_t* order, std::uint32_t count) {
  for (std::uint32_t k = 0; k < count; ++k) {
    if (order[k] != k) return false;
  }
  return true;
}

bool IsDigit(std::uint16_t c, std::uint32_t& digit) {
  if (c >= u'0' && c <= u'9') {
    digit = c - u'0';
    return true;
  }
  if (c >= 0xFF10 && c <= 0xFF19) {  // full-width digits
    digit = c - 0xFF10;
    return true;
  }
  return false;
}

std::uint16_t Fold(std::uint16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<std::uint16_t>(c + 0x20);
  if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<std::uint16_t>(c + 0x20);  // full-width Latin
  return c;
}

bool StartsWithFolded(const std::uint16_t* text, const std::uint16_t* prefix) {
  for (; *prefix; ++prefix, ++text) {
    if (!*text || Fold(*text) != Fold(*prefix)) return false;
  }
  return true;
}

}  // namespace

int CompareSortKeys(SortKind kind, bool reversed, const SortKey& a, const SortKey& b) {
  if (kind == SortKind::NumberInName) {
    if (a.present != b.present) return a.present ? -1 : 1;  // numbers first in both directions
    if (!a.present) return 0;
  }
  if (a.value == b.value) return 0;
  bool aFirst = kind == SortKind::NumberInName ? (a.value < b.value) : (a.value > b.value);
  if (reversed) aFirst = !aFirst;
  return aFirst ? -1 : 1;
}

bool ComputeSortOrder(SortKind kind, const SortKey* keys, std::uint32_t count, std::uint32_t* order,
                      std::uint32_t* scratch, bool& reversed) {
  reversed = false;
  if (!keys || !order || !scratch || count < 2) return false;
  for (int pass = 0; pass < 2; ++pass) {
    bool backwards = pass == 1;
    for (std::uint32_t k = 0; k < count; ++k) order[k] = k;
    StableSort(Ordering{kind, backwards, keys}, order, scratch, count);
    if (!IsIdentity(order, count)) {
      reversed = backwards;
      return true;
    }
  }
  return false;
}

bool FindNumberAfterHeader(const std::uint16_t* name, const std::uint16_t* header, std::uint64_t& value) {
  if (!name || !header) return false;
  const std::uint16_t* p = name;
  if (*header) {
    while (*p && !StartsWithFolded(p, header)) ++p;
    if (!*p) return false;
    while (*header) ++header, ++p;
  }
  std::uint32_t digit = 0;
  while (*p && !IsDigit(*p, digit)) ++p;
  if (!*p) return false;
  std::uint64_t number = 0;
  constexpr std::uint64_t kMax = ~std::uint64_t{0};
  for (; *p && IsDigit(*p, digit); ++p) {
    number = number > (kMax - digit) / 10 ? kMax : number * 10 + digit;
  }
  value = number;
  return true;
}

}  // namespace tapline
