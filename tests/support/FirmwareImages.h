// Firmware images for the upload tests: bytes that change along each page and from page to page.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/Bytes.h"

inline Bytes FirmwareImage(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 37 + seed * 11 + (i >> 8)) & 0xFF);
    return bytes;
}
