#pragma once
// The layout of a property blob that its reader and its writer share: the signature of each
// version, the block types, and the sizes of the block and value headers.
#include <cstddef>
#include <cstdint>

namespace jet::property_blob_layout {

inline constexpr char kJet4Signature[] = {'M', 'R', '2', '\0'};
inline constexpr char kJet3Signature[] = {'K', 'K', 'D', '\0'};
inline constexpr std::uint16_t kNamePool = 0x80;
inline constexpr std::uint16_t kObjectValues = 0x00;
inline constexpr std::uint16_t kColumnValues = 0x01;
inline constexpr std::size_t kBlockHeader = 6;  // length (4) and type (2)
inline constexpr std::size_t kValueHeader = 8;  // length, DDL flag, type, name index, data size

}  // namespace jet::property_blob_layout
