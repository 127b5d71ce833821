// The Aho-Corasick automaton of a list's names, which takes over the name
// matcher's exact check from lists that defeat its filter. Private to
// src/selection.

#ifndef ORBITPICK_SELECTION_AHO_CORASICK_H_
#define ORBITPICK_SELECTION_AHO_CORASICK_H_

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbitpick {

/// Nodes are in breadth-first order, node 0 the root (the empty string); the
/// children of node v are nodes child_begin[v] to child_begin[v + 1] - 1, in
/// increasing order of "label", the byte that leads to each.
struct NameAutomaton {
  std::vector<std::uint32_t> child_begin;  // one per node, and one more
  std::vector<std::uint8_t> label;
  // The node of the longest proper suffix of v's string that is a node.
  std::vector<std::uint32_t> fail;
  // The nearest node where a name ends: v itself, or along the fail links;
  // 0 if none.
  std::vector<std::uint32_t> report;
  // Names that end at v: out_names[out_begin[v]] to out_names[out_begin[v
  // + 1] - 1].
  std::vector<std::uint32_t> out_begin;
  std::vector<std::uint32_t> out_names;
  std::uint32_t root_next[256] = {};
  // Per node with names (at its out_begin): the line in which its names and
  // all names at the report nodes down its fail links were last recorded.
  std::vector<std::uint64_t> walked;
};

/// Builds the automaton of "names" (empty ones left out) into "a".
void build_automaton(const std::vector<std::string>& names, NameAutomaton* a);

// The child of node "v" by byte "c", or 0.
inline std::uint32_t child(const NameAutomaton& a, std::uint32_t v,
                           unsigned char c) {
  const std::uint32_t begin = a.child_begin[v];
  const std::uint32_t end = a.child_begin[v + 1];
  if (end - begin == 1) return a.label[begin] == c ? begin : 0;
  const std::uint8_t* first = a.label.data() + begin;
  const std::uint8_t* last = a.label.data() + end;
  if (last - first > 8) {
    const std::uint8_t* it = std::lower_bound(first, last, c);
    return it != last && *it == c
               ? static_cast<std::uint32_t>(it - a.label.data())
               : 0;
  }
  for (const std::uint8_t* it = first; it != last; ++it) {
    if (*it == c) return static_cast<std::uint32_t>(it - a.label.data());
  }
  return 0;
}

// The node after reading "c" in node "v".
inline std::uint32_t step(const NameAutomaton& a, std::uint32_t v,
                          unsigned char c) {
  for (;;) {
    if (v == 0) return a.root_next[c];
    const std::uint32_t next = child(a, v, c);
    if (next != 0) return next;
    v = a.fail[v];
  }
}

/// Runs the automaton over "text" from "at", where some name may start,
/// until it is back at the root: no name that starts between "at" and there
/// runs on past it. Returns where a filter may go on. For every name that
/// ends at text[q] it calls found(q + 1, name), having asked line_of(q) for
/// a number unique to q's line: each node's names and those down its fail
/// links are given once per line, so a line of "a"s against "a", "aa",
/// "aaa", ... costs the chain once, not at every byte.
template <typename LineOf, typename Found>
std::size_t run_automaton(NameAutomaton* automaton, std::string_view text,
                          std::size_t at, LineOf line_of, Found found) {
  NameAutomaton& a = *automaton;
  const auto* u = reinterpret_cast<const unsigned char*>(text.data());
  std::uint32_t v = 0;
  for (std::size_t q = at; q < text.size(); ++q) {
    v = step(a, v, u[q]);
    if (v == 0) return q + 1;
    std::uint32_t t = a.report[v];
    if (t == 0) continue;
    const std::uint64_t line = line_of(q);
    for (; t != 0 && a.walked[a.out_begin[t]] != line;
         t = a.report[a.fail[t]]) {
      a.walked[a.out_begin[t]] = line;
      for (std::uint32_t k = a.out_begin[t]; k < a.out_begin[t + 1]; ++k) {
        found(q + 1, a.out_names[k]);
      }
    }
  }
  return text.size();
}

}  // namespace orbitpick

#endif  // ORBITPICK_SELECTION_AHO_CORASICK_H_
