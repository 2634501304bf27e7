#ifndef KORVEX_DETAIL_HASH_MAP_H
#define KORVEX_DETAIL_HASH_MAP_H

/// @file
/// Included by korvex/types.h after CString: the hash map behind CMap and the
/// string maps. Chained buckets for lookup, plus one list of all associations,
/// newest first, for enumeration.
#include <stdint.h>
#include <string.h>

/// A place in a map's enumeration; NULL past the end.
/// @ingroup frame
typedef struct __POSITION {
} * POSITION;

namespace korvex {
/// What the library's headers need but a program does not name.
namespace detail {

/// @cond INTERNAL

inline size_t MixHash(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return static_cast<size_t>(h);
}

/// FNV-1a over 8 bytes at a time, finished with a mix.
inline size_t HashBytes(const char* p, size_t n) {
  uint64_t h = 0xcbf29ce484222325ULL ^ n;
  while (n >= 8) {
    uint64_t w;
    memcpy(&w, p, 8);
    h = (h ^ w) * 0x100000001b3ULL;
    p += 8;
    n -= 8;
  }
  uint64_t tail = 0;
  memcpy(&tail, p, n);
  h = (h ^ tail) * 0x100000001b3ULL;
  return MixHash(h);
}

/// Keys compared by value: pointers and integers.
template <class K>
struct MapKeyTraits {
  typedef K View;
  static View ViewOf(const K& key) { return key; }
  static size_t Hash(View v) { return MixHash(static_cast<uint64_t>((uintptr_t)v)); }
  static bool Equal(const K& key, View v) { return key == v; }
};

/// Strings compared byte for byte, case-sensitive; looked up by text without a copy.
template <>
struct MapKeyTraits<CString> {
  struct View {
    const char* text;
    size_t length;
  };
  static View ViewOf(const CString& key) {
    return View{static_cast<const char*>(key), static_cast<size_t>(key.GetLength())};
  }
  static View ViewOf(const char* key) { return View{key, strlen(key)}; }
  static size_t Hash(View v) { return HashBytes(v.text, v.length); }
  static bool Equal(const CString& key, View v) {
    return static_cast<size_t>(key.GetLength()) == v.length &&
           memcmp(static_cast<const char*>(key), v.text, v.length) == 0;
  }
};

/// @endcond

/// The map behind CMap and the string maps: CMapStringToString,
/// CMapStringToPtr and CMapPtrToPtr inherit these members. Keys of CString
/// are compared byte for byte and may be looked up by C text without a copy.
template <class K, class V>
class HashMap {
  typedef MapKeyTraits<K> Traits;

  struct Node {
    Node* chain;
    Node* newer;
    Node* older;
    size_t hash;
    K key;
    V value;
  };

public:
  /// An empty map.
  HashMap() : m_buckets(nullptr), m_bucketCount(0), m_count(0), m_newest(nullptr) {}
  /// Removes every association.
  ~HashMap() { RemoveAll(); }
  HashMap(const HashMap&) = delete;
  HashMap& operator=(const HashMap&) = delete;

  /// @{
  /// The number of associations.
  int GetCount() const { return static_cast<int>(m_count); }
  int GetSize() const { return GetCount(); }
  /// @}
  /// Nonzero when the map holds nothing.
  BOOL IsEmpty() const { return m_count == 0; }

  /// Copies the value of `key` into `value`; FALSE when the key is absent.
  template <class Q>
  BOOL Lookup(const Q& key, V& value) const {
    const Node* node = Find(Traits::ViewOf(key));
    if (!node) return FALSE;
    value = node->value;
    return TRUE;
  }

  /// The stored value, or null: a lookup without a copy.
  template <class Q>
  const V* PLookup(const Q& key) const {
    const Node* node = Find(Traits::ViewOf(key));
    return node ? &node->value : nullptr;
  }

  /// Finds or inserts; a new association holds a value-initialised V.
  template <class Q>
  V& operator[](const Q& key) {
    typename Traits::View view = Traits::ViewOf(key);
    size_t hash = Traits::Hash(view);
    if (Node* node = Find(view, hash)) return node->value;
    return Insert(K(key), hash)->value;
  }

  /// Sets the value of `key`, adding the association as needed.
  template <class Q>
  void SetAt(const Q& key, const V& value) {
    (*this)[key] = value;
  }

  /// Removes the association of `key`; FALSE when it is absent.
  template <class Q>
  BOOL RemoveKey(const Q& key) {
    if (m_count == 0) return FALSE;
    typename Traits::View view = Traits::ViewOf(key);
    size_t hash = Traits::Hash(view);
    Node** link = &m_buckets[hash & (m_bucketCount - 1)];
    while (*link && !((*link)->hash == hash && Traits::Equal((*link)->key, view))) link = &(*link)->chain;
    Node* node = *link;
    if (!node) return FALSE;
    *link = node->chain;
    Unlink(node);
    delete node;
    if (--m_count == 0) ReleaseBuckets();
    return TRUE;
  }

  /// Removes every association.
  void RemoveAll() {
    Node* node = m_newest;
    while (node) {
      Node* older = node->older;
      delete node;
      node = older;
    }
    m_newest = nullptr;
    m_count = 0;
    ReleaseBuckets();
  }

  /// The start of an enumeration, newest association first; NULL for an empty map.
  POSITION GetStartPosition() const { return reinterpret_cast<POSITION>(m_newest); }

  /// The association at `position`, which moves on to the next (NULL past the last).
  void GetNextAssoc(POSITION& position, K& key, V& value) const {
    const Node* node = reinterpret_cast<const Node*>(position);
    key = node->key;
    value = node->value;
    position = reinterpret_cast<POSITION>(node->older);
  }

  /// The same walk without copies: the association stays in the map.
  void GetNextAssoc(POSITION& position, const K*& key, const V*& value) const {
    const Node* node = reinterpret_cast<const Node*>(position);
    key = &node->key;
    value = &node->value;
    position = reinterpret_cast<POSITION>(node->older);
  }

private:
  const Node* Find(typename Traits::View view) const { return Find(view, Traits::Hash(view)); }

  Node* Find(typename Traits::View view, size_t hash) const {
    if (m_count == 0) return nullptr;
    for (Node* node = m_buckets[hash & (m_bucketCount - 1)]; node; node = node->chain)
      if (node->hash == hash && Traits::Equal(node->key, view)) return node;
    return nullptr;
  }

  Node* Insert(K&& key, size_t hash) {
    if (m_count >= m_bucketCount) Grow();
    Node* node = new Node{nullptr, nullptr, m_newest, hash, static_cast<K&&>(key), V()};
    if (m_newest) m_newest->newer = node;
    m_newest = node;
    Node** bucket = &m_buckets[hash & (m_bucketCount - 1)];
    node->chain = *bucket;
    *bucket = node;
    ++m_count;
    return node;
  }

  void Grow() {
    size_t count = m_bucketCount ? m_bucketCount * 2 : 16;
    Node** buckets = new Node*[count]();
    for (Node* node = m_newest; node; node = node->older) {
      Node** bucket = &buckets[node->hash & (count - 1)];
      node->chain = *bucket;
      *bucket = node;
    }
    delete[] m_buckets;
    m_buckets = buckets;
    m_bucketCount = count;
  }

  void Unlink(Node* node) {
    if (node->newer)
      node->newer->older = node->older;
    else
      m_newest = node->older;
    if (node->older) node->older->newer = node->newer;
  }

  void ReleaseBuckets() {
    delete[] m_buckets;
    m_buckets = nullptr;
    m_bucketCount = 0;
  }

  Node** m_buckets;
  size_t m_bucketCount;
  size_t m_count;
  Node* m_newest;
};

}  // namespace detail
}  // namespace korvex

#endif
