// Where the drive's firmware image keeps what the drive reports about it.
// The simulated drive reads these bytes from the image it runs; the
// product-data generator puts them into its synthetic image, so a drive
// flashed with that image reports the carried revision.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {
namespace firmware {

constexpr size_t kImageSize = 0x30000;  // the drive's whole flash
constexpr size_t kBlockSize = 0x8000;   // one download block

// Inside the first block: the download always replaces it, so a flashed
// drive reports the new values.
constexpr size_t kRevisionOffset = 0x0120;  // 4 ASCII characters, e.g. "1H13"
constexpr size_t kLevelOffset = 0x0124;     // one byte, reply byte 15 of the family query
constexpr size_t kFamilyOffset = 0x0126;    // 2 ASCII characters, e.g. "hq"

}  // namespace firmware
}  // namespace sim
