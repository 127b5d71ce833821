// The Aho-Corasick automaton of a list's names.

#include "selection/aho_corasick.h"

namespace orbitpick {

// Sorted, the names that share a node's string are a range, so the trie is
// laid out breadth-first by splitting ranges, with no map from (node, byte)
// to child.
void build_automaton(const std::vector<std::string>& names, NameAutomaton* a) {
  std::vector<std::uint32_t> order;
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    if (!names[i].empty()) order.push_back(i);
  }
  std::stable_sort(
      order.begin(), order.end(),
      [&](std::uint32_t x, std::uint32_t y) { return names[x] < names[y]; });
  struct Range {
    std::uint32_t first, last, depth;
  };
  std::vector<Range> ranges = {
      {0, static_cast<std::uint32_t>(order.size()), 0}};
  *a = NameAutomaton();
  a->label.push_back(0);
  for (std::size_t v = 0; v < ranges.size(); ++v) {
    const Range r = ranges[v];
    a->child_begin.push_back(static_cast<std::uint32_t>(ranges.size()));
    a->out_begin.push_back(static_cast<std::uint32_t>(a->out_names.size()));
    std::uint32_t i = r.first;
    // A name that is this node's string sorts before the longer ones.
    for (; i < r.last && names[order[i]].size() == r.depth; ++i) {
      a->out_names.push_back(order[i]);
    }
    while (i < r.last) {
      const char c = names[order[i]][r.depth];
      std::uint32_t j = i + 1;
      while (j < r.last && names[order[j]][r.depth] == c) ++j;
      ranges.push_back({i, j, r.depth + 1});
      a->label.push_back(static_cast<std::uint8_t>(c));
      i = j;
    }
  }
  const auto nodes = static_cast<std::uint32_t>(ranges.size());
  a->child_begin.push_back(nodes);
  a->out_begin.push_back(static_cast<std::uint32_t>(a->out_names.size()));
  a->walked.assign(a->out_names.size() + 1, 0);
  a->fail.assign(nodes, 0);
  a->report.assign(nodes, 0);
  for (std::uint32_t c = a->child_begin[0]; c < a->child_begin[1]; ++c) {
    a->root_next[a->label[c]] = c;
  }
  // Breadth-first, so a node's fail link and everything shallower is done
  // before its children need them.
  for (std::uint32_t v = 0; v < nodes; ++v) {
    for (std::uint32_t c = a->child_begin[v]; c < a->child_begin[v + 1]; ++c) {
      const std::uint32_t f = v == 0 ? 0 : step(*a, a->fail[v], a->label[c]);
      a->fail[c] = f;
      a->report[c] = a->out_begin[c + 1] > a->out_begin[c] ? c : a->report[f];
    }
  }
}

}  // namespace orbitpick
