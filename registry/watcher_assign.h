#ifndef KORVEX_REGISTRY_WATCHER_ASSIGN_H
#define KORVEX_REGISTRY_WATCHER_ASSIGN_H

namespace korvex {

// Assignment of either watcher: the members as the copy constructor copies
// them, but the target's own watch ends first, as its worker reads the members
// about to change.
template <typename Watcher, typename... Member>
Watcher& AssignWatcher(Watcher& target, const Watcher& source, Member Watcher::*... members) {
  if (&target == &source) return target;
  target.EndWatch();
  ((target.*members = source.*members), ...);
  return target;
}

}  // namespace korvex

#endif
