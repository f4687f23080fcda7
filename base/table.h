// Tables: the one way the engine and the output hold memory.
//
// Large inputs make large tables, and on such inputs the first touch of each
// page of them was a good part of the whole run. Tables of 1 MiB or more,
// made at that size or grown to it, are therefore mapped on their own, in
// whole huge pages of 2 MiB, and marked for huge pages, so that the system
// backs them with a fraction of the page faults; smaller ones come from
// checked_alloc. The mapping of a freed table is kept for the next large
// tables, within the most memory the live tables have held at once.
//
// A table<T> owns its block and frees it when it goes out of scope; it moves
// but never copies. Its contents are unset when it is made or grows. A size
// beyond the 32-bit byte count is refused as table_size does, and a failed
// allocation ends the run as checked_alloc does.
#ifndef OVARN_BASE_TABLE_H_
#define OVARN_BASE_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

// The untyped operations beneath table<T>. A block comes from
// allocate_table or resize_table and goes back through release_table;
// null stands for no block.
void* allocate_table(uint64_t count, uint64_t elem_size);
// The block resized to count elements, its first elements kept; it may move.
// A null block is allocated anew.
void* resize_table(void* block, uint64_t count, uint64_t elem_size);
void release_table(void* block);
// The room to grow a table of room elements to for at least needed: double
// the room, never beyond the 32-bit byte count; a need beyond that ends the
// run as table_size does.
uint64_t grown_room(uint64_t room, uint64_t needed, uint64_t elem_size);
// Gives back the mappings that freed tables left for the next ones, and
// forgets how much the live tables have held: the tables afterwards start as
// in a process that has freed none. The unit tests start each test so, that
// none holds the memory of the tests before it.
void release_spare_tables();

template <typename T>
class table {
  static_assert(std::is_trivially_copyable_v<T>, "a table holds plain values");

 public:
  table() = default;
  // A table with room for count elements.
  explicit table(uint64_t count)
      : items_(static_cast<T*>(allocate_table(count, sizeof(T)))), room_(count) {}
  table(table&& other) noexcept
      : items_(std::exchange(other.items_, nullptr)), room_(std::exchange(other.room_, 0)) {}
  table& operator=(table&& other) noexcept {
    if (this != &other) {
      release_table(items_);
      items_ = std::exchange(other.items_, nullptr);
      room_ = std::exchange(other.room_, 0);
    }
    return *this;
  }
  table(const table&) = delete;
  table& operator=(const table&) = delete;
  ~table() { release_table(items_); }

  T* data() const { return items_; }
  T& operator[](size_t n) const { return items_[n]; }
  uint64_t room() const { return room_; }
  // Whether the table holds no block: made empty, moved from or reset.
  bool has_no_block() const { return items_ == nullptr; }

  // Exactly count elements of room, the first of them kept.
  void resize(uint64_t count) {
    items_ = static_cast<T*>(resize_table(items_, count, sizeof(T)));
    room_ = count;
  }
  // Room for at least needed elements, doubling as it runs out, so that a
  // table filled one element at a time is resized only now and then.
  void make_room(uint64_t needed) {
    if (needed > room_) resize(grown_room(room_, needed, sizeof(T)));
  }
  // Frees the block now rather than at the end of the scope.
  void reset() {
    release_table(items_);
    items_ = nullptr;
    room_ = 0;
  }

 private:
  template <typename U, typename V>
  friend table<U> reuse_table(table<V>&& from);
  T* items_ = nullptr;
  uint64_t room_ = 0;
};

// A table of count elements, each of them zero: the one way a table is made
// cleared.
template <typename T>
table<T> zeroed_table(uint64_t count) {
  table<T> made(count);
  if (count != 0) memset(static_cast<void*>(made.data()), 0, count * sizeof(T));
  return made;
}

// The block of from, handed over as a table of U: a step that turns one
// vector into another in the same storage says so here. Its room is what
// the bytes hold of U.
template <typename U, typename V>
table<U> reuse_table(table<V>&& from) {
  table<U> to;
  to.items_ = reinterpret_cast<U*>(std::exchange(from.items_, nullptr));
  to.room_ = std::exchange(from.room_, 0) * sizeof(V) / sizeof(U);
  return to;
}

#endif  // OVARN_BASE_TABLE_H_
