// Fixed records as tables of int32 fields: each field's offset in the stored
// form and its member, loaded and stored with explicit little-endian access,
// so that file bytes are never reinterpreted as structs. A record's table is
// checked at compile time: fields in order, aligned and inside the record,
// and a layout of (offset, size) spans that covers every stored byte exactly.
// Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ByteReader.h"

template <class R>
struct Int32Field {
  uint32_t offset;
  int32_t R::*member;
};

template <class R, std::size_t N>
void loadInt32Fields(R& r, const uint8_t* p, const Int32Field<R> (&table)[N]) {
  for (const auto& f : table) r.*f.member = getI32(p + f.offset);
}
template <class R, std::size_t N>
void storeInt32Fields(const R& r, uint8_t* p, const Int32Field<R> (&table)[N]) {
  for (const auto& f : table) putI32(p + f.offset, r.*f.member);
}

// One stretch of a record's stored form.
struct FieldSpan {
  uint32_t offset, size;
};

// True when the spans follow each other without gap or overlap from 0 to total.
template <std::size_t N>
constexpr bool tiles(const FieldSpan (&t)[N], std::size_t total) {
  uint32_t at = 0;
  for (const auto& s : t) {
    if (s.offset != at) return false;
    at += s.size;
  }
  return at == total;
}

// True when the int32 fields are in increasing order, aligned and inside the record.
template <class R, std::size_t N>
constexpr bool fieldsInside(const Int32Field<R> (&t)[N], std::size_t total) {
  uint32_t next = 0;
  for (const auto& f : t) {
    if (f.offset < next || f.offset % 4 != 0 || f.offset + 4 > total) return false;
    next = f.offset + 4;
  }
  return true;
}
